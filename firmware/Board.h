// SPDX-License-Identifier: GPL-3.0-or-later
// Pins and clock of the safe's board: an Arduino Diecimila-class board with an
// ATmega168 at 16 MHz and the Diecimila bootloader in the top 2 KiB of flash.
//
// The latch is on digital pin 8 (PB0), not on the LED pin 13 (PB5): the
// bootloader flashes pin 13 after every reset, and a latch driven from it
// would open for 100 ms each time the board resets. While the chip is in
// reset or in the bootloader every pin floats, so the latch driver needs a
// pull-down (see the board set-up guide) to stay shut.
#ifndef VANDREL_FIRMWARE_BOARD_H
#define VANDREL_FIRMWARE_BOARD_H

#include <avr/io.h>

namespace board {

// Latch output: high opens the latch.
#define BOARD_LATCH_PORT PORTB
#define BOARD_LATCH_DDR DDRB
const uint8_t kLatchBit = PB0;

// The board's LED on pin 13 mirrors the latch, so the state can be seen.
#define BOARD_LED_PORT PORTB
#define BOARD_LED_DDR DDRB
const uint8_t kLedBit = PB5;

inline void InitLatch()
{
    BOARD_LATCH_PORT &= static_cast<uint8_t>(~(1 << kLatchBit));
    BOARD_LED_PORT &= static_cast<uint8_t>(~(1 << kLedBit));
    BOARD_LATCH_DDR |= static_cast<uint8_t>(1 << kLatchBit);
    BOARD_LED_DDR |= static_cast<uint8_t>(1 << kLedBit);
}

inline void SetLatch(bool open)
{
    if (open) {
        BOARD_LATCH_PORT |= static_cast<uint8_t>(1 << kLatchBit);
        BOARD_LED_PORT |= static_cast<uint8_t>(1 << kLedBit);
    } else {
        BOARD_LATCH_PORT &= static_cast<uint8_t>(~(1 << kLatchBit));
        BOARD_LED_PORT &= static_cast<uint8_t>(~(1 << kLedBit));
    }
}

} // namespace board

#endif
