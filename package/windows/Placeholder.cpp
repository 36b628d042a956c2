// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in the installer for CadrelleController.exe while the Windows build
// has no windows of its own yet: it says so and ends.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    MessageBoxW(nullptr, L"This build of Vandrel for Windows has no windows yet.", L"CadrelleController", MB_OK);
    return 0;
}
