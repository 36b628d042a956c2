// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserFolders.h"

#include "base/win/WideText.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace settings {

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
