// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploaderWords.h"

#include "safe/PortNames.h"

#include <initializer_list>

namespace upload {

namespace {

std::string JoinParts(std::string path, std::initializer_list<const char*> parts, PathStyle style)
{
    for (const char* part : parts)
        path = paths::Join(path, part, style);
    return path;
}

} // namespace

std::string FirmwareFileName(const std::string& sketch)
{
    return sketch + ".hex";
}

std::string UploaderPath(const std::string& arduinoFolder, PathStyle style)
{
    const char* program = style == PathStyle::Windows ? "avrdude.exe" : "avrdude";
    return JoinParts(arduinoFolder, {"hardware", "tools", "avr", "bin", program}, style);
}

std::string UploaderConfigPath(const std::string& arduinoFolder, PathStyle style)
{
    return JoinParts(arduinoFolder, {"hardware", "tools", "avr", "etc", "avrdude.conf"}, style);
}

std::string UploaderPortWord(const std::string& portText, PathStyle style)
{
    if (style == PathStyle::Posix)
        return SerialDeviceName(portText, System::Linux);
    // Windows opens COM10 and above only in the device namespace. avrdude 7
    // adds the prefix to a bare "COMn" itself, and leaves a name that has it
    // alone; an uploader that opens the name as given needs it.
    if (ComPortNumber(portText) >= 10)
        return "\\\\.\\" + portText;
    return portText;
}

std::vector<std::string> UploaderWords(const std::string& arduinoFolder,
                                       const std::string& portText,
                                       const std::string& firmwareFile, PathStyle style)
{
    return {"-v",
            "-C", UploaderConfigPath(arduinoFolder, style),
            "-p", "atmega168",
            "-P", UploaderPortWord(portText, style),
            "-c", "stk500v1",
            "-b19200",
            "-U", "flash:w:" + firmwareFile};
}

std::string NoUploaderMessage(const std::string& arduinoFolder, const std::string& uploaderPath)
{
    return "Don't think the path '" + arduinoFolder +
           "' is right (it should contain arduino.exe) as I can't find the file '" +
           uploaderPath + "'";
}

std::string NoFirmwareMessage(const std::string& firmwareFile)
{
    return "Can't find the file '" + firmwareFile + "'";
}

std::string NotStartedMessage(const std::string& uploaderPath, const std::string& reason)
{
    std::string message = "Could not start the uploader '" + uploaderPath + "'";
    if (!reason.empty())
        message += "\n" + reason;
    return message;
}

} // namespace upload
