// SPDX-License-Identifier: GPL-3.0-or-later
// Text in the system's 8-bit encoding as the safe gets it: what a window sends
// (a typed code or command) and what it shows of a reply. The windows hold
// UTF-8; the local 8-bit encoding is UTF-8 on Linux (posix/SafeText.cpp) and
// the ANSI code page on Windows (win/SafeText.cpp). Codes, commands and
// the firmware's replies are ASCII, which every such encoding keeps as it is,
// so only other typed text can come out differently.
#pragma once

#include <string>

// The bytes that go to the safe for the UTF-8 `text`.
std::string ToSafeText(const std::string &text);

// The UTF-8 text of bytes that came from the safe, all of them, NULs included.
std::string FromSafeText(const std::string &bytes);
