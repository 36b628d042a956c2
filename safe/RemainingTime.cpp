// SPDX-License-Identifier: GPL-3.0-or-later
#include "RemainingTime.h"

#include "base/LocalTime.h"
#include "SafeCommands.h"

#include <cstdio>
#include <ctime>
#include <limits>

namespace safetime {

namespace {

// strftime's %b would follow the user's locale; the status text is English.
constexpr const char *kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::int64_t CalendarNow()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

} // namespace

std::string MomentText(std::int64_t moment)
{
    // Some systems convert moments before 1970 and others refuse them; the
    // status text has none on any system. A time_t too narrow for the moment
    // cannot convert it either.
    if (moment < 0 || moment > std::int64_t(std::numeric_limits<std::time_t>::max()))
        return {};
    std::tm local{};
    if (!ToLocalTime(static_cast<std::time_t>(moment), local))
        return {};
    if (local.tm_mon < 0 || local.tm_mon > 11)
        return {};
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%02d %s, %04d at %02d:%02d:%02d", local.tm_mday,
                                kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour,
                                local.tm_min, local.tm_sec);
    if (n < 0 || std::size_t(n) >= sizeof text)
        return {};
    return text;
}

std::string FormatRemaining(std::int32_t seconds, std::int64_t now)
{
    const std::int64_t n = seconds;
    const std::int64_t days = n / 86400;
    const std::int64_t hours = n / 3600 - days * 24;
    const std::int64_t minutes = n / 60 - (n / 3600) * 60;
    const std::int64_t secs = n - (n / 60) * 60;

    // Only a clock reading beyond any real one could overflow here; such a
    // moment has no text.
    std::string moment;
    if (!(n > 0 && now > std::numeric_limits<std::int64_t>::max() - n) &&
        !(n < 0 && now < std::numeric_limits<std::int64_t>::min() - n))
        moment = MomentText(now + n);

    return std::to_string(days) + " days " + std::to_string(hours) + " hours " +
           std::to_string(minutes) + " minutes " + std::to_string(secs) +
           " seconds remaining, open at " + moment;
}

std::string TimeReplyStatus(const std::string &reply, std::int64_t now)
{
    const safecmd::TimeReply time = safecmd::ReadTimeReply(reply);
    return time.hidden ? std::string(kHiddenTimeStatus) : FormatRemaining(time.seconds, now);
}

std::string FormatRemaining(std::int32_t seconds)
{
    return FormatRemaining(seconds, CalendarNow());
}

std::string TimeReplyStatus(const std::string &reply)
{
    return TimeReplyStatus(reply, CalendarNow());
}

} // namespace safetime
