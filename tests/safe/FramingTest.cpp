// SPDX-License-Identifier: GPL-3.0-or-later
// The agreement check and port names, as plain functions over bytes: no port.
// (A command's framing is checked on the wire by the exchange tests; that the
// read's early end at the third full stop never changes the result, by the
// fuzz target against its model. The reading of a time reply is checked
// through the status text it gives, and against its model by fuzz_numbers.)

#include "Framing.h"
#include "PortNames.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

struct ReplyCase {
    const char *what;
    std::string bytes;
    bool agreed;
    std::string reply; // when agreed
};

std::string Copies(const std::string &copy)
{
    return copy + "." + copy + "." + copy + ".";
}

const ReplyCase kReplyCases[] = {
    {"three agreeing copies", "Y.Y.Y.", true, "Y"},
    {"third copy differs", "Y.Y.N.", false, ""},
    {"two copies only", "Y.Y.", false, ""},
    {"three full stops alone", "...", true, ""},
    {"junk after the third full stop", "12.12.12.junk", true, "12"},
    {"a fourth copy that differs", "12.12.12.13.", true, "12"},
    {"case differs", "y.Y.Y.", false, ""},
    {"blank before the first copy", " Y.Y.Y.", false, ""},
    {"NUL inside the first copy", "Y\0.Y.Y."s, false, ""},
    {"NUL right after the third full stop", "Y.Y.Y.\0junk"s, true, "Y"},
    {"258 bytes and junk past the buffer", Copies(std::string(85, 'A')) + "junk", true,
     std::string(85, 'A')},
    {"third full stop at byte 261, past the buffer", Copies(std::string(86, 'A')), false, ""},
    {"over 260 bytes", Copies(std::string(100, 'A')), false, ""},
};

TEST(SplitAgreedReply, ReadsOnlyAgreeingCopies)
{
    for (const ReplyCase &c : kReplyCases) {
        SCOPED_TRACE(c.what);
        std::string reply = "unchanged";
        EXPECT_EQ(SplitAgreedReply(c.bytes.data(), c.bytes.size(), reply), c.agreed);
        EXPECT_EQ(reply, c.agreed ? c.reply : "unchanged");
    }
}

TEST(SerialDeviceName, MapsComPortsAndKeepsPaths)
{
    struct Case {
        const char *name;
        const char *device;
    };
    const Case linuxCases[] = {
        {"COM1", "/dev/ttyS0"}, {"COM10", "/dev/ttyS9"}, {"COM9999", "/dev/ttyS9998"}, {"com3", "/dev/ttyS2"}};
    for (const Case &c : linuxCases)
        EXPECT_EQ(SerialDeviceName(c.name, System::Linux), c.device) << "port name \"" << c.name << '"';
    // Device paths, and names that are no COM name as the system writes one,
    // are passed on as they stand; Windows opens every name as it stands.
    for (const char *name : {"COM0", "COM01", "COM", "COM+1", "COM4x", " COM4", "COM99999", "COM4294967297",
                             "/dev/pts/3", "/COM4", ""})
        EXPECT_EQ(SerialDeviceName(name, System::Linux), name);
    for (const char *name : {"COM1", "COM4", "com3", "/dev/ttyS0", ""})
        EXPECT_EQ(SerialDeviceName(name, System::Windows), name);
}

} // namespace
