// SPDX-License-Identifier: GPL-3.0-or-later
#include "TimeZone.h"

#include <cstdlib>
#include <ctime>

namespace testsupport {

void SetTimeZoneRule(const char *rule)
{
    if (rule)
        setenv("TZ", rule, 1);
    else
        unsetenv("TZ");
    tzset();
}

bool TimeZoneRulesHaveDates()
{
    return true;
}

} // namespace testsupport
