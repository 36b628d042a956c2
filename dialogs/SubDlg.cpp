// SPDX-License-Identifier: GPL-3.0-or-later
#include "SubDlg.h"

#include "DialogTemplates.h"
#include "KeyCodes.h"
#include "MessageBox.h"
#include "RemainingTime.h"
#include "Resource.h"
#include "SafeCommands.h"
#include "SafeCall.h"
#include "SafeText.h"

#include <cstdint>
#include <string>

using dialogkit::ShowMessage;
using namespace res::sub;

namespace {

const char kNoConnection[] = "Problem connecting to safe!";

// A full stop ends a copy of a command on the wire, so a code followed by
// ".Y" would reach the safe as more than one command. The check of a code
// ignores what follows it; the framing does not. Checked on the bytes to be
// sent, since an encoder may turn another character into a full stop (the
// Windows code pages map the full-width full stop to ".").
bool FitsOneFrame(const std::string &code)
{
    return code.find('.') == std::string::npos;
}

} // namespace

SubDlg::SubDlg(dialogkit::Dialog *parent)
    : Dialog(res::SubDialogTemplate(), parent), StatusText("Please wait...")
{
    On(res::sub::ApplyCode, [this] { ApplyCode(); });
    On(res::sub::UpdateTime, [this] { UpdateTime(); });
}

SubDlg::~SubDlg() = default;

void SubDlg::DoDataExchange(dialogkit::DataExchange &dx)
{
    dx.Text(Code, CodeText);
    dx.Text(Status, StatusText);
}

bool SubDlg::OnInitDialog()
{
    Dialog::OnInitDialog();
    UpdateData(false);
    // Blocks until the safe has answered or the exchange has given up, so
    // the window is first shown with the answer in its status line.
    UpdateTime();
    return true;
}

void SubDlg::ApplyCode()
{
    UpdateData(true);
    const std::string code = ToSafeText(CodeText);
    const char first = code.empty() ? '\0' : code.front();

    if (first == 'L') {
        std::uint32_t nonce = 0;
        std::uint32_t hide = 0;
        std::int32_t seconds = 0;
        if (!FitsOneFrame(code) || !keycodes::CheckLockCode(code, nonce, seconds, hide)) {
            ShowMessage(*this, "Lock code not the right format");
        } else {
            ShowMessage(*this, "Lock code GOOD, sending to safe");
            if (SendCodeToSafe(code)) {
                if (seconds == 0)
                    ShowMessage(*this, "Safe locked until unlock code used");
                else if (hide & 1u)
                    ShowMessage(*this, safetime::kHiddenTimeStatus);
                else
                    ShowMessage(*this, "Safe locked for " + std::to_string(seconds) + " seconds");
            }
        }
    } else if (first == 'U') {
        // Only the form and check word count here; whether the code belongs
        // to the lock in force is the safe's decision.
        bool match = false;
        if (!FitsOneFrame(code) || !keycodes::CheckUnlockCode(code, 0, match)) {
            ShowMessage(*this, "Unlock code not the right format");
        } else {
            ShowMessage(*this, "Unlock code GOOD, sending to safe");
            if (SendCodeToSafe(code))
                ShowMessage(*this, "Safe unlocked");
        }
    } else {
        ShowMessage(*this, "Bad format");
    }

    UpdateData(false);
    UpdateTime();
}

bool SubDlg::SendCodeToSafe(const std::string &code)
{
    std::string reply;
    if (!ExchangeShowingWait(code, reply)) {
        ShowMessage(*this, FailureText(kNoConnection, FailurePlace::MessageBox));
        return false;
    }
    if (reply == safecmd::kAccepted)
        return true;
    ShowMessage(*this, "Safe REFUSED use of code");
    return false;
}

void SubDlg::UpdateTime()
{
    UpdateData(true);
    std::string reply;
    if (ExchangeShowingWait(safecmd::kTime, reply))
        StatusText = safetime::TimeReplyStatus(reply);
    else
        StatusText = FailureText(kNoConnection, FailurePlace::StatusLines);
    UpdateData(false);
}
