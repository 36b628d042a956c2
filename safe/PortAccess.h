// SPDX-License-Identifier: GPL-3.0-or-later
// A port that is there but that this user may not open, and how to fix that.
// Every other cause of a failed exchange keeps the window's own words.
#pragma once

#include <optional>
#include <string>

namespace safeexchange {

struct NoAccess {
    std::string device; // as opened, e.g. /dev/ttyUSB0
    std::string group;  // the group that may open it, e.g. dialout
};

// For the port name of the settings: the device and its group when the
// device exists and refuses this user; nothing otherwise (no such device, or
// one this user may open).
std::optional<NoAccess> PortRefusesThisUser(const std::string &portName);

// The advice in three lengths: for a message box, for a status line of a few
// lines, and for a single line of about 60 characters.
std::string NoAccessMessage(const NoAccess &refused);
std::string NoAccessStatus(const NoAccess &refused);
std::string NoAccessLine(const NoAccess &refused);

} // namespace safeexchange
