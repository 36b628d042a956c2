// SPDX-License-Identifier: GPL-3.0-or-later
// A second, independent reading of the key-code rules, for the fuzz targets
// to hold the product's code against. Written from the rules, not from the
// product's code: the register is stepped by the parity of its tap bits, the
// fields are read with std::from_chars, the codes are written with snprintf.
#pragma once

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace ref {

// Taps 16, 14, 13, 11 of a right-shifting register are bits 0, 2, 3 and 5.
constexpr std::uint32_t kTapBits = 0x2D;
constexpr std::uint32_t kDurationMask = 0x5D3A71C6u;

inline std::uint32_t Step(std::uint32_t s)
{
    const std::uint32_t feedback = std::uint32_t(__builtin_parity(s & kTapBits));
    return ((s & 0xFFFFu) >> 1) | feedback << 15;
}

// The state one step before `s`.
inline std::uint32_t StepBack(std::uint32_t s)
{
    const std::uint32_t low15 = (s << 1) & 0xFFFEu;        // bits 1..15 of the old state
    const std::uint32_t feedback = s >> 15 & 1u;           // was bit0 ^ bit2 ^ bit3 ^ bit5
    const std::uint32_t bit0 = feedback ^ std::uint32_t(__builtin_parity(low15 & (kTapBits & ~1u)));
    return low15 | bit0;
}

inline std::uint32_t Steps(std::uint32_t s, int n)
{
    s &= 0xFFFFu;
    for (int i = 0; i < n; ++i)
        s = Step(s);
    return s;
}

inline std::uint32_t Mix(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    return Steps(a ^ b ^ c ^ d, 1);
}

inline std::uint32_t Nonce(std::uint64_t clockSeconds) { return Steps(std::uint32_t(clockSeconds & 0xFFFF), 18); }
inline std::uint32_t Unlock1(std::uint32_t nonce) { return Steps(nonce, 2); }
inline std::uint32_t Unlock2(std::uint32_t nonce) { return Steps(nonce, 3); }

// `lead` and then `count` hex numbers of one to four digits, either case;
// anything after the last number is ignored.
template <int count>
std::optional<std::array<std::uint32_t, count>> ReadFields(std::string_view text, char lead)
{
    if (text.empty() || text[0] != lead)
        return std::nullopt;
    text.remove_prefix(1);
    std::array<std::uint32_t, count> fields{};
    for (std::uint32_t &field : fields) {
        const std::string_view window = text.substr(0, 4);
        const auto [end, error] = std::from_chars(window.data(), window.data() + window.size(), field, 16);
        if (error != std::errc() || end == window.data())
            return std::nullopt;
        text.remove_prefix(std::size_t(end - window.data()));
    }
    return fields;
}

struct Lock {
    std::uint32_t nonce;
    std::int32_t seconds;
    std::uint32_t hide;
};

inline std::optional<Lock> CheckLock(std::string_view text)
{
    const auto f = ReadFields<5>(text, 'L');
    if (!f || (*f)[4] != Mix((*f)[0], (*f)[1], (*f)[2], (*f)[3]))
        return std::nullopt;
    const std::uint32_t d = ((*f)[1] << 16 | (*f)[2]) ^ ((*f)[0] << 16 | (*f)[0]) ^ kDurationMask;
    return Lock{(*f)[0], std::int32_t(d), (*f)[3] ^ (*f)[0]}; // C++20: modular conversion
}

// Well formed: the optional holds whether it belongs to `nonce`.
inline std::optional<bool> CheckUnlock(std::string_view text, std::uint32_t nonce)
{
    const auto f = ReadFields<3>(text, 'U');
    if (!f || (*f)[2] != Mix((*f)[0], (*f)[1], 0, 0))
        return std::nullopt;
    return (*f)[0] == Unlock1(nonce) && (*f)[1] == Unlock2(nonce);
}

inline std::string LockText(std::uint32_t nonce, std::int32_t seconds, std::uint32_t hide)
{
    const std::uint32_t d = (nonce << 16 | nonce) ^ std::uint32_t(seconds) ^ kDurationMask;
    const std::uint32_t f1 = d >> 16, f2 = d & 0xFFFF, f3 = (hide ^ nonce) & 0xFFFF;
    char text[32];
    std::snprintf(text, sizeof text, "L%04x%04x%04x%04x%04x", unsigned(nonce), unsigned(f1),
                  unsigned(f2), unsigned(f3), unsigned(Mix(nonce, f1, f2, f3)));
    return text;
}

inline std::string UnlockText(std::uint32_t nonce)
{
    const std::uint32_t u1 = Unlock1(nonce), u2 = Unlock2(nonce);
    char text[32];
    std::snprintf(text, sizeof text, "U%04x%04x%04x", unsigned(u1), unsigned(u2), unsigned(Mix(u1, u2, 0, 0)));
    return text;
}

} // namespace ref
