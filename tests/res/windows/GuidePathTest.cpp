// SPDX-License-Identifier: GPL-3.0-or-later
// The guide found from a program run in the build tree, which holds a copy
// where an installed tree holds it.

#include "Guide.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

TEST(GuidePath, IsFoundAboveTheProgramsFolder)
{
    const std::string guide = res::GuidePath();
    const std::u8string name(guide.begin(), guide.end());
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(name))) << guide;
    EXPECT_TRUE(guide.ends_with("\\docs\\board-setup.md")) << guide;
    EXPECT_EQ(res::GuideAddress().rfind("file:///", 0), 0u) << res::GuideAddress();
}
