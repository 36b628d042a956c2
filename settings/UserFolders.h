// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user data folder, which each system tells its own way (qt/, win/).
#pragma once

#include <string>

namespace settings {

// The per-user data folder in this system's spelling: $XDG_DATA_HOME
// (~/.local/share) on Linux, %LOCALAPPDATA% on Windows.
std::string UserDataFolder();

} // namespace settings
