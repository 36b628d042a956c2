// SPDX-License-Identifier: GPL-3.0-or-later
#include "Paths.h"

#include "ThisSystem.h"

namespace paths {

namespace {

// The separators a path of that style may hold.
std::string_view Separators(Style style)
{
    return style == Style::Windows ? "\\/" : "/";
}

} // namespace

Style HostStyle()
{
    return ThisSystem() == System::Windows ? Style::Windows : Style::Posix;
}

char Separator(Style style)
{
    return style == Style::Windows ? '\\' : '/';
}

std::string Join(const std::string &folder, const std::string &name, Style style)
{
    return folder + Separator(style) + name;
}

std::string WithoutTrailingSeparators(const std::string &path, Style style)
{
    const std::size_t end = path.find_last_not_of(Separators(style));
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

std::string Parent(const std::string &path, Style style)
{
    const std::string_view separators = Separators(style);
    const std::size_t end = path.find_last_not_of(separators);
    if (end == std::string::npos)
        return path;
    const std::size_t cut = path.find_last_of(separators, end);
    if (cut == std::string::npos)
        return path;
    const std::size_t keep = path.find_last_not_of(separators, cut);
    // A drive's root keeps its separator: "C:\Vandrel" -> "C:\".
    if (keep == std::string::npos || (keep == 1 && path[1] == ':'))
        return path.substr(0, cut + 1);
    return path.substr(0, keep + 1);
}

} // namespace paths
