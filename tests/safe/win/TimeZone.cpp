// SPDX-License-Identifier: GPL-3.0-or-later
#include "TimeZone.h"

#include <stdlib.h>
#include <time.h>

namespace testsupport {

void SetTimeZoneRule(const char *rule)
{
    // An empty value removes the variable.
    _putenv_s("TZ", rule ? rule : "");
    _tzset();
}

bool TimeZoneRulesHaveDates()
{
    return false;
}

} // namespace testsupport
