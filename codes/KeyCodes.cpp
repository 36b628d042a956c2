// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyCodes.h"

#include "KeyCodeCore.h"

#include <chrono>

namespace keycodes {

namespace {

// Four lowercase digits, zero-padded, as "%04x" writes a 16-bit field. Written
// out by hand: gcc cannot see that the fields are 16 bits and warns that
// snprintf might truncate.
void AppendField(std::string &text, std::uint32_t field)
{
    static const char digits[] = "0123456789abcdef";
    for (int shift = 12; shift >= 0; shift -= 4)
        text += digits[(field >> shift) & 0xFu];
}

} // namespace

KeyCodes MakeKeyCodesAt(std::int64_t clockSeconds, std::int32_t seconds, int hide)
{
    const KeyCodeFields k = MakeKeyCodeFields(static_cast<std::uint32_t>(clockSeconds & 0xFFFF),
                                              seconds, static_cast<std::uint32_t>(hide));
    KeyCodes codes;
    codes.lockCode.reserve(LockCodeLength);
    codes.lockCode += 'L';
    for (std::uint32_t field : k.lock)
        AppendField(codes.lockCode, field);
    codes.unlockCode.reserve(UnlockCodeLength);
    codes.unlockCode += 'U';
    for (std::uint32_t field : k.unlock)
        AppendField(codes.unlockCode, field);
    return codes;
}

KeyCodes MakeKeyCodes(std::int32_t seconds, int hide)
{
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return MakeKeyCodesAt(now.count(), seconds, hide);
}

bool CheckLockCode(const std::string &text, std::uint32_t &nonce, std::int32_t &seconds,
                   std::uint32_t &hide)
{
    LockCodeContent content;
    if (!keycodes::CheckLockCode(text.c_str(), &content))
        return false;
    nonce = content.nonce;
    seconds = content.seconds;
    hide = content.hide;
    return true;
}

bool CheckUnlockCode(const std::string &text, std::uint32_t nonce, bool &match)
{
    return keycodes::CheckUnlockCode(text.c_str(), nonce, &match);
}

} // namespace keycodes
