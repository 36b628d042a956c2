// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortAccess.h"

namespace safeexchange {

// COM ports are not kept from users by group on Windows: a port that
// refuses to open is missing or held by another program, so no NoAccess
// ever reaches the advice below but an uploader's refusal.
std::optional<NoAccess> PortRefusesThisUser(const std::string &)
{
    return std::nullopt;
}

std::string NoAccessFix(const NoAccess &)
{
    return "To get the right: ask the computer's administrator for the right to use the port, and close any "
           "other program that uses it.";
}

std::string PermissionFix(const std::string &)
{
    return NoAccessFix({});
}

std::string NoAccessMessage(const NoAccess &refused)
{
    return "You have no permission to open the port " + refused.device + ". " + NoAccessFix(refused);
}

std::string NoAccessStatus(const NoAccess &refused)
{
    return "No permission to open the port " + refused.device + ".";
}

std::string NoAccessLine(const NoAccess &refused)
{
    return "Unknown: no permission for " + refused.device;
}

} // namespace safeexchange
