// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the Test window and of the Version window it opens, against the
// simulated safe, with the settings in a temporary home.
#include "Resource.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "TempSettingsHome.h"
#include "TestDlg.h"
#include "StandInRecords.h"
#include "UiTest.h"
#include "UploadTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>

#include <gtest/gtest.h>

TEST(Screenshots, TestAndVersionWindows)
{
    testsupport::TempSettingsHome home;
    ASSERT_TRUE(home.isValid());
    testsupport::SimSafeProcess safe;
    ASSERT_TRUE(safe.start()) << safe.errorText();
    ASSERT_TRUE(settings::SetSerialPort(safe.portPath()));
    // The folder a user on Linux sees by default, rather than the temporary home.
    ASSERT_TRUE(settings::SetArduinoPath("/home/ada/.local/share/Vandrel/arduino-0012X"));

    TestDlg dialog;
    uitest::OnNextModal([](QWidget *w) {
        uitest::TypeInto(w, res::test::CommandText, QStringLiteral("V"));
        uitest::Control(w, res::test::Send)->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(uitest::SaveScreenshot(w, uitest::ScreenshotPath("test-window")));
        uitest::OnNextModal([](QWidget *version) {
            EXPECT_TRUE(uitest::SaveScreenshot(version, uitest::ScreenshotPath("version-window")));
            uitest::PressKey(version, Qt::Key_Escape);
        });
        uitest::Click(w, res::test::GetVersion);
        uitest::PressKey(w, Qt::Key_Escape);
    });
    dialog.DoModal();
}

namespace {

// The Test window with the window over it drawn where it stands, as a user
// sees the two.
bool SaveWithWindowOver(QWidget *test, QWidget *over, const QString &path)
{
    QPixmap picture = test->grab();
    QPainter painter(&picture);
    // Offscreen windows have no frame: a plain one, with the caption.
    const int caption = over->fontMetrics().height() + 6;
    const QRect at(test->mapFromGlobal(over->mapToGlobal(QPoint(0, 0))), over->size());
    const QRect bar(at.left(), at.top() - caption, at.width(), caption);
    painter.fillRect(bar, over->palette().color(QPalette::Highlight));
    painter.setPen(over->palette().color(QPalette::HighlightedText));
    painter.drawText(bar.adjusted(6, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, over->windowTitle());
    painter.drawPixmap(at.topLeft(), over->grab());
    painter.setPen(over->palette().color(QPalette::Dark));
    painter.drawRect(at.united(bar).adjusted(0, 0, -1, -1));
    painter.end();
    QDir().mkpath(QFileInfo(path).absolutePath());
    return picture.save(path, "PNG");
}

} // namespace

// An upload of Cadrelle as it goes and as it ends: the upload tests' stand-in
// uploader plays back a real avrdude log, paused while writing, then one of a
// port this user may not open.
// Only for scripts/screenshots.sh: offscreen, the Test window it opens now
// and then never becomes active, and the scripted upload then waits for
// windows that never come. What the upload shows is checked by the Test
// window's upload tests and the upload causes' end-to-end test.
TEST(Screenshots, DISABLED_UploadProgressAndEnd)
{
    testsupport::TempSettingsHome home;
    ASSERT_TRUE(home.isValid());
    uploadtest::StandInRecords standIn;
    ASSERT_NO_FATAL_FAILURE(standIn.SetUpStandIn(home.path()));
    const QString arduino = home.path() + QStringLiteral("/arduino-0012X");
    const QString uploader = arduino + QStringLiteral("/hardware/tools/avr/bin/avrdude");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(uploader).path()));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VANDREL_STANDIN), uploader));
    const QString workDir = QString::fromStdString(settings::WorkDir());
    ASSERT_TRUE(uploadtest::WriteFile(workDir + QStringLiteral("/Cadrelle.hex"), ":00000001FF\n"));
    ASSERT_TRUE(settings::SetArduinoPath(arduino.toStdString()));
    // An upload drops DTR on the port it names: a pseudo-terminal of the
    // test's own, never a device of the machine.
    const uploadtest::OwnPort port;
    ASSERT_FALSE(port.path().isEmpty());
    ASSERT_TRUE(settings::SetSerialPort(port.path().toStdString()));
    const QByteArray completed = uploadtest::ReadFile(QStringLiteral(VANDREL_UPLOAD_LOGS "/completed.txt"));
    const qsizetype writing = completed.indexOf("Writing | ") + 10 + 23;

    TestDlg dialog;
    uitest::OnNextModal([&](QWidget *w) {
        ASSERT_TRUE(uploadtest::WriteFile(standIn.Record("replay"), completed.left(writing)));
        ASSERT_TRUE(uploadtest::WriteFile(standIn.Record("rest"), completed.mid(writing)));
        uitest::OnNextModal([&](QWidget *progress) {
            EXPECT_TRUE(uitest::WaitFor([&] {
                return uitest::Control(progress, res::upload_progress::Progress)->property("text") ==
                       QStringLiteral("Writing the flash: 46%");
            }));
            EXPECT_TRUE(SaveWithWindowOver(w, progress, uitest::ScreenshotPath("upload-progress")));
            uitest::OnNextModal([&](QWidget *message) {
                EXPECT_TRUE(SaveWithWindowOver(w, message, uitest::ScreenshotPath("upload-completed")));
                uitest::PressKey(message, Qt::Key_Return);
            });
            ASSERT_TRUE(uploadtest::WriteFile(standIn.Record("go"), ""));
        });
        uitest::Click(w, res::test::UploadCadrelle);

        standIn.ForgetRecords();
        const QByteArray refused = uploadtest::ReadFile(QStringLiteral(VANDREL_UPLOAD_LOGS "/no-permission.txt"));
        ASSERT_TRUE(uploadtest::WriteFile(standIn.Record("replay"), refused));
        ASSERT_TRUE(uploadtest::WriteFile(standIn.Record("exit"), "1"));
        uitest::OnNextModal([&](QWidget *) {
            uitest::OnNextModal([&](QWidget *message) {
                EXPECT_TRUE(SaveWithWindowOver(w, message, uitest::ScreenshotPath("upload-no-permission")));
                uitest::PressKey(message, Qt::Key_Return);
            });
            ASSERT_TRUE(uploadtest::WriteFile(standIn.Record("go"), ""));
        });
        uitest::Click(w, res::test::UploadCadrelle);
        uitest::PressKey(w, Qt::Key_Escape);
    });
    dialog.DoModal();
    standIn.TearDownStandIn();
}
