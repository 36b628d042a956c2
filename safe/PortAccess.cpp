// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortAccess.h"

namespace safeexchange {

std::string NoAccessText(const std::string &device, const std::string &group)
{
    return "No permission to open " + device + ". Add yourself to the group " + group +
           " (sudo adduser $USER " + group +
           ") and log in again, or install Vandrel's udev rule: see the board set-up guide.";
}

} // namespace safeexchange
