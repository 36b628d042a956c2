// SPDX-License-Identifier: GPL-3.0-or-later
#include "Guide.h"

#include "UserFolders.h"

#include <filesystem>
#include <string_view>
#include <system_error>

namespace res {

namespace {

namespace fs = std::filesystem;

fs::path FromUtf8(const std::string &text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string ToUtf8(const fs::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool Exists(const fs::path &path)
{
    std::error_code error;
    return fs::exists(path, error);
}

} // namespace

std::string GuidePath()
{
    const fs::path below = FromUtf8(VANDREL_GUIDE_BELOW_PREFIX).make_preferred();
    const fs::path program = FromUtf8(settings::ProgramFolder());
    // No absolute path is built into the program: the same file serves an
    // installed tree, wherever it was unpacked, and a build tree.
    for (fs::path dir = program;; dir = dir.parent_path()) {
        if (const fs::path guide = dir / below; Exists(guide))
            return ToUtf8(guide.lexically_normal());
        if (dir == dir.parent_path() || dir.empty())
            break;
    }
    return ToUtf8((program.parent_path() / below).lexically_normal());
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
