// SPDX-License-Identifier: GPL-3.0-or-later
// The process's time zone for a test, as a POSIX TZ rule ("UTC0", "EST5",
// "CET-1CEST,M3.5.0,M10.5.0/3"). Each system sets TZ its own way (posix/,
// win/).
#pragma once

namespace testsupport {

// Sets TZ to `rule` (nullptr: removes it) and has the C runtime read it.
void SetTimeZoneRule(const char *rule);

// Whether the C runtime follows the dates of daylight saving a rule gives
// (",M3.5.0,..."). The Windows one reads only names and offsets, and the
// United States' dates.
bool TimeZoneRulesHaveDates();

} // namespace testsupport
