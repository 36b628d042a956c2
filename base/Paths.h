// SPDX-License-Identifier: GPL-3.0-or-later
// Paths as text, in this system's spelling or the other's: how a folder and a
// name are joined, and the folder that holds a path. Plain C++, so that both
// spellings are tested on either system.
#pragma once

#include <string>
#include <string_view>

namespace paths {

enum class Style { Posix, Windows };

// This system's: backslashes on Windows, slashes elsewhere.
Style HostStyle();

// The separator a path of that style is written with.
char Separator(Style style = HostStyle());

// folder + separator + name by plain concatenation: nothing is trimmed, so a
// folder that already ends in a separator gives a doubled one (the
// uploader's words keep a typed folder exactly as it was typed).
std::string Join(const std::string &folder, const std::string &name, Style style = HostStyle());

// `path` without the separators it ends in; a root ("/", "C:\") keeps
// nothing of them, so that Join gives "/docs" and "C:\docs" from it.
std::string WithoutTrailingSeparators(const std::string &path, Style style = HostStyle());

// The folder that holds `path`, or `path` itself at a root ("/", "C:\") and
// where no separator is left. Windows paths may use either slash.
std::string Parent(const std::string &path, Style style = HostStyle());

} // namespace paths
