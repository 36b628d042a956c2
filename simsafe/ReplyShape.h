// SPDX-License-Identifier: GPL-3.0-or-later
// How the simulated safe puts a reply on the line: as it should, or broken in
// one of the ways the controller must survive.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simsafe {

enum class Misbehaviour {
    None,     // three agreeing copies, each followed by "."
    Silent,   // no answer at all
    Disagree, // the third copy differs from the others
    Slow,     // a gap between every two bytes
    Split,    // one gap in the middle of the reply
    Cut,      // only the first two copies
    Nul,      // a NUL byte right after the first copy
    Junk,     // trailing bytes after the third stop
    Long,     // agreeing copies, but more than the controller's 260-byte read
    Hangup,   // half the reply, then the pseudo-terminal is closed
    Stray,    // kStrayByte alone, as a board's reset leaves it on the line
};

std::optional<Misbehaviour> MisbehaviourFromName(std::string_view name);
std::string_view MisbehaviourName(Misbehaviour m);
// "all" names, comma-separated, for usage texts.
std::string MisbehaviourNames();

// Each copy of a Long reply is padded to this many characters (3 x 101 bytes).
constexpr std::size_t kLongCopyLength = 100;
constexpr std::string_view kJunk = "junk";
// What a reset can leave on the line as the board's transmitter settles.
constexpr char kStrayByte = '\xF0';

struct Segment {
    std::string bytes;
    std::chrono::milliseconds delayBefore{0};
    bool hangUpAfter = false;
};

// The segments to write for one reply text.
std::vector<Segment> ShapeReply(const std::string &reply, Misbehaviour how,
                                std::chrono::milliseconds gap);

} // namespace simsafe
