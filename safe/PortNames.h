// SPDX-License-Identifier: GPL-3.0-or-later
// How a port name from the settings becomes the device that is opened.
#pragma once

#include <string>

#include "base/ThisSystem.h"

// Windows: the name as it stands (COM1, COM12, ...: the serial port opens it
// in the device namespace, \\.\<name>). Linux: a name that begins with "/"
// is a device path and stands; "COMn" as ComPortNumber reads it is the n-th
// serial port, /dev/ttyS<n-1>; anything else stands. The uploader's -P value
// is mapped the same way on Linux; on Windows UploaderPortWord
// (upload/UploaderWords.h) gives COM10 and above the device namespace.
std::string SerialDeviceName(const std::string &portName, System system = ThisSystem());

// The n of "COMn" ("com" in any case, n from 1 to 9999 in at most four
// digits, no leading zero), or 0 when the name is not of that form.
unsigned ComPortNumber(const std::string &name);
