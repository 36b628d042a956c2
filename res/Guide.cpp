// SPDX-License-Identifier: GPL-3.0-or-later
#include "Guide.h"

#include "Files.h"
#include "UserFolders.h"

#include <algorithm>
#include <string_view>

namespace res {

namespace {

// The folder that holds `dir`, or `dir` itself at a root ("/", "C:\") and
// where no separator is left.
std::string ParentFolder(const std::string &dir, std::string_view separators)
{
    const std::size_t end = dir.find_last_not_of(separators);
    if (end == std::string::npos)
        return dir;
    const std::size_t cut = dir.find_last_of(separators, end);
    if (cut == std::string::npos)
        return dir;
    const std::size_t keep = dir.find_last_not_of(separators, cut);
    // A drive's root keeps its separator: "C:\Vandrel" -> "C:\".
    if (keep == std::string::npos || (keep == 1 && dir[1] == ':'))
        return dir.substr(0, cut + 1);
    return dir.substr(0, keep + 1);
}

std::string Below(const std::string &dir, const std::string &below, char separator)
{
    if (!dir.empty() && dir.back() == separator)
        return dir + below;
    return dir + separator + below;
}

} // namespace

std::string GuidePath()
{
    const bool windows = ThisSystem() == System::Windows;
    const char separator = windows ? '\\' : '/';
    const std::string_view separators = windows ? "\\/" : "/";
    std::string below = VANDREL_GUIDE_BELOW_PREFIX;
    std::replace(below.begin(), below.end(), '/', separator);
    const std::string program = settings::ProgramFolder();
    // No absolute path is built into the program: the same file serves an
    // installed tree, wherever it was unpacked, and a build tree.
    for (std::string dir = program;;) {
        if (const std::string guide = Below(dir, below, separator); files::Exists(guide))
            return guide;
        const std::string parent = ParentFolder(dir, separators);
        if (parent == dir)
            break;
        dir = parent;
    }
    return Below(ParentFolder(program, separators), below, separator);
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
