// SPDX-License-Identifier: GPL-3.0-or-later
// The board's UART at 9600 baud, 8 data bits, no parity, 1 stop bit: received
// bytes are taken by an interrupt into a small queue, so that nothing is lost
// while the main loop sends a reply or writes the EEPROM.
#ifndef VANDREL_FIRMWARE_SERIALLINE_H
#define VANDREL_FIRMWARE_SERIALLINE_H

#include <stdint.h>

namespace board {

const uint32_t kSerialBaud = 9600;

void StartSerial();

// False when nothing has arrived.
bool ReceiveByte(uint8_t* byte);

// Sends the bytes, waiting until the last is handed to the UART.
void SendBytes(const char* bytes, uint16_t n);

} // namespace board

#endif
