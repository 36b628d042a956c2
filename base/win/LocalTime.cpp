// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/LocalTime.h"

#include <time.h>

namespace safetime {

bool ToLocalTime(std::time_t moment, std::tm &local)
{
    _tzset();
    return localtime_s(&local, &moment) == 0;
}

} // namespace safetime
