// SPDX-License-Identifier: GPL-3.0-or-later
// The two per-user settings (the safe's serial port and the Arduino folder)
// and the uploader's working folder. Text is UTF-8.
//
// The store is the application's section "Setting" (SettingsStore.h): the
// registry key HKCU\Software\Vandrel\<name>\Setting on Windows, the file
// $XDG_CONFIG_HOME/Vandrel/<name>.conf on Linux. Every read and write goes to
// the store at once, so another copy of the program sees it too. On Linux it
// needs a QCoreApplication (the application's name keys the store).
#pragma once

#include <string>

#include "UserFolders.h"

namespace settings {

// The uploader's working folder: the per-user data folder "Vandrel", in this
// system's spelling. It is not created here.
std::string WorkDir();

// The Arduino folder "arduino-0012X": in WorkDir() on Linux, beside the
// program on Windows (where the installer puts avrdude.exe).
std::string DefaultArduinoPath();

// "COM4" when the store holds no value; a stored empty text comes back empty.
std::string GetSerialPort();

// Whether the store holds a port name at all (an empty one too).
bool SerialPortStored();

// Stores the text exactly as given. False when the store did not keep it;
// the value is then not served by later reads either.
bool SetSerialPort(const std::string &port);

// DefaultArduinoPath() when the store holds no value.
std::string GetArduinoPath();

bool SetArduinoPath(const std::string &folder);

} // namespace settings
