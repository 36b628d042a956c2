// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Windows hands a program one command line, which the program's C runtime
// splits into words again. These functions quote words so that the Microsoft
// C runtime (and CommandLineToArgvW) gives back exactly the words put in.
// Plain C++ so that the rules are tested on every system.

#include <string>
#include <vector>

namespace upload {

// One word as the runtime reads it back: unchanged when it needs no quotes,
// otherwise in double quotes with backslashes doubled where they precede a
// quote and embedded quotes escaped. An empty word becomes "".
std::string QuoteWindowsArgument(const std::string& word);

// The words quoted and joined by single spaces (the program's own name is
// not included; the process starter puts it in front).
std::string WindowsCommandLine(const std::vector<std::string>& words);

} // namespace upload
