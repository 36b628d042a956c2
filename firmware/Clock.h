// SPDX-License-Identifier: GPL-3.0-or-later
// The board's sense of time: Timer1 interrupts once a millisecond.
//
// There is no real-time clock on the board, so this clock counts only the time
// since the firmware last started; it stops during a reset, in the bootloader
// and while the board has no power.
#ifndef VANDREL_FIRMWARE_CLOCK_H
#define VANDREL_FIRMWARE_CLOCK_H

#include <stdint.h>

namespace board {

void StartClock();

// Whole seconds since StartClock (wraps after 136 years).
uint32_t Seconds();

// Milliseconds since StartClock (wraps after 49 days).
uint32_t Milliseconds();

} // namespace board

#endif
