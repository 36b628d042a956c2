// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: a launcher for the Master, Sub and Test windows, with the
// program's version line.
#pragma once

#include "Dialog.h"

#include <string>

class CCadrelleControllerDlg : public dialogkit::Dialog {
public:
    explicit CCadrelleControllerDlg(dialogkit::Dialog *parent = nullptr);

    // "Vandrel version 1 - " and this window's build date and time.
    static std::string VersionLine();

protected:
    void DoDataExchange(dialogkit::DataExchange &dx) override;
    bool OnInitDialog() override;

private:
    void OnMaster();
    void OnSub();
    void OnTestSafe();

    std::string VersionText;
};
