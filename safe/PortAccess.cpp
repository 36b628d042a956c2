// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortAccess.h"

namespace safeexchange {

std::string NoAccessMessage(const NoAccess &refused)
{
    // In the words the Test window gives an upload that met the same refusal.
    return "You have no permission to open the port " + refused.device +
           ". To get the right: install Vandrel's package, whose rule gives the user at the computer the "
           "board's USB serial adapter, then unplug the board and plug it in again; or add yourself to the "
           "group '" + refused.group + "' (sudo adduser $USER " + refused.group + ") and log out and in again.";
}

std::string NoAccessStatus(const NoAccess &refused)
{
    return "No permission to open the port " + refused.device +
           ". Install Vandrel's package, or: sudo adduser $USER " + refused.group + ", then log in again.";
}

std::string NoAccessLine(const NoAccess &refused)
{
    return "Unknown: no permission for " + refused.device + " (group " + refused.group + ")";
}

} // namespace safeexchange
