// SPDX-License-Identifier: GPL-3.0-or-later
// The window where the safe is set up and tried out: the serial port and the
// Arduino folder, lock and unlock tests, any typed command, the versions.
// Every button and every way of closing first writes the port and the
// folder as the window shows them to the settings store, so the exchange,
// which reads the port from the store, talks to the port shown.
#pragma once

#include "Dialog.h"
#include "PortChoices.h"

#include <string>
#include <vector>

class TestDlg : public dialogkit::Dialog {
public:
    explicit TestDlg(dialogkit::Dialog *parent = nullptr);
    ~TestDlg() override;

protected:
    void DoDataExchange(dialogkit::DataExchange &dx) override;
    bool OnInitDialog() override;

private:
    void SaveSettings();
    // Each item a device present names carries its description.
    void ShowPortDescriptions(const std::vector<SerialDevice> &devices);
    void SendCommand();
    void TestLock();
    void TestUnlock();
    void ShowVersion();
    void UploadBlink();
    void UploadCadrelle();
    void ViewUploadLog();
    // Puts the sketch's firmware onto the board with the uploader below the
    // Arduino folder, shows its progress until it ends or is cancelled, and
    // then says how it ended, as its log tells.
    void UploadSketch(const std::string &name);
    void SaveAndClose();
    // `success` for any intact reply but the safe's refusal, which shows
    // `refused` where one is given: a locked safe keeps its latch shut on a
    // test unlock, and saying "succeeded" then would be a lie.
    void RunTest(const char *command, const std::string &success, const std::string &refused = {});

    std::string CommandText;
    std::string ArduinoFolder;
    std::string PortText;
    const std::string WorkDir;
    const std::string LogPath;
};
