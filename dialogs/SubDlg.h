// SPDX-License-Identifier: GPL-3.0-or-later
// The wearer's window: sends a lock or unlock code to the safe and shows how
// long the safe stays locked, as the safe reports it.
#pragma once

#include "Dialog.h"

#include <string>

class SubDlg : public dialogkit::Dialog {
public:
    explicit SubDlg(dialogkit::Dialog *parent = nullptr);
    ~SubDlg() override;

protected:
    void DoDataExchange(dialogkit::DataExchange &dx) override;
    bool OnInitDialog() override;

private:
    void ApplyCode();
    void UpdateTime();
    // True when the safe accepted the code; shows its own message otherwise.
    bool SendCodeToSafe(const std::string &code);

    std::string CodeText;
    std::string StatusText;
};
