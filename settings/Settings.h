// SPDX-License-Identifier: GPL-3.0-or-later
// The two per-user settings (the safe's serial port and the Arduino folder)
// and the uploader's working folder.
//
// The store is QSettings(NativeFormat, UserScope, "Vandrel", <application name>),
// section "Setting": the registry key HKCU\Software\Vandrel\<name>\Setting on
// Windows, $XDG_CONFIG_HOME/Vandrel/<name>.conf elsewhere. Every read and write
// goes to the store at once, so another copy of the program sees it too.
// Needs a QCoreApplication (the application's name keys the store).
#pragma once

#include <QString>

namespace settings {

// The executable's name, as QCoreApplication reports it.
QString ApplicationName();

// The uploader's working folder: the per-user data folder "Vandrel"
// (native separators). It is not created here.
QString WorkDir();

// WorkDir() + "/arduino-0012X" (native separators).
QString DefaultArduinoPath();

// "COM4" when the store holds no value; a stored empty text comes back empty.
QString GetSerialPort();

// Stores the text exactly as given. False when the store did not keep it;
// the value is then not served by later reads either.
bool SetSerialPort(QString port);

// DefaultArduinoPath() when the store holds no value.
QString GetArduinoPath();

bool SetArduinoPath(QString folder);

} // namespace settings
