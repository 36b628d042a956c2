// SPDX-License-Identifier: GPL-3.0-or-later
// The key-holder's window: chooses how the safe locks and makes a lock code
// with its unlock code.
#pragma once

#include "Dialog.h"

#include "KeyCodes.h"

#include <cstdint>
#include <string>

class MasterDlg : public dialogkit::Dialog {
public:
    explicit MasterDlg(dialogkit::Dialog *parent = nullptr);
    ~MasterDlg() override;

    static constexpr int kBulkPasses = 1000;

protected:
    void DoDataExchange(dialogkit::DataExchange &dx) override;
    bool OnInitDialog() override;
    // Makes the pair that "Generate key code" shows.
    virtual keycodes::KeyCodes MakePair(std::int32_t seconds, int hide);

private:
    void UpdateDurationFields();
    void GenerateCodes();
    void TestCodes();
    void BulkTest();
    // The checks of TestCodes; false when a message was shown.
    bool CheckShownPair();

    std::string LockCodeText;
    std::string UnlockCodeText;
    std::int32_t Days = 0;
    std::int32_t Hours = 0;
    std::int32_t Minutes = 0;
    std::int32_t Seconds = 0;
    int LockMode = 0; // 0: until unlocked, 1: for the time in the boxes, -1: neither
    int HideFlag = 0;
};
