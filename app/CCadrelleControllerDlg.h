// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: a launcher for the Master, Sub and Test windows, with the
// program's version line.
#pragma once

#include "Dialog.h"

#include <QString>

class CCadrelleControllerDlg : public dialogkit::Dialog {
    Q_OBJECT

public:
    explicit CCadrelleControllerDlg(QWidget *parent = nullptr);

    // "Vandrel version 1 - " and this window's build date and time.
    static QString VersionLine();

protected:
    void DoDataExchange(dialogkit::DataExchange &dx) override;
    bool OnInitDialog() override;

private:
    void OnMaster();
    void OnSub();
    void OnTestSafe();

    QString VersionText;
};
