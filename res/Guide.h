// SPDX-License-Identifier: GPL-3.0-or-later
// The board set-up guide that the Test window points to.
#pragma once

#include <QString>

namespace res {

// The guide in the nearest folder, from the program's own upwards, that holds
// share/doc/vandrel/board-setup.md: for an installed program its prefix
// (<prefix>/bin -> <prefix>/share/doc/vandrel/board-setup.md), for a program
// run from its build the build tree, which holds a copy. The installed place
// when none does. Needs the QApplication.
QString GuidePath();

// GuidePath() as a file:// address.
QString GuideAddress();

} // namespace res
