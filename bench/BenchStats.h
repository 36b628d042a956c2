// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmarks make of a series of timings: the median and the 95th
// percentile, in milliseconds of the steady clock. Header only.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

// The p-th percentile by nearest rank: the smallest value that at least p per
// cent of the values do not exceed (p = 50: the median, the lower of the two
// middle values of an even count). 0 for no values.
inline double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

} // namespace bench
