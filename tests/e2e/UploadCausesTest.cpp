// SPDX-License-Identifier: GPL-3.0-or-later
// Uploads that cannot work, through the Test window with Debian's avrdude:
// a port that does not exist, a port this user may not open, and a port on
// which nothing answers. Each must end with its cause named and never with
// "Completed upload", though avrdude's log ends with "avrdude done.  Thank
// you." every time.
//
// The Arduino folder's avrdude is a small script around Debian's: for the
// port without permission it runs avrdude as nobody when the test runs as
// root (who may open anything), and for the silent port it asks for two
// attempts to get in sync instead of ten, which would take 50 s.
#include "MessageBox.h"
#include "Resource.h"
#include "Settings.h"
#include "SimBoardProcess.h"
#include "TempSettingsHome.h"
#include "TestDlg.h"
#include "UiTest.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string>

using namespace std::chrono_literals;
using uitest::Click;
using uitest::OnNextModal;

namespace {

// A pseudo-terminal whose other end nobody reads or answers.
struct SilentPort {
    int board = -1;
    std::string path;
    SilentPort()
    {
        int port = -1;
        std::array<char, 128> name{};
        if (::openpty(&board, &port, name.data(), nullptr, nullptr) == 0) {
            path = name.data();
            ::close(port);
        }
    }
    ~SilentPort() { ::close(board); }
};

bool WriteScript(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size() &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                               QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}

TEST(UploadCauses, EachFailedUploadNamesItsCause)
{
    testsupport::TempSettingsHome home;
    ASSERT_TRUE(home.isValid());
    dialogkit::MessageRecorder messages;
    const QString workDir = QString::fromStdString(settings::WorkDir());
    ASSERT_TRUE(QDir().mkpath(workDir));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(testsupport::FirmwarePath("Cadrelle")),
                            workDir + QStringLiteral("/Cadrelle.hex")));

    // Readable by nobody too: avrdude reads its configuration before the port.
    QTemporaryDir tools;
    ASSERT_TRUE(tools.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(tools.path()).constData(), 0755), 0);
    const QString bin = tools.path() + QStringLiteral("/hardware/tools/avr/bin");
    const QString etc = tools.path() + QStringLiteral("/hardware/tools/avr/etc");
    ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(etc));
    ASSERT_TRUE(QFile::link(QStringLiteral(VANDREL_SYSTEM_AVRDUDE_CONF), etc + QStringLiteral("/avrdude.conf")));
    ASSERT_TRUE(settings::SetArduinoPath(tools.path().toStdString()));

    SilentPort unreadable;
    SilentPort silent;
    ASSERT_FALSE(unreadable.path.empty() || silent.path.empty());
    const bool root = ::geteuid() == 0;
    if (!root) {
        ASSERT_EQ(::chmod(unreadable.path.c_str(), 0), 0);
    }
    const QByteArray avrdude = VANDREL_SYSTEM_AVRDUDE;
    const struct {
        std::string port;
        QByteArray script;
        QString progress; // shown at some time, when the window stays long enough to tell
        QString message;  // the first line
    } rows[] = {
        {"/dev/ttyVandrelNone", "exec " + avrdude + " \"$@\"\n", "",
         "Upload failed: there is no port /dev/ttyVandrelNone."},
        {unreadable.path,
         (root ? "exec setpriv --reuid=65534 --regid=65534 --clear-groups " : "exec ") + avrdude + " \"$@\"\n",
         "",
         QStringLiteral("Upload failed: you have no permission to open the port %1.")
             .arg(QString::fromStdString(unreadable.path))},
        {silent.path, "exec " + avrdude + " -x attempts=2 \"$@\"\n",
         "The board does not answer yet (attempt 1 of 2)",
         QStringLiteral("Upload failed: the board does not answer on %1.").arg(QString::fromStdString(silent.path))},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.port);
        ASSERT_TRUE(WriteScript(bin + QStringLiteral("/avrdude"), "#!/bin/sh\n" + row.script));
        ASSERT_TRUE(settings::SetSerialPort(row.port));
        messages.clear();
        // What the Upload window shows, looked at from outside: a failure
        // at the port ends it within a moment.
        QStringList progress;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            for (QWidget *window : QApplication::topLevelWidgets()) {
                if (window->objectName() != QString::number(res::upload_progress::Dialog) || !window->isVisible())
                    continue;
                const QString now = uitest::Control(window, res::upload_progress::Progress)->property("text").toString();
                if (progress.isEmpty() || progress.back() != now)
                    progress << now;
            }
        });
        look.start(10);
        TestDlg dialog;
        OnNextModal([&](QWidget *w) {
            Click(w, res::test::UploadCadrelle);
            Click(w, dialogkit::IDCANCEL);
        });
        dialog.DoModal();
        look.stop();

        if (!row.progress.isEmpty()) {
            EXPECT_TRUE(progress.contains(row.progress)) << progress.join('|').toStdString();
        }
        ASSERT_EQ(uitest::Texts(messages).size(), 1);
        const QString message = uitest::Texts(messages)[0];
        EXPECT_EQ(message.section(QLatin1Char('\n'), 0, 0), row.message) << message.toStdString();
        EXPECT_TRUE(message.endsWith(QStringLiteral("See 'View last upload log'."))) << message.toStdString();
        QFile log(workDir + QStringLiteral("/upload_out.txt"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_TRUE(log.readAll().trimmed().endsWith("avrdude done.  Thank you."));
    }
}

} // namespace
