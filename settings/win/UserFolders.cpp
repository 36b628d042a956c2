// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserFolders.h"

#include "base/win/WideText.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace settings {

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

std::string ApplicationName()
{
    std::wstring name = ProgramPath();
    name = name.substr(name.find_last_of(L"\\/") + 1);
    if (const std::size_t dot = name.rfind(L'.'); dot != std::wstring::npos && dot > 0)
        name.resize(dot);
    return windows::Utf8(name);
}

std::string ProgramFolder()
{
    const std::wstring path = ProgramPath();
    const std::size_t slash = path.find_last_of(L"\\/");
    return windows::Utf8(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash));
}

std::string UserDataFolder()
{
    wchar_t *folder = nullptr;
    std::string result;
    if (SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &folder) == S_OK)
        result = windows::Utf8(folder);
    CoTaskMemFree(folder);
    return result;
}

} // namespace settings
