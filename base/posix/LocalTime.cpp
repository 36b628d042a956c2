// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/LocalTime.h"

namespace safetime {

// localtime_r, unlike localtime, need not look at the time zone again after
// its first call; tzset makes it follow a changed TZ as localtime would.
bool ToLocalTime(std::time_t moment, std::tm &local)
{
    tzset();
    return localtime_r(&moment, &local) != nullptr;
}

} // namespace safetime
