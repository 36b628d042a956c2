// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploadLogViewer.h"

#include "base/Files.h"
#include "base/win/WideText.h"

#include <windows.h>
#include <shellapi.h>

namespace upload {

bool OpenUploadLog(const std::string& logPath)
{
    if (!files::Exists(logPath))
        return false;
    // The file type's default action; ShellExecuteW reports success with a
    // value above 32.
    const HINSTANCE done =
        ShellExecuteW(nullptr, nullptr, windows::Utf16(logPath).c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<INT_PTR>(done) > 32;
}

} // namespace upload
