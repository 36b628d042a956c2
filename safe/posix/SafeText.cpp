// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafeText.h"

// The local encoding is UTF-8: the bytes go as they are. Bytes from the safe
// that are not UTF-8 are shown as U+FFFD by the window that reads them.
std::string ToSafeText(const std::string &text)
{
    return text;
}

std::string FromSafeText(const std::string &bytes)
{
    return bytes;
}
