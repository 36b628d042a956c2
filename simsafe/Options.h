// SPDX-License-Identifier: GPL-3.0-or-later
// Command line of the simulated safe.
#pragma once

#include "ReplyShape.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simsafe {

struct StartLock {
    std::int32_t seconds = 0; // 0: until the unlock code
    bool hidden = false;
    std::uint32_t nonce = 0;
};

struct Options {
    std::string linkPath;                   // --link
    std::vector<Misbehaviour> misbehaviour; // --misbehave, one per reply, the last one stays
    std::chrono::milliseconds gap{100};     // --gap
    std::optional<std::string> fixedReply;  // --reply
    std::optional<StartLock> startLock;     // --locked, --hidden, --nonce
    std::string stateFile;                  // --state-file
    bool keepUnread = false;                // --keep-unread
    bool goOnSending = false;               // --go-on-sending
    bool verbose = false;                   // --verbose
    bool help = false;                      // --help
};

// False with a message when the arguments cannot be used.
bool ParseOptions(const std::vector<std::string_view> &args, Options &options, std::string &error);

// Appends the modes of a comma-separated list ("junk,ok"); false on an unknown name.
bool ParseMisbehaviourList(std::string_view list, std::vector<Misbehaviour> &modes,
                           std::string &error);

// A count of milliseconds for --gap: 0 to 60000.
bool ParseGap(std::string_view text, std::chrono::milliseconds &gap);

std::string UsageText();

} // namespace simsafe
