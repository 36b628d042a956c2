// SPDX-License-Identifier: GPL-3.0-or-later
// The safe's framing: a command goes out as the command text followed by ".",
// three times; a reply is three copies, each followed by ".", and counts only
// when the copies agree.
#pragma once

#include <cstddef>
#include <string>

// The most bytes one exchange reads back from the safe.
constexpr std::size_t kReplyBufferSize = 260;

// The message on the wire for one copy of a command: command + ".".
std::string FrameCommand(const std::string &command);

// Reads the bytes of one reply as the safe's answer. Only the first
// kReplyBufferSize bytes count (the exchange never reads more), and the text
// ends at the first NUL byte. True when the text holds three full stops and
// the three copies before them agree byte for byte; `reply` is then the first
// copy. Whatever follows the third full stop is ignored. On false `reply` is
// left as it was.
bool SplitAgreedReply(const char *bytes, std::size_t n, std::string &reply);

// True as soon as the bytes read so far hold three full stops before any NUL:
// from then on, further bytes cannot change what SplitAgreedReply makes of
// them, so the read can end.
bool HasThreeStops(const char *bytes, std::size_t n);
