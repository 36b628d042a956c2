// SPDX-License-Identifier: GPL-3.0-or-later
// The program's build and the firmware's version, side by side. The safe is
// asked once, while the window is prepared.
#pragma once

#include "Dialog.h"

#include <string>

class CVersion : public dialogkit::Dialog {
public:
    explicit CVersion(dialogkit::Dialog *parent = nullptr);
    ~CVersion() override;

    // "Software version: 1 - " and this file's build stamp ("Nov  8 2008, 18:17:18").
    static std::string SoftwareVersionLine();

protected:
    void DoDataExchange(dialogkit::DataExchange &dx) override;
    bool OnInitDialog() override;

private:
    std::string SoftwareVersion;
    std::string FirmwareVersion;
};
