// SPDX-License-Identifier: GPL-3.0-or-later
// The ports the Test window's list offers beyond COM1 to COM9, and the port
// it selects when nothing is stored. The rules are plain C++; the serial
// devices present come from this system's side (qt/SerialDevices.cpp, win/SerialDevices.cpp).
#pragma once

#include <string>
#include <vector>

// The COMn items the list always holds, in the order they are added.
constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 9;

struct SerialDevice {
    std::string path;        // as the exchange opens it: /dev/ttyUSB0, COM5
    std::string description; // as the system names it ("FT232R USB UART"); may be empty
    bool usb = false;
};

// The serial devices present now.
std::vector<SerialDevice> PresentSerialDevices();

struct PortChoice {
    std::string name;        // the item's text, and what is stored
    std::string description; // shown beside it where the list can
};

// The devices that no COMn item already names (/dev/ttyS0 to /dev/ttyS8 are
// COM1 to COM9), and `storedPort` when it is a device path, so that the port
// in use stays selectable even when the system does not report it (a
// pseudo-terminal, an unplugged board). No name comes twice.
std::vector<PortChoice> ExtraPortChoices(const std::vector<SerialDevice> &devices,
                                         const std::string &storedPort);

// With nothing stored: the one USB serial device when exactly one is
// present (the board just plugged in), else `defaultPort`.
std::string PortWithNothingStored(const std::vector<SerialDevice> &devices,
                                  const std::string &defaultPort);
