// SPDX-License-Identifier: GPL-3.0-or-later
// The Test window's uploads, driven headless: a stand-in uploader (the
// upload tests' own program, tests/upload/StandInUploader.cpp) takes avrdude's
// place in a temporary Arduino folder whose name holds spaces. How the
// launcher starts it (words, folder, streams, log, failures) is the upload
// tests' business; here, what the window adds: it stores the typed folder and
// the chosen port first, uploads with them, shows the upload's progress over
// itself while the uploader runs, lets the user cancel it, and then says how
// it ended as the uploader's exit and log tell (real avrdude logs played back
// by the stand-in).
#include "MessageBox.h"
#include "Resource.h"
#include "Settings.h"
#include "StandInRecords.h"
#include "TestDlg.h"
#include "UploadTestSupport.h"
#include "WindowTestSupport.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

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
        ASSERT_FALSE(port.path().isEmpty());
    }

    void TearDown() override { TearDownStandIn(); }

    testsupport::TempSettingsHome home;
    dialogkit::MessageRecorder messages;
    QString arduino, uploader;
    uploadtest::OwnPort port;
};

TEST_F(UploadWindow, EachButtonStoresTheFolderAndPortShownThenWorksWithThem)
{
    const QString kNotVerified =
        QStringLiteral("Upload not confirmed: the log does not show the flash verified.\n\nSee 'View last upload log'.");
    // Nothing here opens the log: no xdg-open on the PATH.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(home.path()));
    const QString log = QString::fromStdString(settings::WorkDir()) + QStringLiteral("/upload_out.txt");
    const struct {
        int button;
        QString message; // "" : none
        const char *firmware; // nullptr: no upload
    } cases[] = {
        // No log yet to hand to a viewer, so none comes up whatever the desktop.
        {ViewUploadLog, "No upload has written its log yet. It will be the file\n" + log, nullptr},
        // The stand-in's log shows no flash verified: no success.
        {UploadBlink, kNotVerified, "Blink.hex"},
        {UploadCadrelle, kNotVerified, "Cadrelle.hex"},
        {ViewUploadLog, "Nothing on this computer opens the upload log. It is the file\n" + log, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.button);
        ForgetRecords();
        ASSERT_TRUE(settings::SetArduinoPath("/nowhere"));
        // A port of the test's own, which the list offers as the stored one:
        // an upload resets the port it names.
        ASSERT_TRUE(settings::SetSerialPort(port.path().toStdString()));
        QStringList seen;
        const auto look = [&] {
            seen << windowtest::Stored(home, "ArduinoPath").value_or("none")
                 << windowtest::Stored(home, "SerialPort").value_or("none");
        };
        messages.clear();
        QString progressShown;

        TestDlg dialog;
        OnNextModal([&](QWidget *w) {
            TypeInto(w, ArduinoFolder, arduino);
            windowtest::ChooseInList(w, PortList, port.path());
            ASSERT_TRUE(settings::SetSerialPort("COM2"));
            // The upload's own window, while the stand-in waits.
            if (c.firmware != nullptr) {
                OnNextModal([&](QWidget *progress) {
                    look();
                    progressShown = windowtest::TextOf(progress, res::upload_progress::What);
                    EXPECT_EQ(progress->parentWidget(), w);
                    ASSERT_TRUE(WriteFile(Record("go"), ""));
                });
            }
            Click(w, c.button);
            if (c.firmware == nullptr)
                look();
            EXPECT_TRUE(w->isVisible());
            PressKey(w, Qt::Key_Escape);
        });
        dialog.DoModal();

        EXPECT_EQ(seen, (QStringList{arduino, port.path()}));
        EXPECT_EQ(uitest::Texts(messages), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        if (c.firmware == nullptr) {
            EXPECT_FALSE(Started());
            continue;
        }
        EXPECT_EQ(progressShown, QStringLiteral("Uploading %1 to %2").arg(c.firmware, port.path()));
        ASSERT_TRUE(WaitForFile(Record("started")));
        const std::vector<std::string> words = SplitWords(ReadFile(Record("words")));
        ASSERT_EQ(words.size(), 12u);
        EXPECT_EQ(words[2], arduino.toStdString() + "/hardware/tools/avr/etc/avrdude.conf");
        EXPECT_EQ(words[6], port.path().toStdString());
        EXPECT_EQ(words[11], std::string("flash:w:") + c.firmware);
        EXPECT_TRUE(QFileInfo::exists(Record("done"))) << "the window did not wait for the uploader";
    }
    qputenv("PATH", path);
}

// An upload as the stand-in plays back a real avrdude log (tests/upload/logs)
// and pauses in it: the progress shown at the pause, then the message, with
// the port the window names. Cancel, Escape and the close box stop the
// uploader. (Each other cause and its words, over every real log, are the
// upload log tests'.)
TEST_F(UploadWindow, AnUploadShowsItsProgressThenHowItEnded)
{
    const auto log = [](const char *name) { return ReadFile(QStringLiteral(VANDREL_UPLOAD_LOGS "/") + name); };
    const QByteArray completed = log("completed.txt");
    const qsizetype writing = completed.indexOf("Writing | ") + 10 + 23;
    const auto whole = [](const QByteArray &text) { return text.size(); };
    const auto cancel = [](QWidget *p) { Click(p, dialogkit::IDCANCEL); };
    const auto escape = [](QWidget *p) { PressKey(p, Qt::Key_Escape); };
    const auto closeBox = [](QWidget *p) { p->close(); };
    const auto finish = [this](QWidget *) { ASSERT_TRUE(WriteFile(Record("go"), "")); };
    const QString cancelled = QStringLiteral("Upload cancelled: the board may hold only part of Cadrelle.hex.");
    const struct {
        QByteArray log;
        qsizetype pause;
        const char *exit;
        std::function<void(QWidget *)> then;
        QString progress, message; // the message's first line
    } rows[] = {
        {completed, writing, "0", finish, "Writing the flash: 46%", "Completed upload"},
        {log("no-port.txt"), whole(log("no-port.txt")), "1", finish, "Connecting to the board",
         QStringLiteral("Upload failed: there is no port %1.").arg(port.path())},
        {completed, writing, "0", cancel, "Writing the flash: 46%", cancelled},
        {completed, writing, "0", escape, "Writing the flash: 46%", cancelled},
        {completed, writing, "0", closeBox, "Writing the flash: 46%", cancelled},
    };
    ASSERT_TRUE(settings::SetArduinoPath(arduino.toStdString()));
    ASSERT_TRUE(settings::SetSerialPort(port.path().toStdString()));
    TestDlg dialog;
    OnNextModal([&](QWidget *w) {
        for (const auto &row : rows) {
            SCOPED_TRACE(row.message.toStdString());
            ForgetRecords();
            ASSERT_TRUE(WriteFile(Record("replay"), row.log.left(row.pause)));
            ASSERT_TRUE(WriteFile(Record("rest"), row.log.mid(row.pause)));
            ASSERT_TRUE(WriteFile(Record("exit"), row.exit));
            messages.clear();
            OnNextModal([&](QWidget *progress) {
                const auto shown = [&] { return windowtest::TextOf(progress, res::upload_progress::Progress); };
                EXPECT_TRUE(uitest::WaitFor([&] { return shown() == row.progress; })) << shown().toStdString();
                // The bar beside the words stands at their figure (0 without one).
                QAccessibleInterface *bar = uitest::AccessibleOf(progress, res::upload_progress::Bar);
                ASSERT_TRUE(bar != nullptr && bar->role() == QAccessible::ProgressBar && bar->valueInterface());
                EXPECT_EQ(bar->valueInterface()->currentValue().toInt(),
                          row.progress.endsWith('%') ? row.progress.section(' ', -1).chopped(1).toInt() : 0);
                row.then(progress);
            });
            Click(w, UploadCadrelle);
            ASSERT_EQ(uitest::Texts(messages).size(), 1);
            EXPECT_EQ(uitest::Texts(messages)[0].section(QLatin1Char('\n'), 0, 0), row.message);
            EXPECT_FALSE(uploadtest::ProcessRuns(ReadFile(Record("pid")))) << "the uploader goes on";
        }
        PressKey(w, Qt::Key_Escape);
    });
    dialog.DoModal();
}

} // namespace
