// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the program hands to the Arduino uploader (avrdude): the firmware
// file, the uploader's path, its configuration and its words, and the texts
// the Test window shows about an upload. Plain C++ so it is shared by every
// platform and tested without a window.

#include "base/Paths.h"

#include <string>
#include <vector>

namespace upload {

using PathStyle = paths::Style;

inline constexpr char kBlinkSketch[] = "Blink";
inline constexpr char kCadrelleSketch[] = "Cadrelle";
inline constexpr char kUploadLogName[] = "upload_out.txt";
inline constexpr char kCompletedUploadMessage[] = "Completed upload";

// "Blink" -> "Blink.hex": a bare name, which the uploader resolves in its
// current folder.
std::string FirmwareFileName(const std::string& sketch);

// <folder>/hardware/tools/avr/bin/avrdude (avrdude.exe on Windows).
std::string UploaderPath(const std::string& arduinoFolder, PathStyle style = paths::HostStyle());

// <folder>/hardware/tools/avr/etc/avrdude.conf
std::string UploaderConfigPath(const std::string& arduinoFolder,
                               PathStyle style = paths::HostStyle());

// The port as the uploader is given it (-P): on Linux the device the serial
// exchange opens for it (COM3 -> /dev/ttyS2); on Windows the name as it
// stands, but COM10 and above as \\.\COM12, the form every avrdude opens.
std::string UploaderPortWord(const std::string& portText, PathStyle style = paths::HostStyle());

// The uploader's words, in order, each value one whole word (a folder with
// spaces stays one word, an empty port stays an empty word after -P):
// -v -C <conf> -p atmega168 -P <port> -c stk500v1 -b19200 -U flash:w:<file>.
// The port is UploaderPortWord's.
std::vector<std::string> UploaderWords(const std::string& arduinoFolder,
                                       const std::string& portText,
                                       const std::string& firmwareFile,
                                       PathStyle style = paths::HostStyle());

// The Test window's messages, filled by concatenation so that a '%' in a
// folder name is shown as it stands.
std::string NoUploaderMessage(const std::string& arduinoFolder, const std::string& uploaderPath);
std::string NoFirmwareMessage(const std::string& firmwareFile);
std::string NotStartedMessage(const std::string& uploaderPath, const std::string& reason);

} // namespace upload
