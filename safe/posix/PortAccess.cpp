// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortAccess.h"

#include "PortNames.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace safeexchange {

namespace {

// The group to join for the device: its own (dialout for serial devices on
// Debian and its kin) when its members may read and write it. Never root's:
// joining it would give far more than a port.
std::string GroupToJoin(const struct stat &device)
{
    const mode_t readWrite = S_IRGRP | S_IWGRP;
    if (device.st_gid == 0 || (device.st_mode & readWrite) != readWrite)
        return {};
    const group *g = ::getgrgid(device.st_gid);
    return g != nullptr && g->gr_name != nullptr ? std::string(g->gr_name) : std::string();
}

// Debian's avrdude, which the package depends on, tags every USB serial
// device (ttyUSB and ttyACM) with "uaccess".
constexpr char kRule[] = "To get the right: install Vandrel's package, whose avrdude brings the udev rule that "
                         "gives the user at the computer every USB serial adapter, then unplug the board and "
                         "plug it in again";

} // namespace

std::optional<NoAccess> PortRefusesThisUser(const std::string &portName)
{
    const std::string device = SerialDeviceName(portName);
    struct stat status {};
    if (device.empty() || ::stat(device.c_str(), &status) != 0 || !S_ISCHR(status.st_mode))
        return std::nullopt;
    // Asked of the file's modes, not by opening it: an opening raises DTR and
    // would reset a board as sold.
    if (::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) == 0 || errno != EACCES)
        return std::nullopt;
    return NoAccess{device, GroupToJoin(status)};
}

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
