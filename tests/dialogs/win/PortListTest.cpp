// SPDX-License-Identifier: GPL-3.0-or-later
// The serial ports Windows lists, under Wine: the test puts two ports into
// HARDWARE\DEVICEMAP\SERIALCOMM as drivers do, a USB serial bridge and one of
// the machine's own UARTs, and only the bridge counts as USB (the one the Test
// window selects when nothing is stored). What the list offers from them is
// plain C++, tested on Linux too; that the Test window offers a listed COM12
// is the whole-product run's (tests/product).

#include "PortChoices.h"

#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

const wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Names no real driver gives, so the test's ports are told from others.
const wchar_t kBridge[] = L"\\Device\\VandrelTestVCP0";
const wchar_t kUart[] = L"\\Device\\Serial9";

void SetPort(const wchar_t *device, const std::wstring &port)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, device, 0, REG_SZ, reinterpret_cast<const BYTE *>(port.c_str()),
                             DWORD((port.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(PortList, ThePortsWindowsListsAndTheOneUsbBridgeWithNothingStored)
{
    SetPort(kBridge, L"COM12");
    SetPort(kUart, L"COM2");
    const std::vector<SerialDevice> devices = PresentSerialDevices();
    for (const wchar_t *device : {kBridge, kUart})
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSerialComm, device);

    const std::pair<std::string, bool> ports[] = {{"COM12", true}, {"COM2", false}};
    for (const auto &[path, usb] : ports) {
        const auto found = std::find_if(devices.begin(), devices.end(), [&](const SerialDevice &d) { return d.path == path; });
        ASSERT_NE(found, devices.end()) << path;
        EXPECT_EQ(found->usb, usb) << path;
    }
}

// A USB serial bridge as its driver installs it: a present device of the
// Ports class, with its port name and the name Device Manager shows.
TEST(PortList, ThePortsClassWithItsNames)
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    ASSERT_TRUE(SetupDiCreateDeviceInfoW(set, L"USB\\VID_0403&PID_6001\\VANDRELTEST", &GUID_DEVCLASS_PORTS, nullptr,
                                         nullptr, 0, &device)) << GetLastError();
    ASSERT_TRUE(SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr)) << GetLastError();
    const std::wstring friendly = L"USB Serial Port (COM14)";
    EXPECT_TRUE(SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME,
                                                  reinterpret_cast<const BYTE *>(friendly.c_str()),
                                                  DWORD((friendly.size() + 1) * sizeof(wchar_t)))) << GetLastError();
    HKEY key = SetupDiCreateDevRegKeyW(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
    ASSERT_NE(key, INVALID_HANDLE_VALUE) << GetLastError();
    const std::wstring port = L"COM14";
    RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE *>(port.c_str()),
                   DWORD((port.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    const std::vector<SerialDevice> devices = PresentSerialDevices();
    SetupDiRemoveDevice(set, &device);
    SetupDiDestroyDeviceInfoList(set);
    const auto found = std::find_if(devices.begin(), devices.end(), [](const SerialDevice &d) { return d.path == "COM14"; });
    ASSERT_NE(found, devices.end());
    EXPECT_EQ(found->description, "USB Serial Port");
    EXPECT_TRUE(found->usb);
}

} // namespace
