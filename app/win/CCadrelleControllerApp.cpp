// SPDX-License-Identifier: GPL-3.0-or-later
#include "CCadrelleControllerApp.h"

#include "CCadrelleControllerDlg.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

int CCadrelleControllerApp::Run(int, char **)
{
    // Size 8, classes 0xFF: all the standard common control classes.
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    // For the shell (opening the upload log) and for the names the windows
    // give their boxes for screen readers.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    NameApplication();
    {
        CCadrelleControllerDlg dialog;
        dialog.DoModal();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

// settings::ApplicationName reads the executable's own name each time.
void CCadrelleControllerApp::NameApplication() {}

// The dialog layer gives every window shown in the task bar the icon
// resource 128, once the window exists.
void CCadrelleControllerApp::ShowIcon(dialogkit::Dialog &) {}
