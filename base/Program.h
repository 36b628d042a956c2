// SPDX-License-Identifier: GPL-3.0-or-later
// The running program: its name and the folder it was started from, which
// each system tells its own way (qt/: as QCoreApplication reports them;
// win/: from the executable's own path).
#pragma once

#include <string>

namespace program {

// The executable's file name without folder and extension: it names the
// application's settings and captions its message boxes. With Qt, as
// QCoreApplication reports it (the application object sets it so).
std::string Name();

// The folder of the running program's executable.
std::string Folder();

} // namespace program
