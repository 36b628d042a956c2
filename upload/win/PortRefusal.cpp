// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortRefusal.h"

#include <initializer_list>

namespace upload {

namespace {

bool OneOf(std::string_view words, std::initializer_list<std::string_view> texts)
{
    for (const std::string_view text : texts)
        if (words == text)
            return true;
    return false;
}

} // namespace

PortRefusal SortPortRefusal(std::string_view words)
{
    // Windows' errors 2 and 3 (file or path not found), and Wine's.
    if (OneOf(words, {"The system cannot find the file specified", "The system cannot find the path specified",
                      "File not found", "Path not found"}))
        return PortRefusal::NotThere;
    // Wine's, for a Linux device this user has no right to. Windows' own
    // "Access is denied" is another program holding the port, which only one
    // program may have open.
    if (words == "Access denied")
        return PortRefusal::NoRight;
    // Windows' errors 5 and 32; Wine's for a port a Linux program holds
    // exclusively.
    if (OneOf(words, {"Access is denied",
                      "The process cannot access the file because it is being used by another process",
                      "Lock violation", "Sharing violation"}))
        return PortRefusal::Held;
    return PortRefusal::Unknown;
}

} // namespace upload
