// SPDX-License-Identifier: GPL-3.0-or-later
// Blink: a test program for the board. The latch output (and the LED beside
// it) turns on for one second and off for one second, for ever, so the wiring
// of the latch can be checked before the safe's firmware goes on.
#include "Board.h"
#include "Clock.h"

#include <avr/interrupt.h>
#include <avr/sleep.h>

int main()
{
    board::InitLatch();
    board::StartClock();
    set_sleep_mode(SLEEP_MODE_IDLE);
    sei();

    uint32_t shown = board::Seconds();
    bool open = false;
    for (;;) {
        const uint32_t now = board::Seconds();
        if (now != shown) {
            shown = now;
            open = !open;
            board::SetLatch(open);
        }
        // The timer interrupt wakes the chip every millisecond.
        sleep_mode();
    }
}
