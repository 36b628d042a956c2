// SPDX-License-Identifier: GPL-3.0-or-later
// The board set-up guide that the Test window points to.
#pragma once

#include <string>

#include "base/ThisSystem.h"

namespace res {

// The guide in the nearest folder, from the program's own upwards, that holds
// share/doc/vandrel/board-setup.md (docs\board-setup.md on Windows): for an
// installed program its prefix (<prefix>/bin -> <prefix>/share/doc/vandrel/
// board-setup.md; on Windows the program's own folder, as the installer and
// the zip lay it out), for a program run from its build the build tree, which
// holds a copy. The installed place when none does. On Linux it needs the
// QApplication.
std::string GuidePath();

// GuidePath() as a file:// address.
std::string GuideAddress();

// A full local path (UTF-8) as a file:// address, spelt as a desktop shows
// it: "/" between folders, the characters an address cannot hold as they
// stand (blanks, "%", "#", "?" and the like) as %XX, other letters as they
// are. On Windows "C:\a b" becomes file:///C:/a%20b.
std::string FileAddress(const std::string &path, System system = ThisSystem());

} // namespace res
