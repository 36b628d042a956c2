// SPDX-License-Identifier: GPL-3.0-or-later
#include "CCadrelleControllerDlg.h"

#include "CCadrelleControllerApp.h"
#include "DialogTemplates.h"
#include "MasterDlg.h"
#include "Resource.h"
#include "SubDlg.h"
#include "TestDlg.h"

using namespace res::main_window;

CCadrelleControllerDlg::CCadrelleControllerDlg(dialogkit::Dialog *parent)
    : Dialog(res::MainDialogTemplate(), parent)
{
    CCadrelleControllerApp::ShowIcon(*this);
    On(Master, [this] { OnMaster(); });
    On(Sub, [this] { OnSub(); });
    On(TestSafe, [this] { OnTestSafe(); });
}

std::string CCadrelleControllerDlg::VersionLine()
{
    // The stamp of this file's build ("Nov  8 2008", "18:17:19").
    return "Vandrel version 1 - " __DATE__ ", " __TIME__;
}

void CCadrelleControllerDlg::DoDataExchange(dialogkit::DataExchange &dx)
{
    dx.Text(res::main_window::VersionLine, VersionText);
}

bool CCadrelleControllerDlg::OnInitDialog()
{
    Dialog::OnInitDialog();
    VersionText = VersionLine();
    UpdateData(false);
    return true;
}

void CCadrelleControllerDlg::OnMaster()
{
    MasterDlg dialog(this);
    dialog.DoModal();
}

void CCadrelleControllerDlg::OnSub()
{
    SubDlg dialog(this);
    dialog.DoModal();
}

void CCadrelleControllerDlg::OnTestSafe()
{
    TestDlg dialog(this);
    dialog.DoModal();
}
