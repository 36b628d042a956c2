// SPDX-License-Identifier: GPL-3.0-or-later
// The Test window's uploads, driven headless: a stand-in uploader (the
// upload tests' own program, tests/upload/StandInUploader.cpp) takes avrdude's
// place in a temporary Arduino folder whose name holds spaces. How the
// launcher starts it (words, folder, streams, log, failures) is the upload
// tests' business; here, what the window adds: it stores the typed folder and
// the chosen port first, uploads with them, does not wait, and shows the
// launcher's report.
#include "MessageBox.h"
#include "Resource.h"
#include "Settings.h"
#include "StandInRecords.h"
#include "TestDlg.h"
#include "UploadTestSupport.h"
#include "WindowTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace res::test;
using uitest::Click;
using uitest::OnNextModal;
using uitest::PressKey;
using uitest::TypeInto;
using uploadtest::ReadFile;
using uploadtest::SplitWords;
using uploadtest::WaitForFile;
using uploadtest::WriteFile;

namespace {

class UploadWindow : public ::testing::Test, public uploadtest::StandInRecords {
public:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        arduino = home.path() + QStringLiteral("/Arduino 0012 X");
        uploader = arduino + QStringLiteral("/hardware/tools/avr/bin/avrdude");
        ASSERT_TRUE(QDir().mkpath(QFileInfo(uploader).path()));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VANDREL_STANDIN), uploader));
        ASSERT_TRUE(WriteFile(QString::fromStdString(settings::WorkDir()) + QStringLiteral("/Blink.hex"), ":00000001FF\n"));
        ASSERT_TRUE(WriteFile(QString::fromStdString(settings::WorkDir()) + QStringLiteral("/Cadrelle.hex"), ":00000001FF\n"));
        ASSERT_NO_FATAL_FAILURE(SetUpStandIn(home.path()));
    }

    void TearDown() override { TearDownStandIn(); }

    testsupport::TempSettingsHome home;
    dialogkit::MessageRecorder messages;
    QString arduino, uploader;
};

TEST_F(UploadWindow, EachButtonStoresTheFolderAndPortShownThenWorksWithThem)
{
    const struct {
        int button;
        QString message; // "" : none
        const char *firmware; // nullptr: no upload
    } cases[] = {
        // No log yet to hand to a viewer, so none comes up whatever the desktop.
        {ViewUploadLog, "", nullptr},
        {UploadBlink, "Completed upload", "Blink.hex"},
        {UploadCadrelle, "Completed upload", "Cadrelle.hex"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.button);
        ForgetRecords();
        ASSERT_TRUE(settings::SetArduinoPath("/nowhere"));
        ASSERT_TRUE(settings::SetSerialPort("COM2"));
        QStringList seen;
        bool uploaderStillRunning = false;
        const auto look = [&] {
            seen << windowtest::Stored(home, "ArduinoPath").value_or("none")
                 << windowtest::Stored(home, "SerialPort").value_or("none");
            uploaderStillRunning = !QFileInfo::exists(Record("done"));
        };
        messages.clear();
        messages.onMessage = [&](const dialogkit::RecordedMessage &) { look(); };

        TestDlg dialog;
        OnNextModal([&](QWidget *w) {
            TypeInto(w, ArduinoFolder, arduino);
            windowtest::ChooseInList(w, PortList, QStringLiteral("COM7"));
            Click(w, c.button);
            if (messages.messages.empty())
                look();
            EXPECT_TRUE(w->isVisible());
            PressKey(w, Qt::Key_Escape);
        });
        dialog.DoModal();

        EXPECT_EQ(seen, (QStringList{arduino, "COM7"}));
        EXPECT_EQ(messages.texts(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        if (c.firmware == nullptr) {
            EXPECT_FALSE(Started());
            continue;
        }
        EXPECT_TRUE(uploaderStillRunning) << "the window waited for the uploader";
        ASSERT_TRUE(WaitForFile(Record("started")));
        const std::vector<std::string> words = SplitWords(ReadFile(Record("words")));
        ASSERT_EQ(words.size(), 12u);
        EXPECT_EQ(words[2], arduino.toStdString() + "/hardware/tools/avr/etc/avrdude.conf");
        EXPECT_EQ(words[6], "/dev/ttyS6");
        EXPECT_EQ(words[11], std::string("flash:w:") + c.firmware);
        ASSERT_TRUE(WriteFile(Record("go"), ""));
        ASSERT_TRUE(WaitForFile(Record("done")));
    }
}

} // namespace
