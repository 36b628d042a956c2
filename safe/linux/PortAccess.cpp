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

// Serial devices belong to this group on Debian and its kin.
constexpr char kSerialGroup[] = "dialout";

std::string GroupName(gid_t gid)
{
    const group *g = ::getgrgid(gid);
    return g != nullptr && g->gr_name != nullptr ? std::string(g->gr_name) : std::string(kSerialGroup);
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
    return NoAccess{device, GroupName(status.st_gid)};
}

} // namespace safeexchange
