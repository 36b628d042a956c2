// The settings store through the real QSettings store, in a temporary home.
// A second copy of the program is this test program started again with
// --store-child; it reads and writes the same store from its own process.

#include "Settings.h"
#include "TempSettingsHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

QT_BEGIN_NAMESPACE
void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

constexpr char kChildFlag[] = "--store-child";

// In the child: "get <name>" prints the value as hex of its UTF-8 bytes;
// "set <name> <hex>" stores it and exits 0 when the store kept it.
int RunChild(const QStringList &args)
{
    const bool port = args.value(1) == QStringLiteral("SerialPort");
    if (args.value(0) == QStringLiteral("get")) {
        const QString value = port ? settings::GetSerialPort() : settings::GetArduinoPath();
        QTextStream(stdout) << value.toUtf8().toHex() << Qt::endl;
        return 0;
    }
    if (args.value(0) == QStringLiteral("set")) {
        const QString value = QString::fromUtf8(QByteArray::fromHex(args.value(2).toLatin1()));
        return (port ? settings::SetSerialPort(value) : settings::SetArduinoPath(value)) ? 0 : 1;
    }
    return 2;
}

QProcess::ExitStatus RunSelf(const QStringList &args, QByteArray *out, int *exitCode)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), QStringList{kChildFlag} + args);
    if (!child.waitForFinished(20000)) {
        child.kill();
        child.waitForFinished();
        *exitCode = -1;
        return QProcess::CrashExit;
    }
    *out = child.readAllStandardOutput().trimmed();
    *exitCode = child.exitCode();
    return child.exitStatus();
}

// What another copy of the program reads.
QString ReadInOtherProcess(const QString &name)
{
    QByteArray out;
    int code = 0;
    if (RunSelf({QStringLiteral("get"), name}, &out, &code) != QProcess::NormalExit || code != 0)
        return QStringLiteral("<child failed>");
    return QString::fromUtf8(QByteArray::fromHex(out));
}

bool WriteInOtherProcess(const QString &name, const QString &value)
{
    QByteArray out;
    int code = 0;
    return RunSelf({QStringLiteral("set"), name, QString::fromLatin1(value.toUtf8().toHex())}, &out,
                   &code) == QProcess::NormalExit &&
           code == 0;
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home_.isValid()); }
    testsupport::TempSettingsHome home_;
};

TEST_F(SettingsStore, FreshHomeGivesTheDefaults)
{
    EXPECT_EQ(settings::GetSerialPort(), QStringLiteral("COM4"));
    EXPECT_EQ(settings::WorkDir(), QDir::toNativeSeparators(home_.dataHome() + "/Vandrel"));
    EXPECT_EQ(settings::DefaultArduinoPath(),
              QDir::toNativeSeparators(home_.dataHome() + "/Vandrel/arduino-0012X"));
    EXPECT_EQ(settings::GetArduinoPath(), settings::DefaultArduinoPath());
    EXPECT_FALSE(QFileInfo::exists(settings::WorkDir())) << "reading must not create the folder";
}

TEST_F(SettingsStore, ValueWrittenIsReadBackAlsoByAnotherProcess)
{
    ASSERT_TRUE(settings::SetSerialPort(QStringLiteral("COM7")));
    EXPECT_EQ(settings::GetSerialPort(), QStringLiteral("COM7"));
    EXPECT_EQ(ReadInOtherProcess(QStringLiteral("SerialPort")), QStringLiteral("COM7"));
    EXPECT_TRUE(QFileInfo::exists(home_.storeFile()));

    // Same length as before: a read must still see the other process's write.
    ASSERT_TRUE(WriteInOtherProcess(QStringLiteral("SerialPort"), QStringLiteral("COM8")));
    EXPECT_EQ(settings::GetSerialPort(), QStringLiteral("COM8"));

    ASSERT_TRUE(settings::SetArduinoPath(QStringLiteral("/opt/arduino-0012")));
    EXPECT_EQ(settings::GetArduinoPath(), QStringLiteral("/opt/arduino-0012"));
    EXPECT_EQ(ReadInOtherProcess(QStringLiteral("ArduinoPath")), QStringLiteral("/opt/arduino-0012"));
    EXPECT_EQ(settings::GetSerialPort(), QStringLiteral("COM8")) << "one value must not disturb the other";
}

TEST_F(SettingsStore, EmptyTextStaysEmpty)
{
    ASSERT_TRUE(settings::SetSerialPort(QString()));
    ASSERT_TRUE(settings::SetArduinoPath(QStringLiteral("")));
    EXPECT_EQ(settings::GetSerialPort(), QString());
    EXPECT_EQ(settings::GetArduinoPath(), QString());
    EXPECT_EQ(ReadInOtherProcess(QStringLiteral("SerialPort")), QString());
    EXPECT_EQ(ReadInOtherProcess(QStringLiteral("ArduinoPath")), QString());
}

