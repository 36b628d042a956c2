// SPDX-License-Identifier: GPL-3.0-or-later
// Key-code arithmetic shared by the controller and the safe's firmware.
//
// This header is the one definition of how lock and unlock codes are built and
// read. It is written in the C++11 subset that avr-g++ accepts: no heap, no
// exceptions, no standard library beyond <stdint.h>, so the board and the
// simulated safe check codes with exactly the rules the controller uses.
#ifndef VANDREL_CODES_KEYCODECORE_H
#define VANDREL_CODES_KEYCODECORE_H

#include <stdint.h>

namespace keycodes {

// Hides the duration inside a lock code. The firmware must hold the same value.
const uint32_t DurationMask = 0x5D3A71C6UL;

const int LockCodeLength = 21;   // "L" and five fields of four hex digits
const int UnlockCodeLength = 13; // "U" and three fields of four hex digits

inline uint32_t Join16(uint32_t hi, uint32_t lo) { return (hi << 16) + lo; }
inline uint32_t Hi16(uint32_t v) { return (v >> 16) & 0xFFFFUL; }
inline uint32_t Lo16(uint32_t v) { return v & 0xFFFFUL; }

// 16-bit Fibonacci register, taps 16, 14, 13 and 11: every non-zero state lies
// on one cycle of length 65535 and 0 maps to itself.
class Lfsr16 {
public:
    uint32_t state;

    Lfsr16() : state(0) {}

    uint32_t Step()
    {
        const uint32_t feedback = (state ^ (state >> 2) ^ (state >> 3) ^ (state >> 5)) & 1UL;
        state = (state >> 1) | (feedback << 15);
        return state;
    }

    void SetState(uint32_t v) { state = v & 0xFFFFUL; }

    uint32_t WarmUp()
    {
        for (int i = 0; i < 18; ++i)
            Step();
        return state;
    }

    uint32_t Mix(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
    {
        SetState(a ^ b ^ c ^ d);
        return Step();
    }

    // Advance(v, 1) is two steps from v, Advance(v, 2) three.
    uint32_t Advance(uint32_t v, int n)
    {
        SetState(v);
        for (int i = 0; i < n + 1; ++i)
            Step();
        return state;
    }
};

inline uint32_t Mix(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    Lfsr16 r;
    return r.Mix(a, b, c, d);
}

inline uint32_t Advance(uint32_t v, int n)
{
    Lfsr16 r;
    return r.Advance(v, n);
}

inline int HexDigitValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// Reads `lead` followed by `count` hexadecimal numbers of one to four digits
// each (either case), as "L%04x%04x..." reads a typed code. Characters after
// the last number are ignored. Returns false when fewer numbers can be read.
inline bool ReadHexFields(const char *text, char lead, uint32_t *fields, int count)
{
    if (text == 0 || *text != lead)
        return false;
    ++text;
    for (int f = 0; f < count; ++f) {
        uint32_t value = 0;
        int digits = 0;
        for (; digits < 4; ++digits) {
            const int d = HexDigitValue(text[digits]);
            if (d < 0)
                break;
            value = (value << 4) | static_cast<uint32_t>(d);
        }
        if (digits == 0)
            return false;
        fields[f] = value;
        text += digits;
    }
    return true;
}

// Decoded content of a well-formed lock code.
struct LockCodeContent {
    uint32_t nonce;
    int32_t seconds;
    uint32_t hide; // bit 0 set: the time is hidden from the wearer
};

inline bool CheckLockCode(const char *text, LockCodeContent *out)
{
    uint32_t f[5];
    if (!ReadHexFields(text, 'L', f, 5))
        return false;
    if (f[4] != Mix(f[0], f[1], f[2], f[3]))
        return false;
    const uint32_t raw = Join16(f[1], f[2]) ^ Join16(f[0], f[0]) ^ DurationMask;
    out->nonce = f[0];
    // Two's complement reinterpretation; the unsigned-to-signed conversion
    // is avoided so that the result does not depend on the compiler.
    out->seconds = (raw & 0x80000000UL) ? -static_cast<int32_t>(~raw) - 1
                                        : static_cast<int32_t>(raw);
    out->hide = f[3] ^ f[0];
    return true;
}

// True when the text is a well-formed unlock code; *match tells whether it
// belongs to a lock code whose nonce is `nonce` (false whenever the result is).
inline bool CheckUnlockCode(const char *text, uint32_t nonce, bool *match)
{
    *match = false;
    uint32_t f[3];
    if (!ReadHexFields(text, 'U', f, 3))
        return false;
    if (f[2] != Mix(f[0], f[1], 0, 0))
        return false;
    *match = Advance(nonce, 1) == f[0] && Advance(nonce, 2) == f[1];
    return true;
}

// Fields of a lock code and its unlock code for a given clock reading.
struct KeyCodeFields {
    uint32_t lock[5];
    uint32_t unlock[3];
};

inline KeyCodeFields MakeKeyCodeFields(uint32_t clockLow, int32_t seconds, uint32_t hide)
{
    KeyCodeFields k;
    Lfsr16 r;
    r.SetState(clockLow);
    const uint32_t c = r.WarmUp();
    const uint32_t d = Join16(c, c) ^ static_cast<uint32_t>(seconds) ^ DurationMask;
    k.lock[0] = c;
    k.lock[1] = Hi16(d);
    k.lock[2] = Lo16(d);
    k.lock[3] = (hide ^ c) & 0xFFFFUL;
    k.lock[4] = Mix(k.lock[0], k.lock[1], k.lock[2], k.lock[3]);
    k.unlock[0] = Advance(c, 1);
    k.unlock[1] = Advance(c, 2);
    k.unlock[2] = Mix(k.unlock[0], k.unlock[1], 0, 0);
    return k;
}

} // namespace keycodes

#endif
