// SPDX-License-Identifier: GPL-3.0-or-later
// The launcher against a real process: a stand-in uploader (built with the
// tests, see StandInUploader.cpp) takes avrdude's place in a temporary
// Arduino folder and records what it was given.

#include "StandInRecords.h"
#include "UploadTestSupport.h"
#include "Uploader.h"
#include "UploadWatch.h"
#include "UploaderWords.h"
#include "qt/DefaultTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace upload;
using namespace uploadtest;

namespace {

const QByteArray kPreviousLog = "avrdude: previous upload\n";

std::string LogOf(const QString& workDir)
{
    return UploadLogPath(workDir.toStdString());
}

class UploaderTest : public ::testing::Test, public StandInRecords {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        arduino = temp.filePath("Arduino 0012 X");
        workDir = temp.filePath("data/Vandrel");
        ASSERT_TRUE(QDir().mkpath(workDir));
        // The program runs somewhere other than WorkDir, as it usually does.
        ASSERT_NO_FATAL_FAILURE(SetUpStandIn(temp.path()));
        ASSERT_FALSE(ownPort.path().isEmpty());
    }

    void TearDown() override { TearDownStandIn(); }

    void InstallStandIn(const QString& folder) const
    {
        const QString uploader = QString::fromStdString(UploaderPath(folder.toStdString()));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(uploader).path()));
        ASSERT_TRUE(QFile::link(QStringLiteral(VANDREL_STANDIN), uploader));
    }

    // Lets the stand-in finish and waits until it has.
    void FinishStandIn() const
    {
        ASSERT_TRUE(WriteFile(Record("go"), ""));
        ASSERT_TRUE(WaitForFile(Record("done"))) << "the stand-in uploader did not finish";
    }

    QString LogPath() const { return QString::fromStdString(LogOf(workDir)); }

    QTemporaryDir temp;
    QString arduino, workDir;
    uploadtest::OwnPort ownPort;
};

TEST_F(UploaderTest, WordsArriveWholeAndOnlyStandardErrorIsLogged)
{
    InstallStandIn(arduino);
    ASSERT_TRUE(WriteFile(workDir + "/Blink.hex", ":00000001FF\n"));
    const std::string conf = arduino.toStdString() + "/hardware/tools/avr/etc/avrdude.conf";
    // As the exchange leaves it: DTR would stay up.
    ASSERT_FALSE(ownPort.HangsUpOnClose());

    struct Case {
        QString port;
        std::string portWord;
        bool logFolder = false; // a folder where the log goes, which nothing may open for writing
    };
    // A COM port's device is the words' business (UploaderWordsTest): an
    // upload here names only ports this test made.
    const std::string port = ownPort.path().toStdString();
    const std::vector<Case> cases = {{"", ""}, {ownPort.path(), port}, {ownPort.path(), port, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port.toStdString() + (c.logFolder ? ", a log that cannot be made" : ""));
        ForgetRecords();
        ASSERT_TRUE(c.logFolder ? QFile::remove(LogPath()) && QDir().mkpath(LogPath()) : WriteFile(LogPath(), kPreviousLog));

        UploaderProcess uploader;
        const UploadReport report = UploadSketch(kBlinkSketch, arduino.toStdString(),
                         c.port.toStdString(), workDir.toStdString(), uploader);
        ASSERT_EQ(report.outcome, UploadOutcome::Started) << report.message;
        EXPECT_EQ(report.message, "");
        EXPECT_GT(report.processId, 0);
        EXPECT_EQ(report.port, c.portWord);

        ASSERT_TRUE(WaitForFile(Record("started"))) << "the stand-in uploader never ran";
        const std::vector<std::string> expected = {"-v", "-C", conf, "-p", "atmega168", "-P", c.portWord,
                                                   "-c", "stk500v1", "-b19200", "-U", "flash:w:Blink.hex"};
        EXPECT_EQ(SplitWords(ReadFile(Record("words"))), expected);
        EXPECT_EQ(QString::fromLocal8Bit(ReadFile(Record("cwd"))), QFileInfo(workDir).canonicalFilePath());
        EXPECT_EQ(ReadFile(Record("streams")), "stdin=null\nstdout=null\n");

        EXPECT_TRUE(uploader.Running()) << "it waits for the test";
        FinishStandIn();
        EXPECT_TRUE(uploader.WaitForEnd(kProcessWait));
        EXPECT_TRUE(uploader.EndedWell());
        // Emptied when this upload started; standard output is not in it. A
        // log that cannot be made does not stop the upload.
        if (c.logFolder)
            EXPECT_TRUE(QFileInfo(LogPath()).isDir());
        else
            EXPECT_EQ(ReadFile(LogPath()), "stand-in error output\nstand-in finished\n");
    }
    EXPECT_TRUE(ownPort.HangsUpOnClose()) << "DTR stays up for the uploader's opening";
}

