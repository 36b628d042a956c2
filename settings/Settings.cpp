// SPDX-License-Identifier: GPL-3.0-or-later
#include "Settings.h"

#include "SettingsStore.h"
#include "base/Paths.h"
#include "base/Program.h"
#include "base/ThisSystem.h"

namespace settings {

namespace {

constexpr char kSerialPortValue[] = "SerialPort";
constexpr char kArduinoPathValue[] = "ArduinoPath";
constexpr char kDefaultSerialPort[] = "COM4";
constexpr char kArduinoFolderName[] = "arduino-0012X";

} // namespace

std::string WorkDir()
{
    return paths::Join(UserDataFolder(), "Vandrel");
}

std::string DefaultArduinoPath()
{
    // Windows: the installer and the zip carry avrdude.exe in an Arduino
    // folder beside the program, which users only read. Linux: the set-up or
    // the first upload links Debian's avrdude into one in the working folder.
    if (ThisSystem() == System::Windows)
        return paths::Join(program::Folder(), kArduinoFolderName);
    return paths::Join(WorkDir(), kArduinoFolderName);
}

std::string GetSerialPort()
{
    return store::Read(kSerialPortValue).value_or(kDefaultSerialPort);
}

bool SerialPortStored()
{
    return store::Read(kSerialPortValue).has_value();
}

bool SetSerialPort(const std::string &port)
{
    return store::Write(kSerialPortValue, port);
}

std::string GetArduinoPath()
{
    // The default is worked out only when it is needed.
    if (std::optional<std::string> stored = store::Read(kArduinoPathValue))
        return *std::move(stored);
    return DefaultArduinoPath();
}

bool SetArduinoPath(const std::string &folder)
{
    return store::Write(kArduinoPathValue, folder);
}

} // namespace settings
