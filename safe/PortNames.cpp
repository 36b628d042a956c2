// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortNames.h"

#include <cstddef>

// Leading zeros and numbers past any real port count are not port names.
unsigned ComPortNumber(const std::string &name)
{
    constexpr std::size_t kMaxDigits = 4;
    if (name.size() < 4 || name.size() > 3 + kMaxDigits)
        return 0;
    const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M' || name[3] == '0')
        return 0;
    unsigned n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        n = n * 10 + unsigned(name[i] - '0');
    }
    return n;
}

std::string SerialDeviceName(const std::string &portName, System system)
{
    if (system == System::Windows)
        return portName;
    if (!portName.empty() && portName[0] == '/')
        return portName;
    if (const unsigned n = ComPortNumber(portName); n >= 1)
        return "/dev/ttyS" + std::to_string(n - 1);
    return portName;
}
