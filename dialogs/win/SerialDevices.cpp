// SPDX-License-Identifier: GPL-3.0-or-later
// The serial ports present, as Windows lists them: first the devices of the
// Ports class (SetupAPI), each with its port name (COM5), the name Device
// Manager shows ("USB Serial Device (COM5)", given without the port) and
// whether it hangs off USB (its instance id's enumerator: USB, or FTDIBUS
// for FTDI's own driver); then any other port named under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, where Wine lists its
// ports and SetupAPI knows none. There, a port whose device is not one of
// the machine's own UARTs (\Device\Serial<n>) comes through a driver of its
// own, as the USB serial bridges of these boards do (\Device\VCP0,
// \Device\USBSER000, \Device\Silabser0 ...).
#include "PortChoices.h"

#include "base/win/WideText.h"

#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <vector>

namespace {

std::wstring DeviceText(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD property)
{
    wchar_t text[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE *>(text),
                                           sizeof text - sizeof(wchar_t), nullptr) ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    return text; // a REG_MULTI_SZ's first string
}

std::wstring PortName(HDEVINFO set, SP_DEVINFO_DATA &device)
{
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t name[64] = {};
    DWORD bytes = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const bool read = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE *>(name), &bytes) ==
                          ERROR_SUCCESS &&
                      type == REG_SZ;
    RegCloseKey(key);
    return read ? name : std::wstring();
}

void AddPortsClass(std::vector<SerialDevice> &devices)
{
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const std::wstring port = PortName(set, device);
        if (port.rfind(L"COM", 0) != 0) // a printer port (LPT1) is of this class too
            continue;
        std::wstring name = DeviceText(set, device, SPDRP_FRIENDLYNAME);
        if (const std::wstring suffix = L" (" + port + L")";
            name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            name.resize(name.size() - suffix.size());
        // The instance id begins with the enumerator: USB\VID_2341&PID_0043\...
        wchar_t instance[512] = {};
        if (!SetupDiGetDeviceInstanceIdW(set, &device, instance, 511, nullptr))
            instance[0] = L'\0';
        const auto from = [&](const wchar_t *enumerator) {
            const int length = lstrlenW(enumerator);
            return CompareStringOrdinal(instance, std::min(length, lstrlenW(instance)), enumerator, length, TRUE) ==
                   CSTR_EQUAL;
        };
        SerialDevice serial;
        serial.path = windows::Utf8(port);
        serial.description = windows::Utf8(name);
        serial.usb = from(L"USB\\") || from(L"FTDIBUS\\");
        devices.push_back(std::move(serial));
    }
    SetupDiDestroyDeviceInfoList(set);
}

void AddSerialComm(std::vector<SerialDevice> &devices)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return;
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
            const bool listed = std::any_of(devices.begin(), devices.end(),
                                            [&](const SerialDevice &d) { return d.path == device.path; });
            if (!device.path.empty() && !listed)
                devices.push_back(std::move(device));
        }
    }
    RegCloseKey(key);
}

} // namespace

std::vector<SerialDevice> PresentSerialDevices()
{
    std::vector<SerialDevice> devices;
    AddPortsClass(devices);
    AddSerialComm(devices);
    return devices;
}