// An upload that cannot start says why and is never reported as started; one
// stopped by the checks before the launch keeps the previous log.
TEST_F(UploaderTest, AnUploadThatCannotStartSaysWhy)
{
    InstallStandIn(arduino);
    const QString noArduino = temp.filePath("Not Arduino");
    ASSERT_TRUE(QDir().mkpath(noArduino));
    // Blink.hex is where the uploader would look; Cadrelle.hex only in the
    // program's current folder, where the uploader would not find it.
    ASSERT_TRUE(WriteFile(workDir + "/Blink.hex", ":00000001FF\n"));
    ASSERT_TRUE(WriteFile(QDir::current().filePath("Cadrelle.hex"), ":00000001FF\n"));
    const QString uploader = "/hardware/tools/avr/bin/avrdude";
    const QString notProgram = temp.filePath("Plain File"), folderProgram = temp.filePath("Folder Program");
    // Without any execute permission: refused even to the superuser.
    ASSERT_TRUE(WriteFile(notProgram + uploader, "#!/bin/sh\nexit 0\n"));
    ASSERT_TRUE(QDir().mkpath(folderProgram + uploader));
    const auto notStarted = [](const QString& path) {
        return "Could not start the uploader '" + path + "'\n" + QString::fromLocal8Bit(std::strerror(EACCES));
    };

    struct Case {
        const char *what, *sketch;
        QString folder;
        UploadOutcome outcome;
        QString message;
    };
    const std::vector<Case> cases = {
        {"no uploader below the folder", kBlinkSketch, noArduino, UploadOutcome::NoUploader,
         "Don't think the path '" + noArduino +
             "' is right (it should contain arduino.exe) as I can't find the file '" + noArduino + uploader +
             "'"},
        {"firmware only in the program's current folder", kCadrelleSketch, arduino,
         UploadOutcome::NoFirmware, "Can't find the file 'Cadrelle.hex'"},
        {"an uploader without execute permission", kBlinkSketch, notProgram, UploadOutcome::NotStarted,
         notStarted(notProgram + uploader)},
        {"a folder in the uploader's place", kBlinkSketch, folderProgram, UploadOutcome::NotStarted,
         notStarted(folderProgram + uploader)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFile(LogPath(), kPreviousLog));
        UploaderProcess process;
        const UploadReport report = UploadSketch(c.sketch, c.folder.toStdString(),
                         ownPort.path().toStdString(), workDir.toStdString(), process);
        EXPECT_EQ(report.outcome, c.outcome);
        EXPECT_EQ(QString::fromStdString(report.message), c.message);
        EXPECT_EQ(report.processId, 0);
        if (c.outcome != UploadOutcome::NotStarted) {
            EXPECT_EQ(ReadFile(LogPath()), kPreviousLog);
        }
    }
    EXPECT_FALSE(QFileInfo::exists(Record("started")));
}

// An upload whose watcher goes away while it runs ends at once, its log as
// far as it came. (How a followed upload shows its progress and its end is
// the Test window's upload tests' business, over the same logs.)
TEST_F(UploaderTest, AnUploadEndsWithItsWatcher)
{
    InstallStandIn(arduino);
    ASSERT_TRUE(WriteFile(workDir + "/Cadrelle.hex", ":00000001FF\n"));
    const QByteArray completed = ReadFile(VANDREL_UPLOAD_LOGS "/completed.txt");
    const qsizetype writing = completed.indexOf("Writing | ") + 10 + 23;
    ASSERT_TRUE(WriteFile(Record("replay"), completed.left(writing)));
    std::optional<UploaderProcess> uploader(std::in_place);
    ASSERT_EQ(UploadSketch(kCadrelleSketch, arduino.toStdString(), ownPort.path().toStdString(),
                           workDir.toStdString(), *uploader)
                  .outcome,
              UploadOutcome::Started);
    UploadWatch watch(*uploader, LogPath().toStdString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.Poll() && watch.Log().size() == std::size_t(writing); },
                                int(kProcessWait.count())))
        << watch.Log();
    uploader.reset();
    EXPECT_FALSE(ProcessRuns(ReadFile(Record("pid")))) << "the uploader goes on alone";
    EXPECT_EQ(ReadFile(LogPath()), completed.left(writing));
}

