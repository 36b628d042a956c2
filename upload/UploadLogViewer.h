// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Opening the upload log with the program the desktop associates with its
// type. Kept apart from the launcher because it needs QtGui and a running
// QGuiApplication (the Test window's QApplication).

#include <QString>

namespace upload {

// Asks the desktop to open the log; returns whether the desktop took it.
// A missing log is not handed over at all, so no viewer comes up just to say
// the file is not there. The Test window shows nothing either way.
bool OpenUploadLog(const QString& logPath);

} // namespace upload
