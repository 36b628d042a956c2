// SPDX-License-Identifier: GPL-3.0-or-later
// Text between the program (UTF-8 inside) and the wide (W) Windows
// interfaces (UTF-16). Windows sides only.
#pragma once

#include <string>

namespace windows {

// Bytes that are not UTF-8 become U+FFFD.
std::wstring Utf16(const std::string &utf8);

// Up to the first NUL, if any. A lone surrogate becomes U+FFFD.
std::string Utf8(const std::wstring &utf16);

// The system's words for an error code (GetLastError), without the line end.
std::string ErrorText(unsigned long code);

} // namespace windows