// The program ends while an upload runs, by a signal or a crash (SIGKILL
// stands for any end that runs no code of the program's): the uploader ends
// with it, and does not fight the next upload for the port. Run as avrdude
// is run, and behind a wrapper script, whose child only the program's own
// handling of an ending signal reaches. This test takes in the orphans
// (PR_SET_CHILD_SUBREAPER), so that an ended one is seen as ended.
TEST_F(UploaderTest, NoUploaderOutlivesTheProgram)
{
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const std::string standIn = VANDREL_STANDIN;
    const struct {
        int signal;
        bool wrapped;
    } rows[] = {{SIGTERM, false}, {SIGHUP, false}, {SIGINT, false}, {SIGKILL, false},
                {SIGTERM, true},  {SIGHUP, true},  {SIGINT, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(strsignal(row.signal)) + (row.wrapped ? ", wrapped" : ""));
        ForgetRecords();
        const pid_t program = ::fork();
        ASSERT_GE(program, 0);
        if (program == 0) {
            UploaderProcess uploader;
            // The trailing ":" keeps the shell from replacing itself.
            const LaunchResult launch =
                row.wrapped ? uploader.Start("/bin/sh", {"-c", "\"$0\"; :", standIn}, workDir.toStdString(), LogOf(workDir))
                            : uploader.Start(standIn, {"-v"}, workDir.toStdString(), LogOf(workDir));
            if (launch.started)
                for (;;)
                    ::pause();
            ::_exit(1);
        }
        ASSERT_TRUE(WaitForFile(Record("started")));
        const pid_t uploader = pid_t(ReadFile(Record("pid")).toLongLong());
        ASSERT_EQ(::kill(program, row.signal), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(program, &status, 0), program);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == row.signal) << "ended as the signal says";
        // Reaped here once it has ended (an orphan is this test's), or by the
        // wrapper that ended with it.
        EXPECT_TRUE(QTest::qWaitFor([&] { return ::waitpid(uploader, nullptr, WNOHANG) == uploader || ::kill(uploader, 0) != 0; },
                                    5000))
            << "the uploader outlived the program";
        ::kill(uploader, SIGKILL);
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }
}

// The installed program's first upload with the default folder: the folder
// is made as links to the system's uploader and the firmware is linked in
// from the installed copy, but only where nothing of the name is there yet.
TEST_F(UploaderTest, DefaultToolsAreLinkedInOnlyWhereNothingIsThere)
{
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME"), dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_HOME", QFile::encodeName(temp.filePath("data")));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(temp.filePath("elsewhere") + ":" + temp.filePath("share")));
    const QString installed = temp.filePath("share/vandrel/firmware/Cadrelle.hex");
    ASSERT_TRUE(WriteFile(installed, ":00000001FF\n"));
    const QString config = temp.filePath("avrdude.conf");
    ASSERT_TRUE(WriteFile(config, "# configuration\n"));
    const SystemUploader system{QStringLiteral(VANDREL_STANDIN), config};

    const struct {
        const char* what;
        std::function<bool(const QString&)> place; // puts it there; null: nothing
    } rows[] = {
        {"nothing", nullptr},
        {"an empty folder", [](const QString& at) { return QDir().mkpath(at); }},
        {"a file", [](const QString& at) { return WriteFile(at, "mine\n"); }},
        {"a broken link", [&](const QString& at) { return QFile::link(temp.filePath("gone"), at); }},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const QString folder = temp.filePath(QStringLiteral("home %1/arduino-0012X").arg(n));
        const QString work = temp.filePath(QStringLiteral("work %1").arg(n++));
        const QString firmware = work + "/Cadrelle.hex";
        ASSERT_TRUE(QDir().mkpath(QFileInfo(folder).path()) && QDir().mkpath(work));
        if (row.place) {
            ASSERT_TRUE(row.place(folder) && row.place(firmware));
        }
        const auto before = [](const QString& at) {
            const QFileInfo info(at);
            if (info.isSymLink())
                return info.symLinkTarget();
            return info.isDir() ? QStringLiteral("folder") : QString::fromUtf8(ReadFile(at));
        };
        const QString folderBefore = before(folder), firmwareBefore = before(firmware);

        EXPECT_EQ(MakeArduinoFolderOfLinks(folder, system), !row.place);
        EXPECT_EQ(LinkInstalledFirmware(work, "Cadrelle.hex"), !row.place);
        EXPECT_EQ(LinkInstalledFirmware(work, "Blink.hex"), false) << "none installed";
        EXPECT_EQ(QDir(QFileInfo(folder).path()).entryList(QDir::Hidden | QDir::System | QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{"arduino-0012X"}) << "no staging folder left behind";
        if (row.place) {
            EXPECT_EQ(before(folder), folderBefore);
            EXPECT_EQ(before(firmware), firmwareBefore);
            continue;
        }
        EXPECT_EQ(QFileInfo(folder + "/hardware/tools/avr/bin/avrdude").symLinkTarget(), VANDREL_STANDIN);
        EXPECT_EQ(QFileInfo(folder + "/hardware/tools/avr/etc/avrdude.conf").symLinkTarget(), config);
        EXPECT_EQ(QFileInfo(firmware).symLinkTarget(), installed);
        // The upload with them starts.
        UploaderProcess uploader;
        const UploadReport report = UploadSketch(kCadrelleSketch, folder.toStdString(),
                         ownPort.path().toStdString(), work.toStdString(), uploader);
        EXPECT_EQ(report.outcome, UploadOutcome::Started) << report.message;
        FinishStandIn();
    }
    qputenv("XDG_DATA_HOME", dataHome);
    qputenv("XDG_DATA_DIRS", dataDirs);
}

} // namespace
