// SPDX-License-Identifier: GPL-3.0-or-later
// The serial devices present, as Qt finds them in sysfs: a device with a USB
// vendor id is a USB one (an FTDI, CH340 or CP210x bridge, or a board's own
// USB chip), described by the name its USB descriptor gives.
#include "PortChoices.h"

#include <QSerialPortInfo>

std::vector<SerialDevice> PresentSerialDevices()
{
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        SerialDevice device;
        device.path = port.systemLocation().toStdString();
        device.usb = port.hasVendorIdentifier();
        device.description = (port.description().isEmpty() ? port.manufacturer() : port.description()).toStdString();
        devices.push_back(std::move(device));
    }
    return devices;
}
