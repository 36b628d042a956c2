// The Test window's uploads, driven headless: a stand-in uploader (the
// upload tests' own program, tests/upload/StandInUploader.cpp) takes avrdude's
// place in a temporary Arduino folder whose name holds spaces, and records the
// words it was given, its current folder and where its standard streams lead.
// The settings store and the working folder lie in a temporary home.
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

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace res::test;
using dialogkit::MessageRecorder;
using uitest::Click;
using uitest::OnNextModal;
using uitest::PressKey;
using uitest::TypeInto;
using uploadtest::ReadFile;
using uploadtest::SplitWords;
using uploadtest::WaitForFile;
using uploadtest::WaitUntil;
using uploadtest::WriteFile;
using windowtest::ChooseInList;

namespace {

const QByteArray kPreviousLog = "avrdude: previous upload\n";
const QByteArray kStandInError = "stand-in error output\n";
const QByteArray kStandInOutput = "stand-in standard output\n";

template <class Case>
auto operator<<(std::ostream &out, const Case &c) -> decltype(c.what, out)
{
    return out << c.what;
}

class UploadWindow : public ::testing::Test, public uploadtest::StandInRecords {
public:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        arduino = home.path() + QStringLiteral("/Arduino 0012 X");
        uploader = arduino + QStringLiteral("/hardware/tools/avr/bin/avrdude");
        workDir = settings::WorkDir();
        logPath = workDir + QStringLiteral("/upload_out.txt");
        ASSERT_TRUE(QDir().mkpath(QFileInfo(uploader).path()));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VANDREL_STANDIN), uploader));
        ASSERT_TRUE(WriteFile(workDir + QStringLiteral("/Blink.hex"), ":00000001FF\n"));
        ASSERT_TRUE(WriteFile(workDir + QStringLiteral("/Cadrelle.hex"), ":00000001FF\n"));
        ASSERT_TRUE(WriteFile(logPath, kPreviousLog));
        // The program runs somewhere other than the working folder, as it
        // usually does; the firmware files are not there.
        ASSERT_NO_FATAL_FAILURE(SetUpStandIn(home.path()));
    }

    void TearDown() override { TearDownStandIn(); }

    std::optional<QString> Stored(const char *name) const { return windowtest::Stored(home, name); }

    // Opens the Test window with the folder typed and the port chosen (an
    // empty port: none chosen), presses `button`, and closes the window.
    void UploadWith(const QString &folder, const QString &port, int button)
    {
        TestDlg dialog;
        OnNextModal([&](QWidget *w) {
            TypeInto(w, ArduinoFolder, folder);
            if (!port.isEmpty())
                ChooseInList(w, PortList, port);
            Click(w, button);
            PressKey(w, Qt::Key_Escape);
        });
        dialog.DoModal();
    }

    testsupport::TempSettingsHome home;
    MessageRecorder messages;
    QString arduino, uploader, workDir, logPath;
};

// --- A started upload: the words, the folder, the streams, the log -----------

struct WordsCase {
    const char *what;
    QString folderSuffix; // typed after the Arduino folder
    std::optional<QString> storedPort;
    QString chosenPort; // "" : none chosen
    int button;
    std::string portWord;
    std::string firmware;
};

class UploadWords : public UploadWindow, public ::testing::WithParamInterface<WordsCase> {};

