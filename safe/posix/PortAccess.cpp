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

} // namespace safeexchange
