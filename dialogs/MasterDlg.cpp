// SPDX-License-Identifier: GPL-3.0-or-later
#include "MasterDlg.h"

#include "DialogTemplates.h"
#include "KeyCodes.h"
#include "MessageBox.h"
#include "Resource.h"

#include <cstdlib>
#include <ctime>
#include <string>

using dialogkit::ShowMessage;
using namespace res::master;

namespace {
const char kClickGenerate[] = "Click 'Generate key code'";

// Sums in 32 bits that wrap instead of overflowing, as the key-holder's
// durations are not range-checked.
std::int32_t WrappingDuration(std::int32_t days, std::int32_t hours, std::int32_t minutes,
                              std::int32_t seconds)
{
    const std::uint32_t total = std::uint32_t(days) * 86400u + std::uint32_t(hours) * 3600u +
                                std::uint32_t(minutes) * 60u + std::uint32_t(seconds);
    return static_cast<std::int32_t>(total);
}
} // namespace

MasterDlg::MasterDlg(dialogkit::Dialog *parent) : Dialog(res::MasterDialogTemplate(), parent)
{
    // BULK draws its durations from the process-wide generator.
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    On(LockUntilUnlocked, [this] { UpdateDurationFields(); });
    On(LockForTime, [this] { UpdateDurationFields(); });
    On(GenerateKeyCode, [this] { GenerateCodes(); });
    On(TestButton, [this] { TestCodes(); });
    On(BulkButton, [this] { BulkTest(); });
}

MasterDlg::~MasterDlg() = default;

void MasterDlg::DoDataExchange(dialogkit::DataExchange &dx)
{
    dx.Text(LockCode, LockCodeText);
    dx.Text(UnlockCode, UnlockCodeText);
    dx.Int(res::master::Days, Days);
    dx.Int(res::master::Hours, Hours);
    dx.Int(res::master::Minutes, Minutes);
    dx.Int(res::master::Seconds, Seconds);
    dx.Radio(LockUntilUnlocked, LockMode);
    dx.Check(HideTime, HideFlag);
}

bool MasterDlg::OnInitDialog()
{
    Dialog::OnInitDialog();
    LockCodeText = kClickGenerate;
    UnlockCodeText = kClickGenerate;
    UpdateData(false);
    UpdateDurationFields();
    // The radio group comes first in the Tab order, yet the key-holder's
    // first step is "Generate key code".
    FocusItem(GenerateKeyCode);
    return false;
}

void MasterDlg::UpdateDurationFields()
{
    UpdateData(true);
    const bool timed = LockMode == 1;
    EnableItem(res::master::Days, timed);
    EnableItem(res::master::Hours, timed);
    EnableItem(res::master::Minutes, timed);
    EnableItem(res::master::Seconds, timed);
    UpdateData(false);
}

void MasterDlg::GenerateCodes()
{
    UpdateData(true);
    const std::int32_t duration = LockMode == 1 ? WrappingDuration(Days, Hours, Minutes, Seconds) : 0;
    const int hide = HideFlag != 0 ? 1 : 0;
    const keycodes::KeyCodes codes = MakePair(duration, hide);
    LockCodeText = codes.lockCode;
    UnlockCodeText = codes.unlockCode;
    UpdateData(false);
}

keycodes::KeyCodes MasterDlg::MakePair(std::int32_t seconds, int hide)
{
    return keycodes::MakeKeyCodes(seconds, hide);
}

bool MasterDlg::CheckShownPair()
{
    UpdateData(true);
    std::uint32_t nonce = 0;
    std::uint32_t hide = 0;
    std::int32_t seconds = 0;
    if (!keycodes::CheckLockCode(LockCodeText, nonce, seconds, hide)) {
        ShowMessage(*this, "Lock code failed");
        return false;
    }
    bool match = false;
    if (!keycodes::CheckUnlockCode(UnlockCodeText, nonce, match)) {
        ShowMessage(*this, "Unlock code failed");
        return false;
    }
    if (!match) {
        ShowMessage(*this, "Unlock code did not match lock code");
        return false;
    }
    UpdateData(false);
    return true;
}

void MasterDlg::TestCodes()
{
    CheckShownPair();
}

void MasterDlg::BulkTest()
{
    int failed = 0;
    for (int pass = 0; pass < kBulkPasses; ++pass) {
        Days = std::rand() % 1000;
        Hours = std::rand() % 1000;
        Minutes = std::rand() % 1000;
        Seconds = std::rand() % 1000;
        UpdateData(false);
        GenerateCodes();
        if (!CheckShownPair())
            ++failed;
    }
    // Success is claimed only when every pass checked out.
    if (failed == 0)
        ShowMessage(*this, "All good out of " + std::to_string(kBulkPasses));
    else
        ShowMessage(*this, std::to_string(failed) + " failed out of " + std::to_string(kBulkPasses));
}
