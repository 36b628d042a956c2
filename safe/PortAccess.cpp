// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortAccess.h"

namespace safeexchange {

namespace {

// Debian's avrdude, which the package depends on, tags every USB serial
// device (ttyUSB and ttyACM) with "uaccess".
constexpr char kRule[] = "To get the right: install Vandrel's package, whose avrdude brings the udev rule that "
                         "gives the user at the computer every USB serial adapter, then unplug the board and "
                         "plug it in again";

} // namespace

std::string NoAccessFix(const NoAccess &refused)
{
    const std::string rule = kRule;
    if (refused.group.empty())
        return rule + ". No group that you should join may open it.";
    return rule + "; or add yourself to the group '" + refused.group + "' (sudo adduser $USER " + refused.group +
           ") and log out and in again.";
}

std::string PermissionFix(const std::string &portName)
{
    const std::optional<NoAccess> refused = PortRefusesThisUser(portName);
    return refused ? NoAccessFix(*refused) : std::string(kRule) + ".";
}

std::string NoAccessMessage(const NoAccess &refused)
{
    // In the words the Test window gives an upload that met the same refusal.
    return "You have no permission to open the port " + refused.device + ". " + NoAccessFix(refused);
}

std::string NoAccessStatus(const NoAccess &refused)
{
    const std::string start = "No permission to open the port " + refused.device + ". Install Vandrel's package";
    if (refused.group.empty())
        return start + ", then plug the board in again.";
    return start + ", or: sudo adduser $USER " + refused.group + ", then log in again.";
}

std::string NoAccessLine(const NoAccess &refused)
{
    const std::string line = "Unknown: no permission for " + refused.device;
    return refused.group.empty() ? line : line + " (group " + refused.group + ")";
}

} // namespace safeexchange
