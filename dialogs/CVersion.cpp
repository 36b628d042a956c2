// SPDX-License-Identifier: GPL-3.0-or-later
#include "CVersion.h"

#include "DialogTemplates.h"
#include "Resource.h"
#include "SafeCommands.h"
#include "SafeCall.h"
#include "SafeText.h"

#include <string>

CVersion::CVersion(QWidget *parent) : Dialog(res::VersionDialogTemplate(), parent) {}

CVersion::~CVersion() = default;

QString CVersion::SoftwareVersionLine()
{
    return QStringLiteral("Software version: 1 - " __DATE__ ", " __TIME__);
}

void CVersion::DoDataExchange(dialogkit::DataExchange &dx)
{
    dx.Text(res::version::SoftwareVersion, SoftwareVersion);
    dx.Text(res::version::FirmwareVersion, FirmwareVersion);
}

bool CVersion::OnInitDialog()
{
    Dialog::OnInitDialog();
    SoftwareVersion = SoftwareVersionLine();
    // The reply as the safe sent it, even when empty; only a failed exchange
    // gives "Unknown".
    std::string reply;
    if (ExchangeShowingWait(safecmd::kVersion, reply))
        FirmwareVersion = QString::fromStdString(FromSafeText(reply));
    else
        FirmwareVersion = FailureText(QStringLiteral("Unknown"), FailurePlace::OneLine);
    UpdateData(false);
    return true;
}
