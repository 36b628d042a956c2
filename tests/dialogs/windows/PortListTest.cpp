// SPDX-License-Identifier: GPL-3.0-or-later
// The serial ports Windows lists, under Wine: the test puts two ports into
// HARDWARE\DEVICEMAP\SERIALCOMM as drivers do, a USB serial bridge and one of
// the machine's own UARTs, and only the bridge counts as USB (the one the Test
// window selects when nothing is stored). What the list offers from them is
// plain C++, tested on Linux too; that the Test window offers a listed COM12
// is the whole-product run's (tests/product).

#include "PortChoices.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
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

void RemovePort(const wchar_t *device)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, device);
        RegCloseKey(key);
    }
}

TEST(PortList, ThePortsWindowsListsAndTheOneUsbBridgeWithNothingStored)
{
    SetPort(kBridge, L"COM12");
    SetPort(kUart, L"COM2");
    const std::vector<SerialDevice> devices = PresentSerialDevices();
    RemovePort(kBridge);
    RemovePort(kUart);

    const auto find = [&](const std::string &path) -> const SerialDevice * {
        for (const SerialDevice &device : devices)
            if (device.path == path)
                return &device;
        return nullptr;
    };
    const SerialDevice *bridge = find("COM12");
    const SerialDevice *uart = find("COM2");
    ASSERT_NE(bridge, nullptr);
    ASSERT_NE(uart, nullptr);
    EXPECT_TRUE(bridge->usb);
    EXPECT_FALSE(uart->usb);
}

} // namespace