TEST_F(SettingsStore, AwkwardTextComesBackExactly)
{
    const QString texts[] = {
        QStringLiteral(" COM7 "),
        QStringLiteral("C:\\Program Files\\arduino-0012\\"),
        QStringLiteral("\\\\server\\share"),
        QStringLiteral("@COM7"),
        QStringLiteral("@Variant(\\0\\0\\0\\x7f)"),
        QStringLiteral("@@"),
        QStringLiteral("/home/jürgen/Ардуино/端口"),
        QStringLiteral("a, b; c = d"),
        QStringLiteral("\"quoted\" #not a comment"),
        QStringLiteral("tab\there\nand a second line"),
        QStringLiteral("[Setting]"),
        QStringLiteral("com7"),
    };
    for (const QString &text : texts) {
        SCOPED_TRACE(text.toStdString());
        ASSERT_TRUE(settings::SetSerialPort(text));
        ASSERT_TRUE(settings::SetArduinoPath(text));
        EXPECT_EQ(settings::GetSerialPort(), text);
        EXPECT_EQ(settings::GetArduinoPath(), text);
        // The other process parses the file afresh: this is what the next run finds.
        EXPECT_EQ(ReadInOtherProcess(QStringLiteral("SerialPort")), text);
        EXPECT_EQ(ReadInOtherProcess(QStringLiteral("ArduinoPath")), text);
    }
}

TEST_F(SettingsStore, AnotherApplicationNameHasItsOwnSettings)
{
    const QString name = QCoreApplication::applicationName();
    ASSERT_TRUE(settings::SetSerialPort(QStringLiteral("COM7")));
    ASSERT_TRUE(settings::SetArduinoPath(QStringLiteral("/opt/arduino")));

    QCoreApplication::setApplicationName(name + QStringLiteral("-renamed"));
    EXPECT_EQ(settings::GetSerialPort(), QStringLiteral("COM4"));
    EXPECT_EQ(settings::GetArduinoPath(), settings::DefaultArduinoPath());
    QCoreApplication::setApplicationName(name);

    EXPECT_EQ(settings::GetSerialPort(), QStringLiteral("COM7"));
}

// A store that cannot be written: the write reports false, and no later read,
// in this process or another, returns the unsaved text, also once the store
// can be written again. The tests run as root in CI, which ignores folder
// permissions, so each case breaks the store in a way root cannot get round.
class UnwritableStore : public SettingsStore {
protected:
    void ExpectNothingClaimed(const QString &storedPort)
    {
        EXPECT_EQ(settings::GetSerialPort(), storedPort);
        EXPECT_EQ(settings::GetArduinoPath(), settings::DefaultArduinoPath());
        EXPECT_EQ(ReadInOtherProcess(QStringLiteral("SerialPort")), storedPort);
    }
};

TEST_F(UnwritableStore, PlainFileWhereItsFolderShouldBe)
{
    QFile blocker(home_.configHome() + QStringLiteral("/Vandrel"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    EXPECT_FALSE(settings::SetSerialPort(QStringLiteral("COM7")));
    EXPECT_FALSE(settings::SetArduinoPath(QStringLiteral("/opt/arduino")));
    ExpectNothingClaimed(QStringLiteral("COM4"));

    ASSERT_TRUE(blocker.remove());
    ExpectNothingClaimed(QStringLiteral("COM4"));
    EXPECT_TRUE(settings::SetSerialPort(QStringLiteral("COM9")));
    EXPECT_EQ(ReadInOtherProcess(QStringLiteral("SerialPort")), QStringLiteral("COM9"));
}

// Qt keeps the values of a store file that it has read in a per-process cache,
// where a failed write would otherwise stay readable.
TEST_F(UnwritableStore, FolderWhereItsFileShouldBe)
{
    ASSERT_TRUE(settings::SetSerialPort(QStringLiteral("COM5")));
    ASSERT_TRUE(QFile::remove(home_.storeFile()));
    ASSERT_TRUE(QDir().mkpath(home_.storeFile()));

    EXPECT_FALSE(settings::SetSerialPort(QStringLiteral("COM7")));
    EXPECT_FALSE(settings::SetArduinoPath(QStringLiteral("/opt/arduino")));
    ExpectNothingClaimed(QStringLiteral("COM4"));

    ASSERT_TRUE(QDir(home_.storeFile()).removeRecursively());
    ExpectNothingClaimed(QStringLiteral("COM4"));
    EXPECT_TRUE(settings::SetSerialPort(QStringLiteral("COM9")));
    EXPECT_EQ(ReadInOtherProcess(QStringLiteral("SerialPort")), QStringLiteral("COM9"));
}

// As a full disk: the store holds a value and cannot take a new one. Reads
// keep giving the stored value, in this process and the next.
TEST_F(UnwritableStore, NoRoomForTheNewFile)
{
    ASSERT_TRUE(settings::SetSerialPort(QStringLiteral("COM5")));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tiny = saved;
    tiny.rlim_cur = 8; // bytes: less than any store file or lock file
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool written = settings::SetSerialPort(QStringLiteral("COM7 and more"));
    const QString readBack = settings::GetSerialPort();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(readBack, QStringLiteral("COM5"));
    ExpectNothingClaimed(QStringLiteral("COM5"));
    EXPECT_TRUE(settings::SetSerialPort(QStringLiteral("COM9")));
    EXPECT_EQ(ReadInOtherProcess(QStringLiteral("SerialPort")), QStringLiteral("COM9"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], kChildFlag) == 0)
        return RunChild(app.arguments().mid(2));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
