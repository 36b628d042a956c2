// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialLine.h"

#include <avr/interrupt.h>
#include <avr/io.h>

namespace board {
namespace {

// Three full copies of the longest command the safe keeps, and more: the
// main loop drains it every millisecond at the latest.
const uint8_t kQueueSize = 128; // a power of two
volatile uint8_t gQueue[kQueueSize];
volatile uint8_t gHead = 0; // written by the interrupt
volatile uint8_t gTail = 0; // written by the main loop

} // namespace

void StartSerial()
{
    const uint16_t divisor = static_cast<uint16_t>(F_CPU / (16UL * kSerialBaud) - 1);
    UBRR0H = static_cast<uint8_t>(divisor >> 8);
    UBRR0L = static_cast<uint8_t>(divisor & 0xFF);
    UCSR0A = 0;
    UCSR0C = static_cast<uint8_t>((1 << UCSZ01) | (1 << UCSZ00));
    UCSR0B = static_cast<uint8_t>((1 << RXEN0) | (1 << TXEN0) | (1 << RXCIE0));
}

bool ReceiveByte(uint8_t* byte)
{
    const uint8_t tail = gTail;
    if (tail == gHead)
        return false;
    *byte = gQueue[tail];
    gTail = static_cast<uint8_t>((tail + 1) & (kQueueSize - 1));
    return true;
}

void SendBytes(const char* bytes, uint16_t n)
{
    for (uint16_t i = 0; i < n; ++i) {
        while ((UCSR0A & (1 << UDRE0)) == 0) {
        }
        UDR0 = static_cast<uint8_t>(bytes[i]);
    }
}

} // namespace board

ISR(USART_RX_vect)
{
    using namespace board;
    // A byte with a framing error is kept: it breaks the agreement of the
    // copies, and the safe answers that the command came garbled.
    const uint8_t byte = UDR0;
    const uint8_t head = gHead;
    const uint8_t next = static_cast<uint8_t>((head + 1) & (kQueueSize - 1));
    if (next != gTail) {
        gQueue[head] = byte;
        gHead = next;
    }
}
