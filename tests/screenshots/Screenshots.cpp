// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of each window as a user sees it, saved as PNG files into
// $VANDREL_SCREENSHOT_DIR (scripts/screenshots.sh points it at
// docs/screenshots), or "pictures" in the current folder. The windows that
// talk to the safe do so with the simulated safe, settings in a temporary
// home. What the windows show is their own tests' to check, not these.
#include "CCadrelleControllerDlg.h"
#include "KeyCodes.h"
#include "MasterDlg.h"
#include "MessageBox.h"
#include "Resource.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "StandInRecords.h"
#include "SubDlg.h"
#include "TempSettingsHome.h"
#include "TestDlg.h"
#include "UiTest.h"
#include "UploadTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

using namespace uitest;

namespace {

bool Save(const QPixmap &picture, const char *name)
{
    const QString dir = qEnvironmentVariableIsSet("VANDREL_SCREENSHOT_DIR")
                            ? qEnvironmentVariable("VANDREL_SCREENSHOT_DIR")
                            : QDir::currentPath() + QStringLiteral("/pictures");
    QDir().mkpath(dir);
    return picture.save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"), "PNG");
}

// The window `over` drawn over `window` where it stands, as a user sees the two.
bool SaveWithWindowOver(QWidget *window, QWidget *over, const char *name)
{
    QPixmap picture = window->grab();
    QPainter painter(&picture);
    // Offscreen windows have no frame: a plain one, with the caption.
    const int caption = over->fontMetrics().height() + 6;
    const QRect at(window->mapFromGlobal(over->mapToGlobal(QPoint(0, 0))), over->size());
    const QRect bar(at.left(), at.top() - caption, at.width(), caption);
    painter.fillRect(bar, over->palette().color(QPalette::Highlight));
    painter.setPen(over->palette().color(QPalette::HighlightedText));
    painter.drawText(bar.adjusted(6, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, over->windowTitle());
    painter.drawPixmap(at.topLeft(), over->grab());
    painter.setPen(over->palette().color(QPalette::Dark));
    painter.drawRect(at.united(bar).adjusted(0, 0, -1, -1));
    painter.end();
    return Save(picture, name);
}

// Runs `script` in a new window of this class, then closes the window.
template <class Window> void InWindow(const std::function<void(QWidget *)> &script)
{
    Window window;
    OnNextModal([&](QWidget *w) {
        script(w);
        PressKey(w, Qt::Key_Escape);
    });
    window.DoModal();
}

} // namespace

// Each window as a user meets it, the Sub window after the wearer has applied
// a lock code for 1 day, 2 hours, 3 minutes and 4 seconds: the status line
// tells how long. Settings in a temporary home, the port the simulated safe's.
TEST(Screenshots, EachWindow)
{
    testsupport::TempSettingsHome home;
    testsupport::SimSafeProcess safe;
    ASSERT_TRUE(safe.start() && settings::SetSerialPort(safe.portPath())) << safe.errorText();
    // The folder a user on Linux sees by default, rather than the temporary home.
    ASSERT_TRUE(settings::SetArduinoPath("/home/ada/.local/share/Vandrel/arduino-0012X"));
    dialogkit::MessageRecorder messages;
    InWindow<CCadrelleControllerDlg>([](QWidget *w) { EXPECT_TRUE(Save(w->grab(), "main-window")); });
    InWindow<MasterDlg>([](QWidget *w) {
        using namespace res::master;
        Click(w, LockForTime);
        TypeInto(w, Days, "1");
        TypeInto(w, Hours, "2");
        TypeInto(w, Minutes, "30");
        Click(w, GenerateKeyCode);
        EXPECT_TRUE(Save(w->grab(), "master-window"));
    });
    InWindow<SubDlg>([](QWidget *w) {
        TypeInto(w, res::sub::Code, QString::fromStdString(keycodes::MakeKeyCodes(93784, 0).lockCode));
        Click(w, res::sub::ApplyCode);
        EXPECT_TRUE(Save(w->grab(), "sub-window"));
    });
    InWindow<TestDlg>([](QWidget *w) {
        TypeInto(w, res::test::CommandText, QStringLiteral("V"));
        Control(w, res::test::Send)->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(Save(w->grab(), "test-window"));
        OnNextModal([](QWidget *version) {
            EXPECT_TRUE(Save(version->grab(), "version-window"));
            PressKey(version, Qt::Key_Escape);
        });
        Click(w, res::test::GetVersion);
    });
}

// An upload of Cadrelle as it goes and as it ends: the upload tests' stand-in
// uploader plays back a real avrdude log, paused while writing, then one of a
// port this user may not open.
// Only for scripts/screenshots.sh: offscreen, the Test window it opens now
// and then never becomes active, and the scripted upload then waits for
// windows that never come.
TEST(Screenshots, DISABLED_UploadProgressAndEnd)
{
    testsupport::TempSettingsHome home;
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
    const auto log = [](const char *name) { return uploadtest::ReadFile(QStringLiteral(VANDREL_UPLOAD_LOGS "/") + name); };
    const QByteArray completed = log("completed.txt"), refused = log("no-permission.txt");
    const struct {
        QByteArray log;
        qsizetype pause;
        const char *exit, *progressPicture /* nullptr: none */, *endPicture;
    } uploads[] = {
        {completed, completed.indexOf("Writing | ") + 10 + 23, "0", "upload-progress", "upload-completed"},
        {refused, refused.size(), "1", nullptr, "upload-no-permission"},
    };
    InWindow<TestDlg>([&](QWidget *w) {
        for (const auto &u : uploads) {
            standIn.ForgetRecords();
            ASSERT_TRUE(uploadtest::WriteFile(standIn.Record("replay"), u.log.left(u.pause)));
            ASSERT_TRUE(uploadtest::WriteFile(standIn.Record("rest"), u.log.mid(u.pause)));
            ASSERT_TRUE(uploadtest::WriteFile(standIn.Record("exit"), u.exit));
            OnNextModal([&](QWidget *progress) {
                if (u.progressPicture != nullptr) {
                    EXPECT_TRUE(QTest::qWaitFor([&] { return TextOf(progress, res::upload_progress::Progress) == "Writing the flash: 46%"; }, 10000));
                    EXPECT_TRUE(SaveWithWindowOver(w, progress, u.progressPicture));
                }
                OnNextModal([&](QWidget *message) {
                    EXPECT_TRUE(SaveWithWindowOver(w, message, u.endPicture));
                    PressKey(message, Qt::Key_Return);
                });
                ASSERT_TRUE(uploadtest::WriteFile(standIn.Record("go"), ""));
            });
            Click(w, res::test::UploadCadrelle);
        }
    });
    standIn.TearDownStandIn();
}
