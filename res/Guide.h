// SPDX-License-Identifier: GPL-3.0-or-later
// The board set-up guide that the Test window points to.
#pragma once

#include <QString>

namespace res {

// The guide installed with the program, found from the program's own folder
// (<prefix>/bin -> <prefix>/share/doc/vandrel/board-setup.md), when it is
// there; otherwise the source tree's guide, for a program run from its build
// tree; the installed place when neither is there. Needs the QApplication.
QString GuidePath();

// GuidePath() as a file:// address.
QString GuideAddress();

} // namespace res
