// SPDX-License-Identifier: GPL-3.0-or-later
// Port names, as a plain function: no port. (The agreement of a reply's
// copies is checked on the wire by the exchange tests, and on any bytes,
// with the read's early end at the third full stop, by fuzz_framing against
// its model. The reading of a time reply is checked through the status text
// it gives, and against its model by fuzz_numbers.)

#include "PortNames.h"

#include <gtest/gtest.h>


namespace {

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
