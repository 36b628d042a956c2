#include "KeyCodes.h"

#include "KeyCodeCore.h"

#include <chrono>
#include <cstdio>

namespace keycodes {

KeyCodes MakeKeyCodesAt(std::int64_t clockSeconds, std::int32_t seconds, int hide)
{
    const KeyCodeFields k = MakeKeyCodeFields(static_cast<std::uint32_t>(clockSeconds & 0xFFFF),
                                              seconds, static_cast<std::uint32_t>(hide));
    char lock[LockCodeLength + 1];
    char unlock[UnlockCodeLength + 1];
    std::snprintf(lock, sizeof lock, "L%04x%04x%04x%04x%04x", unsigned(k.lock[0]),
                  unsigned(k.lock[1]), unsigned(k.lock[2]), unsigned(k.lock[3]),
                  unsigned(k.lock[4]));
    std::snprintf(unlock, sizeof unlock, "U%04x%04x%04x", unsigned(k.unlock[0]),
                  unsigned(k.unlock[1]), unsigned(k.unlock[2]));
    return {lock, unlock};
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
