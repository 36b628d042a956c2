// SPDX-License-Identifier: GPL-3.0-or-later
// Lock and unlock codes as texts: making a pair and checking typed codes.
#pragma once

#include <cstdint>
#include <string>

namespace keycodes {

struct KeyCodes {
    std::string lockCode;   // "L" and 20 lowercase hex digits
    std::string unlockCode; // "U" and 12 lowercase hex digits
};

// Makes a pair from the calendar clock (seconds since 1970, low 16 bits).
KeyCodes MakeKeyCodes(std::int32_t seconds, int hide);

// The same, from a given clock reading.
KeyCodes MakeKeyCodesAt(std::int64_t clockSeconds, std::int32_t seconds, int hide);

// On true, gives the nonce, the duration in seconds and the hide value
// (bit 0 set: the time is hidden).
bool CheckLockCode(const std::string &text, std::uint32_t &nonce, std::int32_t &seconds,
                   std::uint32_t &hide);

// On true, `match` tells whether the code belongs to a lock code with this nonce.
bool CheckUnlockCode(const std::string &text, std::uint32_t nonce, bool &match);

} // namespace keycodes
