// SPDX-License-Identifier: GPL-3.0-or-later
// The serial ports present, as Windows lists them under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM: one value per port, its
// data the port's name (COM5), its name the driver's device. A port whose
// device is not one of the machine's own UARTs (\Device\Serial<n>) comes
// through a driver of its own, as the USB serial bridges of these boards do
// (\Device\VCP0, \Device\USBSER000, \Device\Silabser0 ...).
#include "PortChoices.h"

#include "windows/WideText.h"

#include <windows.h>

#include <vector>

std::vector<SerialDevice> PresentSerialDevices()
{
    std::vector<SerialDevice> devices;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return devices;
    DWORD count = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                         &longestData, nullptr, nullptr) == ERROR_SUCCESS) {
        std::vector<wchar_t> name(longestName + 1);
        std::vector<wchar_t> data(longestData / sizeof(wchar_t) + 2);
        for (DWORD i = 0; i < count; ++i) {
            DWORD nameLength = DWORD(name.size());
            DWORD dataBytes = DWORD((data.size() - 1) * sizeof(wchar_t));
            DWORD type = 0;
            std::fill(data.begin(), data.end(), L'\0');
            if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, reinterpret_cast<BYTE *>(data.data()),
                              &dataBytes) != ERROR_SUCCESS ||
                type != REG_SZ)
                continue;
            SerialDevice device;
            device.path = windows::Utf8(data.data());
            const std::wstring driver(name.data(), nameLength);
            device.usb = driver.rfind(L"\\Device\\Serial", 0) != 0;
            if (!device.path.empty())
                devices.push_back(std::move(device));
        }
    }
    RegCloseKey(key);
    return devices;
}
