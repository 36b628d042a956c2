// SPDX-License-Identifier: GPL-3.0-or-later
// What a test may allow when it compares a measured time with a wait that the
// code under test made. The wait is made with one clock (a port's time-out,
// a sleep) and measured with another (std::chrono::steady_clock), and the two
// do not count alike: Windows and Wine sleep in whole ticks of the system's
// timer (1 ms to 15.6 ms), and were seen to end a 1600 ms wait 0.3 ms early
// by the steady clock. A lower bound less this still catches a wait that is
// missing or too short.
#pragma once

#include <chrono>

namespace testclock {

inline constexpr std::chrono::milliseconds kGranularity{16};

// The least a wait of `wait` can measure.
template <class Duration>
constexpr auto AtLeast(Duration wait)
{
    return wait - kGranularity;
}

} // namespace testclock
