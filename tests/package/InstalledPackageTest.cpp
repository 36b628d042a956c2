// SPDX-License-Identifier: GPL-3.0-or-later
// The Debian package as a user gets it: unpacked with dpkg-deb into a scratch
// folder, its program started as its desktop entry says, offscreen, in a new
// home (settings, working folder) with the data search path pointing at the
// unpacked tree, and default settings except the serial port, which leads to
// a blank simulated board. A test-only library, loaded with LD_PRELOAD into
// the program alone, drives the windows (Driver.cpp): 'Upload Cadrelle' in
// the Test window. Debian's avrdude must be installed, as the package's
// dependency brings it. (That the firmware then answers the program is the
// end-to-end test's business.)
//
//     package_tests <path of vandrel_<version>_<arch>.deb>
#include "ChildProcess.h"
#include "SimBoardProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

using namespace std::chrono_literals;

namespace {

std::string packagePath;

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(InstalledPackage, UploadsCadrelleToABlankBoardWithDefaultSettingsInANewHome)
{
    ASSERT_FALSE(packagePath.empty()) << "usage: package_tests <.deb>";
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString root = scratch.filePath(QStringLiteral("root"));
    QProcess unpack;
    unpack.start(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), QString::fromStdString(packagePath), root});
    ASSERT_TRUE(unpack.waitForFinished(60000) && unpack.exitCode() == 0) << unpack.readAllStandardError().constData();

    // The program as the menu starts it: the desktop entry's Exec=.
    const QString desktop = QString::fromUtf8(ReadAll(root + QStringLiteral("/usr/share/applications/vandrel.desktop")));
    const QString exec =
        QRegularExpression(QStringLiteral("^Exec=(.*)$"), QRegularExpression::MultilineOption).match(desktop).captured(1).trimmed();
    const QString program = QStandardPaths::findExecutable(exec, {root + QStringLiteral("/usr/bin")});
    ASSERT_FALSE(program.isEmpty()) << "the desktop entry's Exec=" << exec.toStdString()
                                    << " is not in the package's /usr/bin";

    // A blank board, and a new home whose only setting is the board's port.
    testsupport::SimBoardProcess board;
    ASSERT_TRUE(board.start()) << board.errorText();
    const QString home = scratch.filePath(QStringLiteral("home"));
    const QString config = home + QStringLiteral("/.config"), data = home + QStringLiteral("/.local/share");
    const QString workDir = data + QStringLiteral("/Vandrel");
    const QString store = config + QStringLiteral("/Vandrel/CadrelleController.conf");
    {
        QSettings settings(store, QSettings::IniFormat);
        settings.setValue(QStringLiteral("Setting/SerialPort"), QString::fromStdString(board.portPath()));
    }

    // The program's environment: a new home, the data search path in the
    // unpacked tree, offscreen, and the driver.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    env.insert(QStringLiteral("XDG_DATA_DIRS"), root + QStringLiteral("/usr/share"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(VANDREL_PACKAGE_DRIVER));
    QProcess app;
    app.setProcessEnvironment(env);
    app.setWorkingDirectory(scratch.path());
    ASSERT_TRUE(testsupport::StartChild(app, {program.toStdString()}, SIGTERM)) << app.errorString().toStdString();

    std::map<std::string, std::string> seen;
    const auto deadline = std::chrono::steady_clock::now() + 240s;
    const auto readDriverLines = [&](std::chrono::milliseconds wait) {
        const std::string prefix = "driver: ";
        for (std::string line; testsupport::ReadLine(app, line, wait);) {
            if (line.rfind(prefix, 0) != 0)
                continue;
            std::printf("[ program ] %s\n", line.c_str());
            std::fflush(stdout);
            const std::size_t eq = line.find('=');
            seen[line.substr(prefix.size(), eq - prefix.size())] = line.substr(eq + 1);
        }
    };
    while (app.state() != QProcess::NotRunning && std::chrono::steady_clock::now() < deadline)
        readDriverLines(50ms);
    if (app.isOpen())
        readDriverLines(10ms); // what it left in the pipe
    const int status = testsupport::StopChild(app);
    const std::string errors = app.readAllStandardError().toStdString();
    const QString log = QString::fromLocal8Bit(ReadAll(workDir + QStringLiteral("/upload_out.txt")));
    SCOPED_TRACE("program's error output:\n" + errors + "\nupload log:\n" + log.toStdString());

    EXPECT_EQ(status, 0);
    EXPECT_EQ(seen["failed"], "");
    EXPECT_EQ(seen["done"], "yes");
    // Default settings: the default folder, the board's port.
    EXPECT_EQ(seen["folder"], (workDir + QStringLiteral("/arduino-0012X")).toStdString());
    EXPECT_EQ(seen["port"], board.portPath());
    // The guide address names the installed guide, which is there.
    const QString guide = root + QStringLiteral("/usr/share/doc/vandrel/board-setup.md");
    EXPECT_TRUE(QFileInfo::exists(guide));
    EXPECT_EQ(seen["guide"], QUrl::fromLocalFile(guide).toString().toStdString());
    EXPECT_EQ(seen["caption"], "CadrelleController");
    // Said once the log shows the flash verified: the upload ran with the
    // default folder of links to Debian's avrdude and the installed firmware
    // that it made (their making is the upload tests' business).
    EXPECT_EQ(seen["message"], "Completed upload");
    // The board started it: the upload's reset, the new firmware's start,
    // its receiver on.
    for (const char *stage : {"reset", "start", "listen"})
        EXPECT_TRUE(board.waitFor(stage, 10s)) << "the board saw no " << stage;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (argc >= 2)
        packagePath = argv[1];
    return RUN_ALL_TESTS();
}
