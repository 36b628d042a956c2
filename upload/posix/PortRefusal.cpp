// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortRefusal.h"

namespace upload {

// The C library's words for ENOENT, EACCES and EBUSY.
PortRefusal SortPortRefusal(std::string_view words)
{
    if (words == "No such file or directory")
        return PortRefusal::NotThere;
    if (words == "Permission denied")
        return PortRefusal::NoRight;
    if (words == "Device or resource busy")
        return PortRefusal::Held;
    return PortRefusal::Unknown;
}

} // namespace upload
