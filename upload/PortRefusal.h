// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the system says when the uploader cannot open the port (avrdude
// quotes it in its log, without the full stop), sorted as the Test window
// words it. Each system knows its own texts: posix/PortRefusal.cpp the C
// library's, win/PortRefusal.cpp Windows' own and Wine's (which a Windows
// program gets under Wine). Words a system does not know (Windows in another
// language, say) are Unknown.

#include <string_view>

namespace upload {

enum class PortRefusal {
    NotThere, // no such port
    NoRight,  // the port is there, this user may not open it
    Held,     // another program has it open
    Unknown,
};

PortRefusal SortPortRefusal(std::string_view systemWords);

} // namespace upload
