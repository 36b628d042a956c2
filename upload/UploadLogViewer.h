// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Opening the upload log with the program the desktop associates with its
// type: qt/ asks the desktop through QtGui (it needs the Test window's
// QApplication); win/ has the shell open it (ShellExecuteW).

#include <string>

namespace upload {

// Asks the desktop to open the log (UTF-8 path); returns whether the desktop
// took it. A missing log is not handed over at all, so no viewer comes up
// just to say the file is not there.
bool OpenUploadLog(const std::string& logPath);

} // namespace upload
