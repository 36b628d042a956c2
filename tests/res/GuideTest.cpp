// SPDX-License-Identifier: GPL-3.0-or-later
// The guide's address as the Test window shows it, for either system's paths.
// (The Linux Test window's test compares it with Qt's own reading of a path.)

#include "Guide.h"

#include <gtest/gtest.h>

#include <string>

TEST(FileAddress, SpellsPathsAsADesktopShowsThem)
{
    struct Case {
        System system;
        std::string path, address;
    };
    const Case cases[] = {
        {System::Linux, "/usr/share/doc/vandrel/board-setup.md", "file:///usr/share/doc/vandrel/board-setup.md"},
        {System::Linux, "/home/ada/my files/#1?%/a\\b.md", "file:///home/ada/my%20files/%231%3F%25/a%5Cb.md"},
        {System::Linux, "/home/jürgen/Ардуино.md", "file:///home/jürgen/Ардуино.md"},
        {System::Windows, "C:\\Program Files\\Vandrel\\share\\doc\\vandrel\\board-setup.md",
         "file:///C:/Program%20Files/Vandrel/share/doc/vandrel/board-setup.md"},
        {System::Windows, "Z:\\work\\a#b", "file:///Z:/work/a%23b"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(res::FileAddress(c.path, c.system), c.address) << c.path;
}
