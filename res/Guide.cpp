// SPDX-License-Identifier: GPL-3.0-or-later
#include "Guide.h"

#include "base/Files.h"
#include "base/Paths.h"
#include "base/Program.h"

#include <algorithm>
#include <string_view>

namespace res {

std::string GuidePath()
{
    std::string below = VANDREL_GUIDE_BELOW_PREFIX;
    std::replace(below.begin(), below.end(), '/', paths::Separator());
    const auto guideBelow = [&below](const std::string &dir) {
        return paths::Join(paths::WithoutTrailingSeparators(dir), below);
    };
    const std::string program = program::Folder();
    // No absolute path is built into the program: the same file serves an
    // installed tree, wherever it was unpacked, and a build tree.
    for (std::string dir = program;;) {
        if (const std::string guide = guideBelow(dir); files::Exists(guide))
            return guide;
        const std::string parent = paths::Parent(dir);
        if (parent == dir)
            break;
        dir = parent;
    }
    return guideBelow(paths::Parent(program));
}

std::string GuideAddress()
{
    return FileAddress(GuidePath());
}

std::string FileAddress(const std::string &path, System system)
{
    constexpr char kHex[] = "0123456789ABCDEF";
    constexpr std::string_view kEscaped = "\"%#?<>[]^`{|}\\";
    std::string address = "file://";
    // A drive letter path gets the root "/" in front of it.
    if (system == System::Windows && !path.empty() && path[0] != '\\' && path[0] != '/')
        address += '/';
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' && system == System::Windows)
            address += '/';
        else if (byte <= 0x20 || byte == 0x7F || kEscaped.find(c) != std::string_view::npos) {
            address += '%';
            address += kHex[byte >> 4];
            address += kHex[byte & 0xF];
        } else
            address += c;
    }
    return address;
}

} // namespace res
