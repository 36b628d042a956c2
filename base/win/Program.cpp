// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Program.h"

#include "WideText.h"

#include <windows.h>

#include <vector>

namespace program {

namespace {

// This program's executable, however long its path.
std::wstring ProgramPath()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0)
            return {};
        if (n < path.size())
            return std::wstring(path.data(), n);
        path.resize(path.size() * 2);
    }
}

} // namespace

std::string Name()
{
    std::wstring name = ProgramPath();
    name = name.substr(name.find_last_of(L"\\/") + 1);
    if (const std::size_t dot = name.rfind(L'.'); dot != std::wstring::npos && dot > 0)
        name.resize(dot);
    return windows::Utf8(name);
}

std::string Folder()
{
    const std::wstring path = ProgramPath();
    const std::size_t slash = path.find_last_of(L"\\/");
    return windows::Utf8(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash));
}

} // namespace program
