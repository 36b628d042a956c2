// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogInteger.h"

namespace dialogkit {

namespace {
constexpr std::size_t kMaxIntegerText = 63;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
} // namespace

bool ReadDialogInteger(const std::string &text, std::int32_t &value)
{
    const std::string head = text.substr(0, kMaxIntegerText);
    std::size_t i = 0;
    while (i < head.size() && IsBlank(head[i]))
        ++i;
    bool negative = false;
    if (i < head.size() && (head[i] == '+' || head[i] == '-'))
        negative = head[i++] == '-';
    if (i >= head.size() || head[i] < '0' || head[i] > '9')
        return false;
    std::uint32_t magnitude = 0;
    for (; i < head.size() && head[i] >= '0' && head[i] <= '9'; ++i)
        magnitude = magnitude * 10u + static_cast<std::uint32_t>(head[i] - '0');
    if (negative)
        magnitude = 0u - magnitude;
    value = static_cast<std::int32_t>(magnitude);
    return true;
}

} // namespace dialogkit
