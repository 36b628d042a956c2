// SPDX-License-Identifier: GPL-3.0-or-later
// Text in the system's 8-bit encoding as the safe gets it: what a window sends
// (a typed code or command) and what it shows of a reply. The local 8-bit
// encoding is UTF-8 on Linux and the ANSI code page on Windows. Codes,
// commands and the firmware's replies are ASCII, which every such encoding
// keeps as it is, so only other typed text can come out differently.
#pragma once

#include <QString>

#include <string>

// The bytes that go to the safe for `text`.
std::string ToSafeText(const QString &text);

// The text of bytes that came from the safe, all of them, NULs included.
QString FromSafeText(const std::string &bytes);
