// SPDX-License-Identifier: GPL-3.0-or-later
// The window where the safe is set up and tried out: the serial port and the
// Arduino folder, lock and unlock tests, any typed command, the versions.
// Every button and every way of closing first writes the port and the
// folder as the window shows them to the settings store, so the exchange,
// which reads the port from the store, talks to the port shown.
#pragma once

#include "Dialog.h"
#include "PortChoices.h"

#include <QString>

#include <vector>

class QComboBox;

class TestDlg : public dialogkit::Dialog {
    Q_OBJECT

public:
    explicit TestDlg(QWidget *parent = nullptr);
    ~TestDlg() override;

protected:
    void DoDataExchange(dialogkit::DataExchange &dx) override;
    bool OnInitDialog() override;

private:
    void SaveSettings();
    void ShowPortDescriptions(const std::vector<PortChoice> &ports);
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
    void UploadSketch(const QString &name);
    // On first need, with the folder shown being the default one: makes that
    // folder a tree of links to the system's uploader, and links the sketch's
    // firmware, installed with the program, into the working folder. What is
    // already there, and a folder of the user's choice, stay as they are.
    void PrepareDefaultTools(const QString &name);
    void SaveAndClose();
    // `success` for any intact reply but the safe's refusal, which shows
    // `refused` where one is given: a locked safe keeps its latch shut on a
    // test unlock, and saying "succeeded" then would be a lie.
    void RunTest(const char *command, const QString &success, const QString &refused = {});

    QString CommandText;
    QString ArduinoFolder;
    QComboBox *PortList = nullptr;
    QString PortText;
    const QString WorkDir;
    const QString LogPath;
};