TEST_P(UploadWords, ArriveWholeAndInOrderAndTheWindowDoesNotWait)
{
    const WordsCase c = GetParam();
    if (c.storedPort) {
        ASSERT_TRUE(settings::SetSerialPort(*c.storedPort));
    }
    bool uploaderStillRunning = false;
    messages.onMessage = [&](const dialogkit::RecordedMessage &) {
        uploaderStillRunning = !QFileInfo::exists(Record("done"));
    };

    const QString folder = arduino + c.folderSuffix;
    UploadWith(folder, c.chosenPort, c.button);

    EXPECT_EQ(messages.texts(), QStringList{"Completed upload"});
    EXPECT_TRUE(uploaderStillRunning) << "the window waited for the uploader";
    ASSERT_TRUE(WaitForFile(Record("started")));
    const std::string conf = folder.toStdString() + "/hardware/tools/avr/etc/avrdude.conf";
    const std::vector<std::string> expected = {"-v",         "-C", conf,     "-p",       "atmega168",
                                               "-P",         c.portWord,       "-c",       "stk500v1",
                                               "-b19200",    "-U", "flash:w:" + c.firmware};
    EXPECT_EQ(SplitWords(ReadFile(Record("words"))), expected);
    EXPECT_EQ(ReadFile(Record("cwd")), QFile::encodeName(workDir));
    EXPECT_EQ(ReadFile(Record("streams")), "stdin=null\nstdout=null\n");
    // The log was emptied and then got the standard error only.
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(logPath).contains(kStandInError); }));
    EXPECT_EQ(ReadFile(logPath), kStandInError);
}

INSTANTIATE_TEST_SUITE_P(
    Uploads, UploadWords,
    ::testing::Values(
        // The firmware lies in the working folder only, where the uploader
        // looks for it, and not where the program runs.
        WordsCase{"BlinkFolderWithSpacesCom3", "", std::nullopt, "COM3", UploadBlink, "/dev/ttyS2",
                  "Blink.hex"},
        WordsCase{"CadrelleStoredDevicePath", "", "/dev/ttyUSB0", "", UploadCadrelle,
                  "/dev/ttyUSB0", "Cadrelle.hex"},
        WordsCase{"NoPortSelected", "", "COM12", "", UploadBlink, "", "Blink.hex"},
        // A folder that ends in a separator gives a doubled one, as it stands.
        WordsCase{"FolderEndingInSeparator", "/", std::nullopt, "COM1", UploadCadrelle, "/dev/ttyS0",
                  "Cadrelle.hex"}),
    [](const auto &info) { return std::string(info.param.what); });

// --- Uploads that stop before anything starts -------------------------------

struct StopCase {
    const char *what;
    std::function<void(UploadWindow &)> arrange;
    int button;
    std::function<QString(const UploadWindow &)> message;
};

class UploadStops : public UploadWindow, public ::testing::WithParamInterface<StopCase> {};

TEST_P(UploadStops, StartNothingAndLeaveTheLogAsItWas)
{
    GetParam().arrange(*this);
    UploadWith(arduino, QStringLiteral("COM3"), GetParam().button);

    EXPECT_EQ(messages.texts(), QStringList{GetParam().message(*this)});
    EXPECT_FALSE(WaitForFile(Record("started"), std::chrono::milliseconds(500))) << "an uploader ran";
    EXPECT_EQ(ReadFile(logPath), kPreviousLog);
}

QString NoUploaderMessage(const UploadWindow &t)
{
    return QStringLiteral("Don't think the path '") + t.arduino +
           QStringLiteral("' is right (it should contain arduino.exe) as I can't find the file '") +
           t.uploader + QStringLiteral("'");
}

INSTANTIATE_TEST_SUITE_P(
    ExistenceTests, UploadStops,
    ::testing::Values(
        StopCase{"NoUploaderBelowTheFolder", [](UploadWindow &t) { QFile::remove(t.uploader); },
                 UploadBlink, NoUploaderMessage},
        StopCase{"NoUploaderAndNoFirmware",
                 [](UploadWindow &t) {
                     QFile::remove(t.uploader);
                     QFile::remove(t.workDir + QStringLiteral("/Cadrelle.hex"));
                 },
                 UploadCadrelle, NoUploaderMessage},
        StopCase{"NoBlinkInTheWorkingFolder",
                 [](UploadWindow &t) { QFile::remove(t.workDir + QStringLiteral("/Blink.hex")); },
                 UploadBlink,
                 [](const UploadWindow &) { return QStringLiteral("Can't find the file 'Blink.hex'"); }},
        // The uploader would look for it in the working folder, so a file
        // where the program runs does not count.
        StopCase{"CadrelleOnlyWhereTheProgramRuns",
                 [](UploadWindow &t) {
                     QFile::remove(t.workDir + QStringLiteral("/Cadrelle.hex"));
                     ASSERT_TRUE(WriteFile(t.elsewhere + QStringLiteral("/Cadrelle.hex"), ":00000001FF\n"));
                 },
                 UploadCadrelle,
                 [](const UploadWindow &) { return QStringLiteral("Can't find the file 'Cadrelle.hex'"); }}),
    [](const auto &info) { return std::string(info.param.what); });

