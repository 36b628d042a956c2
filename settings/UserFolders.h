// SPDX-License-Identifier: GPL-3.0-or-later
// The application's name and the per-user data folder, which each system
// tells its own way (qt/, win/).
#pragma once

#include <string>

namespace settings {

// The executable's file name without folder and extension: it names the
// application's settings and captions its message boxes. On Linux, as
// QCoreApplication reports it (the application object sets it so).
std::string ApplicationName();

// The per-user data folder in this system's spelling: $XDG_DATA_HOME
// (~/.local/share) on Linux, %LOCALAPPDATA% on Windows.
std::string UserDataFolder();

// The folder of the running program's executable.
std::string ProgramFolder();

} // namespace settings
