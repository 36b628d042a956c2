// SPDX-License-Identifier: GPL-3.0-or-later
// The Test window's uploads, driven headless: a stand-in uploader (the
// upload tests' own program, tests/upload/StandInUploader.cpp) takes avrdude's
// place in a temporary Arduino folder whose name holds spaces. How the
// launcher starts it (words, folder, streams, log, failures) is the upload
// tests' business; here, what the window adds: it stores the typed folder and
// the chosen port first, uploads with them, shows the upload's progress over
// itself while the uploader runs, lets the user cancel it, and then says how
// it ended as the uploader's exit and log tell (real avrdude logs played back
// by the stand-in). That 'Upload Blink' uploads Blink is the end-to-end test's.
#include "MessageBox.h"
#include "Resource.h"
#include "Settings.h"
#include "StandInRecords.h"
#include "TestDlg.h"
#include "UploadTestSupport.h"
#include "WindowTestSupport.h"

#include <QAccessible>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace res::test;
using namespace uitest;
using namespace uploadtest;

namespace {

class UploadWindow : public ::testing::Test, public uploadtest::StandInRecords {
public:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        const QString uploader = arduino + QStringLiteral("/hardware/tools/avr/bin/avrdude");
        ASSERT_TRUE(QDir().mkpath(QFileInfo(uploader).path()));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VANDREL_STANDIN), uploader));
        ASSERT_TRUE(WriteFile(workDir + QStringLiteral("/Cadrelle.hex"), ":00000001FF\n"));
        ASSERT_NO_FATAL_FAILURE(SetUpStandIn(home.path()));
        ASSERT_FALSE(port.path().isEmpty());
    }

    void TearDown() override { TearDownStandIn(); }

    testsupport::TempSettingsHome home;
    dialogkit::MessageRecorder messages;
    const QString arduino = home.path() + QStringLiteral("/Arduino 0012 X");
    const QString workDir = QString::fromStdString(settings::WorkDir());
    uploadtest::OwnPort port;
};

// An upload as the stand-in plays back a real avrdude log (tests/upload/logs)
// and pauses in it: the folder and port shown stored before it starts, the
// progress shown at the pause, then the message, with the port the window
// names. Cancel stops the uploader (Escape and the close box are Cancel in
// every window: the dialog layer's and the other windows' tests). (Each other
// cause and its words, over every real log, are the upload log tests'.) Then
// 'View last upload log' with nothing on this computer to open it.
TEST_F(UploadWindow, AnUploadShowsItsProgressThenHowItEnded)
{
    const auto log = [](const char *name) { return ReadFile(QStringLiteral(VANDREL_UPLOAD_LOGS "/") + name); };
    const QByteArray completed = log("completed.txt");
    const qsizetype writing = completed.indexOf("Writing | ") + 10 + 23;
    const auto whole = [](const QByteArray &text) { return text.size(); };
    const auto cancel = [](QWidget *p) { Click(p, dialogkit::IDCANCEL); };
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
    };
    // The list offers the stored port; the store then changes behind the window.
    ASSERT_TRUE(settings::SetArduinoPath("/nowhere"));
    ASSERT_TRUE(settings::SetSerialPort(port.path().toStdString()));
    // Nothing here opens the log: no xdg-open on the PATH.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(home.path()));
    TestDlg dialog;
    OnNextModal([&](QWidget *w) {
        TypeInto(w, ArduinoFolder, arduino);
        windowtest::ChooseInList(w, PortList, port.path());
        ASSERT_TRUE(settings::SetSerialPort("COM2"));
        for (const auto &row : rows) {
            SCOPED_TRACE(row.message.toStdString());
            ForgetRecords();
            ASSERT_TRUE(WriteFile(Record("replay"), row.log.left(row.pause)));
            ASSERT_TRUE(WriteFile(Record("rest"), row.log.mid(row.pause)));
            ASSERT_TRUE(WriteFile(Record("exit"), row.exit));
            messages.clear();
            OnNextModal([&](QWidget *progress) {
                EXPECT_EQ(windowtest::Stored(home, "ArduinoPath"), arduino);
                EXPECT_EQ(windowtest::Stored(home, "SerialPort"), port.path());
                EXPECT_EQ(TextOf(progress, res::upload_progress::What),
                          "Uploading Cadrelle.hex to " + port.path());
                EXPECT_EQ(progress->parentWidget(), w);
                const auto shown = [&] { return TextOf(progress, res::upload_progress::Progress); };
                EXPECT_TRUE(QTest::qWaitFor([&] { return shown() == row.progress; }, 10000)) << shown().toStdString();
                // The bar beside the words stands at their figure (0 without one).
                QAccessibleInterface *bar = AccessibleOf(progress, res::upload_progress::Bar);
                ASSERT_TRUE(bar != nullptr && bar->role() == QAccessible::ProgressBar && bar->valueInterface());
                EXPECT_EQ(bar->valueInterface()->currentValue().toInt(),
                          row.progress.endsWith('%') ? row.progress.section(' ', -1).chopped(1).toInt() : 0);
                row.then(progress);
            });
            Click(w, UploadCadrelle);
            ASSERT_EQ(Texts(messages).size(), 1);
            EXPECT_EQ(Texts(messages)[0].section(QLatin1Char('\n'), 0, 0), row.message);
            EXPECT_FALSE(ProcessRuns(ReadFile(Record("pid")))) << "the uploader goes on";
        }
        messages.clear();
        Click(w, ViewUploadLog);
        EXPECT_EQ(Texts(messages), QStringList{"Nothing on this computer opens the upload log. It is the file\n" +
                                                       workDir + QStringLiteral("/upload_out.txt")});
        PressKey(w, Qt::Key_Escape);
    });
    dialog.DoModal();
    qputenv("PATH", path);
}

} // namespace
