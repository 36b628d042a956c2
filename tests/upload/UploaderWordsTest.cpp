// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploaderWords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace upload;

namespace {

std::vector<std::string> Words(const std::string& conf, const std::string& port,
                               const std::string& file)
{
    return {"-v", "-C", conf, "-p", "atmega168", "-P", port,
            "-c", "stk500v1", "-b19200", "-U", "flash:w:" + file};
}

} // namespace

TEST(UploaderWords, EachValueIsOneWordInItsPlace)
{
    struct Case {
        const char* what;
        std::string folder, port, file;
        PathStyle style;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"no port selected: an empty word after -P", "/opt/arduino", "", "Blink.hex",
         PathStyle::Posix, Words("/opt/arduino/hardware/tools/avr/etc/avrdude.conf", "", "Blink.hex")},
        {"trailing separator is doubled", "/opt/arduino/", "COM1", "Blink.hex", PathStyle::Posix,
         Words("/opt/arduino//hardware/tools/avr/etc/avrdude.conf", "/dev/ttyS0",
               "Blink.hex")},
        {"Windows folder with spaces and a trailing backslash", "C:\\Program Files\\Arduino\\", "COM9",
         "Cadrelle.hex", PathStyle::Windows,
         Words("C:\\Program Files\\Arduino\\\\hardware\\tools\\avr\\etc\\avrdude.conf",
               "COM9", "Cadrelle.hex")},
        // Windows opens COM10 and above only as \\.\COMn.
        {"COM12 on Windows", "C:\\A", "COM12", "Blink.hex", PathStyle::Windows,
         Words("C:\\A\\hardware\\tools\\avr\\etc\\avrdude.conf", "\\\\.\\COM12", "Blink.hex")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UploaderWords(c.folder, c.port, c.file, c.style), c.expected) << c.what;
}