// --- An uploader that does not start is not reported as an upload -----------

struct NotStartedCase {
    const char *what;
    std::function<void(UploadWindow &)> arrange;
};

class UploadNotStarted : public UploadWindow,
                         public ::testing::WithParamInterface<NotStartedCase> {};

TEST_P(UploadNotStarted, SaysSoWithTheSystemsReason)
{
    GetParam().arrange(*this);
    UploadWith(arduino, QStringLiteral("COM3"), UploadBlink);

    EXPECT_EQ(messages.texts(),
              QStringList{QStringLiteral("Could not start the uploader '") + uploader +
                          QStringLiteral("'\n") + QString::fromLocal8Bit(std::strerror(EACCES))});
    EXPECT_FALSE(Started());
}

INSTANTIATE_TEST_SUITE_P(
    Starts, UploadNotStarted,
    ::testing::Values(NotStartedCase{"UploaderNotExecutable",
                                     [](UploadWindow &t) {
                                         ASSERT_TRUE(QFile::setPermissions(
                                             t.uploader, QFile::ReadOwner | QFile::WriteOwner));
                                     }},
                      NotStartedCase{"UploaderIsAFolder",
                                     [](UploadWindow &t) {
                                         ASSERT_TRUE(QFile::remove(t.uploader));
                                         ASSERT_TRUE(QDir().mkpath(t.uploader));
                                     }}),
    [](const auto &info) { return std::string(info.param.what); });

// --- Both upload buttons and 'View last upload log' store the settings first -

struct FirstCase {
    const char *what;
    int button;
};

class UploadSettingsFirst : public UploadWindow, public ::testing::WithParamInterface<FirstCase> {};

TEST_P(UploadSettingsFirst, TheTypedFolderAndChosenPortAreStoredBeforeTheWork)
{
    ASSERT_TRUE(settings::SetArduinoPath(QStringLiteral("/nowhere")));
    ASSERT_TRUE(settings::SetSerialPort(QStringLiteral("COM2")));
    // No log to hand to a viewer, so none comes up whatever the desktop.
    ASSERT_TRUE(QFile::remove(logPath));
    QStringList seen;
    const auto look = [&] {
        seen << Stored("ArduinoPath").value_or("none") << Stored("SerialPort").value_or("none");
    };
    messages.onMessage = [&](const dialogkit::RecordedMessage &) { look(); };

    TestDlg dialog;
    OnNextModal([&](QWidget *w) {
        TypeInto(w, ArduinoFolder, arduino);
        ChooseInList(w, PortList, QStringLiteral("COM7"));
        Click(w, GetParam().button);
        if (messages.messages.empty())
            look();
        EXPECT_TRUE(w->isVisible());
        PressKey(w, Qt::Key_Escape);
    });
    dialog.DoModal();

    EXPECT_EQ(seen, (QStringList{arduino, "COM7"}));
    if (GetParam().button != ViewUploadLog) {
        // The upload took the folder and the port from the window as it showed them.
        ASSERT_TRUE(WaitForFile(Record("started")));
        const std::vector<std::string> words = SplitWords(ReadFile(Record("words")));
        ASSERT_EQ(words.size(), 12u);
        EXPECT_EQ(words[2], arduino.toStdString() + "/hardware/tools/avr/etc/avrdude.conf");
        EXPECT_EQ(words[6], "/dev/ttyS6");
    } else {
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_FALSE(Started());
    }
}

INSTANTIATE_TEST_SUITE_P(Buttons, UploadSettingsFirst,
                         ::testing::Values(FirstCase{"UploadBlink", UploadBlink},
                                           FirstCase{"UploadCadrelle", UploadCadrelle},
                                           FirstCase{"ViewUploadLog", ViewUploadLog}),
                         [](const auto &info) { return std::string(info.param.what); });

} // namespace
