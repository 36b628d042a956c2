// SPDX-License-Identifier: GPL-3.0-or-later
#include "Clock.h"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <util/atomic.h>

namespace board {
namespace {

volatile uint32_t gMilliseconds = 0;
volatile uint32_t gSeconds = 0;
volatile uint16_t gMillisecondsInSecond = 0;

} // namespace

void StartClock()
{
    // CTC mode, clock / 64 = 250 kHz, 250 counts: exactly 1 kHz at 16 MHz.
    TCCR1A = 0;
    TCCR1B = static_cast<uint8_t>((1 << WGM12) | (1 << CS11) | (1 << CS10));
    OCR1A = static_cast<uint16_t>(F_CPU / 64 / 1000 - 1);
    TCNT1 = 0;
    TIMSK1 = static_cast<uint8_t>(1 << OCIE1A);
}

uint32_t Seconds()
{
    uint32_t s;
    ATOMIC_BLOCK(ATOMIC_RESTORESTATE) { s = gSeconds; }
    return s;
}

uint32_t Milliseconds()
{
    uint32_t ms;
    ATOMIC_BLOCK(ATOMIC_RESTORESTATE) { ms = gMilliseconds; }
    return ms;
}

} // namespace board

ISR(TIMER1_COMPA_vect)
{
    using namespace board;
    gMilliseconds = gMilliseconds + 1;
    if (++gMillisecondsInSecond >= 1000) {
        gMillisecondsInSecond = 0;
        gSeconds = gSeconds + 1;
    }
}
