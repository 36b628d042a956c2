// SPDX-License-Identifier: GPL-3.0-or-later
#include "DefaultTools.h"

#include "UploaderWords.h"
#include "base/Program.h"
#include "base/Paths.h"
#include "base/win/WideText.h"

#include <windows.h>

namespace upload {

// The installer puts the firmware into firmware\ beside the program; the
// uploader reads it from the working folder. The default Arduino folder, with
// avrdude.exe and its configuration, is installed beside the program too, and
// is used where it lies: nothing to prepare for it.
void PrepareDefaultTools(const std::string &sketch, const std::string &, const std::string &workDir)
{
    const std::string programFolder = program::Folder();
    if (programFolder.empty() || workDir.empty())
        return;
    const std::string file = FirmwareFileName(sketch);
    const std::wstring installed = windows::Utf16(paths::Join(paths::Join(programFolder, "firmware"), file));
    const std::wstring target = windows::Utf16(paths::Join(workDir, file));
    if (GetFileAttributesW(installed.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    // The working folder's parent (%LOCALAPPDATA%) is the user's own and
    // exists.
    CreateDirectoryW(windows::Utf16(workDir).c_str(), nullptr);
    // Never over a file of that name: the user may have put a firmware of
    // their own there.
    CopyFileW(installed.c_str(), target.c_str(), TRUE);
}

} // namespace upload
