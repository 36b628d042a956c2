// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortChoices.h"

#include "PortNames.h"

#include <algorithm>

std::vector<PortChoice> ExtraPortChoices(const std::vector<SerialDevice> &devices,
                                         const std::string &storedPort)
{
    std::vector<std::string> taken;
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        const std::string com = "COM" + std::to_string(n);
        taken.push_back(com);
        taken.push_back(SerialDeviceName(com));
    }
    std::vector<PortChoice> choices;
    const auto add = [&](const std::string &name, const std::string &description) {
        if (std::find(taken.begin(), taken.end(), name) != taken.end())
            return;
        taken.push_back(name);
        choices.push_back({name, description});
    };
    for (const SerialDevice &device : devices)
        add(device.path, device.description);
    if (storedPort.rfind('/', 0) == 0 &&
        std::none_of(choices.begin(), choices.end(), [&](const PortChoice &c) { return c.name == storedPort; }))
        choices.push_back({storedPort, {}});
    return choices;
}

std::string PortWithNothingStored(const std::vector<SerialDevice> &devices, const std::string &defaultPort)
{
    const auto usb = std::count_if(devices.begin(), devices.end(), [](const SerialDevice &d) { return d.usb; });
    if (usb != 1)
        return defaultPort;
    return std::find_if(devices.begin(), devices.end(), [](const SerialDevice &d) { return d.usb; })->path;
}
