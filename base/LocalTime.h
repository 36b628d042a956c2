// SPDX-License-Identifier: GPL-3.0-or-later
// A calendar moment in the local time zone: POSIX localtime_r and Windows
// localtime_s take their arguments in opposite orders and report failure
// differently, so each system has its own side (posix/, win/).
#pragma once

#include <ctime>

namespace safetime {

// False when the system cannot convert the moment. Follows a changed TZ.
bool ToLocalTime(std::time_t moment, std::tm &local);

} // namespace safetime
