// SPDX-License-Identifier: GPL-3.0-or-later
// Lock and unlock code checks on any text, and made pairs from any clock,
// duration and hide flag, against the independent reading in RefKeyCodes.h.
//  - A text is accepted exactly when the reference accepts it, with the same
//    nonce, duration and hide value (unlock: the same `match`).
//  - A code that checks out is remade from what it decodes to, and the remade
//    code is the text's own code (case and leading zeros of a short last
//    field aside).
//  - A made pair is well formed, lowercase, checks out, gives back the
//    duration and hide flag, and its unlock code matches its nonce.
#include "FuzzCheck.h"
#include "RefKeyCodes.h"

#include "KeyCodes.h"

#include <cctype>

namespace {

// The code as the reference writes it: each field as four lowercase digits.
std::string Normalised(std::string_view text, char lead, int fieldCount)
{
    std::string out(1, lead);
    text.remove_prefix(1);
    for (int f = 0; f < fieldCount; ++f) {
        std::size_t digits = 0;
        while (digits < 4 && digits < text.size() && std::isxdigit(static_cast<unsigned char>(text[digits])))
            ++digits;
        out.append(4 - digits, '0');
        for (std::size_t i = 0; i < digits; ++i)
            out += char(std::tolower(static_cast<unsigned char>(text[i])));
        text.remove_prefix(digits);
    }
    return out;
}

bool IsLowerHex(std::string_view s)
{
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

void TypedText(const std::string &text, std::uint32_t otherNonce)
{
    // The product reads the text as the C string it hands on.
    const std::string_view asC(text.c_str());

    std::uint32_t nonce = 0xDEADBEEF, hide = 0xDEADBEEF;
    std::int32_t seconds = 0x7EADBEEF;
    const bool lockOk = keycodes::CheckLockCode(text, nonce, seconds, hide);
    const auto refLock = ref::CheckLock(asC);
    FUZZ_CHECK(lockOk == refLock.has_value(), "lock code \"%s\": product %d, reference %d",
               fuzz::Shown(text).c_str(), lockOk, refLock.has_value());
    if (lockOk) {
        FUZZ_CHECK(nonce == refLock->nonce && seconds == refLock->seconds && hide == refLock->hide,
                   "lock code \"%s\": product %x %d %x, reference %x %d %x", fuzz::Shown(text).c_str(),
                   nonce, seconds, hide, refLock->nonce, refLock->seconds, refLock->hide);
        const std::string remade = ref::LockText(nonce, seconds, hide);
        FUZZ_CHECK(remade == Normalised(asC, 'L', 5), "lock code \"%s\" remade as %s",
                   fuzz::Shown(text).c_str(), remade.c_str());
    }

    // The unlock code against a nonce from the input, and against the nonce
    // it belongs to (two steps back from its first field).
    bool match = true;
    const bool unlockOk = keycodes::CheckUnlockCode(text, otherNonce, match);
    const auto refUnlock = ref::CheckUnlock(asC, otherNonce);
    FUZZ_CHECK(unlockOk == refUnlock.has_value(), "unlock code \"%s\": product %d, reference %d",
               fuzz::Shown(text).c_str(), unlockOk, refUnlock.has_value());
    FUZZ_CHECK(match == (unlockOk && *refUnlock), "unlock code \"%s\", nonce %x: match %d",
               fuzz::Shown(text).c_str(), otherNonce, match);
    if (unlockOk) {
        const auto fields = ref::ReadFields<3>(asC, 'U');
        const std::uint32_t own = ref::StepBack(ref::StepBack((*fields)[0]));
        FUZZ_CHECK(ref::Unlock1(own) == (*fields)[0], "the reference's step back from %x", (*fields)[0]);
        const bool ownMatch = ref::Unlock2(own) == (*fields)[1];
        FUZZ_CHECK(keycodes::CheckUnlockCode(text, own, match) && match == ownMatch,
                   "unlock code \"%s\" with its own nonce %x: match %d", fuzz::Shown(text).c_str(), own, match);
        if (ownMatch) {
            const std::string remade = ref::UnlockText(own);
            FUZZ_CHECK(remade == Normalised(asC, 'U', 3), "unlock code \"%s\" remade as %s",
                       fuzz::Shown(text).c_str(), remade.c_str());
        }
    }
}

void MadePair(std::int64_t clock, std::int32_t seconds, int hide)
{
    const keycodes::KeyCodes made = keycodes::MakeKeyCodesAt(clock, seconds, hide);
    const std::uint32_t refNonce = ref::Nonce(std::uint64_t(clock));
    FUZZ_CHECK(made.lockCode == ref::LockText(refNonce, seconds, std::uint32_t(hide)),
               "clock %lld, %d s, hide %d: lock code %s", (long long)clock, seconds, hide, made.lockCode.c_str());
    FUZZ_CHECK(made.unlockCode == ref::UnlockText(refNonce), "clock %lld: unlock code %s", (long long)clock,
               made.unlockCode.c_str());
    FUZZ_CHECK(made.lockCode.size() == 21 && made.lockCode[0] == 'L' &&
                   IsLowerHex(std::string_view(made.lockCode).substr(1)),
               "lock code %s", made.lockCode.c_str());
    FUZZ_CHECK(made.unlockCode.size() == 13 && made.unlockCode[0] == 'U' &&
                   IsLowerHex(std::string_view(made.unlockCode).substr(1)),
               "unlock code %s", made.unlockCode.c_str());

    std::uint32_t nonce = 0, gotHide = 0;
    std::int32_t gotSeconds = 0;
    FUZZ_CHECK(keycodes::CheckLockCode(made.lockCode, nonce, gotSeconds, gotHide) && gotSeconds == seconds &&
                   (gotHide & 1u) == std::uint32_t(hide),
               "made lock code %s for %d s, hide %d: read %d s, hide %u", made.lockCode.c_str(), seconds, hide,
               gotSeconds, gotHide);
    bool match = false;
    FUZZ_CHECK(keycodes::CheckUnlockCode(made.unlockCode, nonce, match) && match,
               "made unlock code %s does not open lock code %s", made.unlockCode.c_str(), made.lockCode.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Input in(data, size);
    const std::string whole(reinterpret_cast<const char *>(data), size);

    // The whole input as a typed code.
    const std::uint32_t otherNonce = std::uint32_t(size * 2654435761u) & 0xFFFF;
    TypedText(whole, otherNonce);

    // Its first bytes as a clock, a duration and a hide flag.
    const std::int64_t clock = std::int64_t(in.u64());
    const std::int32_t seconds = std::int32_t(in.u32());
    const int hide = in.byte() & 1;
    MadePair(clock, seconds, hide);
    return 0;
}
