// SPDX-License-Identifier: GPL-3.0-or-later
// A port that is there but that this user may not open, and how to fix that,
// in the words that are true on this system (posix/: the device's rights and
// group; win/: a COM port, which no group keeps from a user). Every other
// cause of a failed exchange keeps the window's own words.
#pragma once

#include <optional>
#include <string>

namespace safeexchange {

struct NoAccess {
    std::string device; // as opened, e.g. /dev/ttyUSB0
    // The device's group as the system reports it, when its
    // members may read and write the device; empty when no group a user
    // should join gives access (root's, or tty's, which may only write).
    std::string group;
};

// For the port name of the settings: the device and its group when the
// device exists and refuses this user; nothing otherwise (no such device, or
// one this user may open).
std::optional<NoAccess> PortRefusesThisUser(const std::string &portName);

// How to get the right (on Linux: the udev rule that the package's avrdude
// brings, and joining the device's group where there is one to join).
std::string NoAccessFix(const NoAccess &refused);
// The same for a port that refused the uploader, told by the device's group
// as it is now (only the rule where the device no longer refuses).
std::string PermissionFix(const std::string &portName);

// The advice in three lengths: for a message box, for a status line of a few
// lines, and for a single line of about 60 characters.
std::string NoAccessMessage(const NoAccess &refused);
std::string NoAccessStatus(const NoAccess &refused);
std::string NoAccessLine(const NoAccess &refused);

} // namespace safeexchange
