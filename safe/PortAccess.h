// SPDX-License-Identifier: GPL-3.0-or-later
// A port that is there but that this user may not open, and how to fix that.
// Every other cause of a failed exchange keeps the window's own words.
#pragma once

#include <optional>
#include <string>

namespace safeexchange {

// For the port name of the settings: the text that says this user may not
// open it and gives the fix, when the device exists and refuses this user;
// nothing otherwise (no such device, or one this user may open).
std::optional<std::string> NoAccessAdvice(const std::string &portName);

// The advice for a device owned by `group` (the group that may open it).
std::string NoAccessText(const std::string &device, const std::string &group);

} // namespace safeexchange
