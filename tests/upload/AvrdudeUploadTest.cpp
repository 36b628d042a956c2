// The real uploader: Debian's avrdude, reached through an Arduino folder made
// of links as the set-up script makes it, uploads to a pseudo-terminal whose
// other end never answers. avrdude's own complaints must reach the log.

#include "UploadTestSupport.h"
#include "Uploader.h"
#include "UploaderWords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <string>

using namespace upload;
using namespace uploadtest;

namespace {

constexpr char kSystemUploader[] = "/usr/bin/avrdude";
constexpr char kSystemConfig[] = "/etc/avrdude.conf";
// avrdude gives up on the first sync after about a second; allow for a slow machine.
constexpr auto kFirstComplaint = std::chrono::seconds(30);

// A detached uploader is not our child; once it ends it is gone or, where
// nothing reaps orphans, a zombie.
bool ProcessEnded(qint64 pid)
{
    if (::kill(static_cast<pid_t>(pid), 0) != 0)
        return true;
    const QByteArray stat = ReadFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 || stat.mid(close + 2, 1) == "Z";
}

bool LogTellsNoSync(const QByteArray& log)
{
    static const std::array<const char*, 3> complaints = {"not in sync", "not responding",
                                                          "stk500_getsync"};
    for (const char* complaint : complaints) {
        if (log.contains(complaint))
            return true;
    }
    return false;
}

TEST(AvrdudeUpload, SilentBoardShowsInTheLog)
{
    ASSERT_TRUE(QFileInfo(kSystemUploader).isExecutable()) << "avrdude is missing: run scripts/setup.sh";
    ASSERT_TRUE(QFileInfo::exists(kSystemConfig));

    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString arduino = temp.filePath("arduino-0012X");
    const QString workDir = temp.filePath("Vandrel");
    const QString uploader = QString::fromStdString(UploaderPath(arduino.toStdString()));
    const QString config = QString::fromStdString(UploaderConfigPath(arduino.toStdString()));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(uploader).path()));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(config).path()));
    ASSERT_TRUE(QFile::link(kSystemUploader, uploader));
    ASSERT_TRUE(QFile::link(kSystemConfig, config));
    ASSERT_TRUE(WriteFile(workDir + "/Blink.hex", ":00000001FF\n"));

    int board = -1;
    int port = -1;
    std::array<char, 128> portName{};
    ASSERT_EQ(::openpty(&board, &port, portName.data(), nullptr, nullptr), 0);
    ::close(port);  // avrdude opens it by name; the board's end stays open and silent

    const UploadReport report = UploadSketch(kBlinkSketch, arduino, portName.data(), workDir);
    ASSERT_EQ(report.outcome, UploadOutcome::Started) << report.message.toStdString();
    ASSERT_GT(report.processId, 0);

    const QString log = UploadLogPath(workDir);
    const bool complained = WaitUntil([&] { return LogTellsNoSync(ReadFile(log)); },
                                      std::chrono::duration_cast<std::chrono::milliseconds>(kFirstComplaint));

    // Hanging up does not end avrdude (it then spins on end-of-file until its
    // retries run out), so it is ended here rather than waited out.
    ::close(board);
    ::kill(static_cast<pid_t>(report.processId), SIGTERM);
    bool ended = WaitUntil([&] { return ProcessEnded(report.processId); }, std::chrono::seconds(10));
    if (!ended)
        ::kill(static_cast<pid_t>(report.processId), SIGKILL);

    const QByteArray text = ReadFile(log);
    EXPECT_TRUE(complained) << "avrdude's log:\n" << text.toStdString();
    EXPECT_TRUE(text.contains(QFile::encodeName(portName.data()))) << text.toStdString();
    EXPECT_TRUE(ended) << "avrdude did not end on SIGTERM";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
