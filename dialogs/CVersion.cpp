// SPDX-License-Identifier: GPL-3.0-or-later
#include "CVersion.h"

#include "DialogTemplates.h"
#include "Resource.h"
#include "SafeCommands.h"
#include "SafeCall.h"
#include "SafeText.h"

#include <string>

CVersion::CVersion(dialogkit::Dialog *parent) : Dialog(res::VersionDialogTemplate(), parent) {}

CVersion::~CVersion() = default;

std::string CVersion::SoftwareVersionLine()
{
    return "Software version: 1 - " __DATE__ ", " __TIME__;
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
        FirmwareVersion = FromSafeText(reply);
    else
        FirmwareVersion = FailureText("Unknown", FailurePlace::OneLine);
    UpdateData(false);
    return true;
}
