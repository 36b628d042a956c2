// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafeCommands.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace safecmd {

TimeReply ReadTimeReply(const std::string &reply)
{
    if (reply == kHiddenTime)
        return {true, 0};

    std::size_t i = 0;
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (i < reply.size() && blank(reply[i]))
        ++i;
    bool negative = false;
    if (i < reply.size() && (reply[i] == '+' || reply[i] == '-'))
        negative = reply[i++] == '-';

    // Accumulate in 64 bits and stop growing past the 32-bit range, so that
    // a long run of digits clamps instead of overflowing.
    constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t magnitude = 0;
    for (; i < reply.size() && reply[i] >= '0' && reply[i] <= '9'; ++i)
        magnitude = std::min<std::int64_t>(magnitude * 10 + (reply[i] - '0'), kLimit);

    const std::int64_t value = negative ? -magnitude : magnitude;
    const std::int64_t clamped =
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max());
    return {false, static_cast<std::int32_t>(clamped)};
}

} // namespace safecmd
