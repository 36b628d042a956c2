// SPDX-License-Identifier: GPL-3.0-or-later
// The ports the Test window's list offers beyond COM1 to COM9. Kept apart
// because it is the one place where the systems differ: on Windows the list
// holds exactly COM1 to COM9; elsewhere a board usually appears as a device
// such as /dev/ttyUSB0 or /dev/ttyACM0, which no COMn names.
#pragma once

#include <QStringList>

// The COMn items the list always holds, in the order they are added.
constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 9;

// On Windows, nothing. Elsewhere, the serial devices the system reports
// (apart from /dev/ttyS0 to /dev/ttyS8, which COM1 to COM9 already name) and
// `storedPort` when it is a device path, so that the port in use stays
// selectable even when the system does not report it (a pseudo-terminal,
// an unplugged board). No name comes twice.
QStringList ExtraPortChoices(const QString &storedPort);
