// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Files.h"

#include "WideText.h"

#include <windows.h>

#include <algorithm>

namespace files {

bool Exists(const std::string &path)
{
    return !path.empty() && GetFileAttributesW(windows::Utf16(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadFrom(const std::string &path, std::size_t offset, std::size_t limit, std::string &bytes)
{
    // Shared in every way: the uploader holds the log open for writing.
    const HANDLE file = CreateFileW(windows::Utf16(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) {
        char buffer[4096];
        DWORD got = 0;
        while (limit > 0 && ReadFile(file, buffer, DWORD(std::min(sizeof buffer, limit)), &got, nullptr) &&
               got > 0) {
            bytes.append(buffer, got);
            limit -= got;
        }
    }
    CloseHandle(file);
    return true;
}

} // namespace files
