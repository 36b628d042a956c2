// SPDX-License-Identifier: GPL-3.0-or-later
// What the controller sends to the safe, and how it reads the answers.
// Every command is one framed exchange (SafeExchange.h); a reply here is the
// agreed copy without its framing.
#pragma once

#include <cstdint>
#include <string>

namespace safecmd {

inline constexpr char kVersion[] = "V";    // reply: the firmware's version text
inline constexpr char kTime[] = "T";       // reply: seconds until the safe opens, or kHiddenTime
inline constexpr char kTestLock[] = "X";   // closes the latch; the reply is not examined
inline constexpr char kTestUnlock[] = "Y"; // opens the latch; a locked safe refuses it with kRefused

inline constexpr char kAccepted[] = "Y";   // reply to a lock or unlock code the safe took
inline constexpr char kRefused[] = "N";    // reply to a code or kTestUnlock the safe will not act on
inline constexpr char kHiddenTime[] = "X"; // reply to kTime while the time is hidden

struct TimeReply {
    bool hidden;          // the safe will not tell how long it stays locked
    std::int32_t seconds; // seconds until it opens; 0 when hidden
};

// Reads the reply to kTime: kHiddenTime means hidden; anything else is read
// as a decimal number the way the standard text-to-integer conversion reads
// it (leading blanks, an optional sign, the digits that follow), clamped to
// the 32-bit range; text without digits counts as 0.
TimeReply ReadTimeReply(const std::string &reply);

} // namespace safecmd
