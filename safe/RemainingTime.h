// SPDX-License-Identifier: GPL-3.0-or-later
// The Sub window's status text for the time the safe stays locked: the time
// split into days, hours, minutes and seconds, and the local date and time at
// which the safe opens.
#pragma once

#include <cstdint>
#include <string>

namespace safetime {

// "<d> days <h> hours <m> minutes <s> seconds remaining, open at <moment>",
// where the moment is `now` + `seconds` in local time (MomentText). The parts
// come from divisions that truncate toward zero, so for a negative count each
// part is the negative of that of the positive count (-90: 0, 0, -1, -30).
// `now` is whole seconds since 1970-01-01 00:00:00 UTC.
std::string FormatRemaining(std::int32_t seconds, std::int64_t now);

// The same, from the calendar clock.
std::string FormatRemaining(std::int32_t seconds);

inline constexpr char kHiddenTimeStatus[] = "Safe locked for limited time, but time hidden";

// The status for the safe's reply to the time command (safecmd::kTime):
// kHiddenTimeStatus when the safe hides the time, else FormatRemaining of the
// reply read as a number of seconds (safecmd::ReadTimeReply).
std::string TimeReplyStatus(const std::string &reply, std::int64_t now);
std::string TimeReplyStatus(const std::string &reply); // from the calendar clock

// A moment (seconds since 1970-01-01 00:00:00 UTC) in local time, as
// "06 Dec, 2026 at 00:23:55": English month abbreviations whatever the user's
// locale. Empty for a moment before 1970-01-01 00:00:00 UTC, on every system,
// and for one the system cannot convert.
std::string MomentText(std::int64_t moment);

} // namespace safetime
