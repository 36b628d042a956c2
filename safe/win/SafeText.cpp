// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafeText.h"

#include <windows.h>

namespace {

// The whole text, NULs included, from one code page to another via UTF-16.
std::string Convert(const std::string &text, UINT from, UINT to)
{
    if (text.empty())
        return {};
    const int wide = MultiByteToWideChar(from, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring utf16(std::size_t(wide), L'\0');
    MultiByteToWideChar(from, 0, text.data(), int(text.size()), utf16.data(), wide);
    const int n = WideCharToMultiByte(to, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string result(std::size_t(n), '\0');
    WideCharToMultiByte(to, 0, utf16.data(), wide, result.data(), n, nullptr, nullptr);
    return result;
}

} // namespace

std::string ToSafeText(const std::string &text)
{
    return Convert(text, CP_UTF8, CP_ACP);
}

std::string FromSafeText(const std::string &bytes)
{
    return Convert(bytes, CP_ACP, CP_UTF8);
}
