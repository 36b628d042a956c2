// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store through the real QSettings store, in a temporary home.
// A second copy of the program is this test program started again with
// --store-child; it reads and writes the same store from its own process.

#include "Settings.h"
#include "TempSettingsHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QSettings>
#include <QTextStream>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <sys/resource.h>

QT_BEGIN_NAMESPACE
void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

using namespace Qt::Literals::StringLiterals;
using Home = testsupport::TempSettingsHome;

constexpr char kChildFlag[] = "--store-child";

// In the child: "get <name>" prints the value as hex of its UTF-8 bytes;
// "set <name> <hex>" stores it and exits 0 when the store kept it.
int RunChild(const QStringList &args)
{
    const bool port = args.value(1) == u"SerialPort"_s;
    if (args.value(0) == u"get"_s) {
        const std::string value = port ? settings::GetSerialPort() : settings::GetArduinoPath();
        QTextStream(stdout) << QByteArray::fromStdString(value).toHex() << Qt::endl;
        return 0;
    }
    if (args.value(0) == u"set"_s) {
        const std::string value = QByteArray::fromHex(args.value(2).toLatin1()).toStdString();
        return (port ? settings::SetSerialPort(value) : settings::SetArduinoPath(value)) ? 0 : 1;
    }
    return 2;
}

// What another copy of the program printed, when it ran and exited 0.
std::optional<QByteArray> RunSelf(const QStringList &args)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), QStringList{kChildFlag} + args);
    if (!child.waitForFinished(20000)) {
        child.kill();
        child.waitForFinished();
        return std::nullopt;
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return std::nullopt;
    return child.readAllStandardOutput().trimmed();
}

QString ReadInOtherProcess(const QString &name)
{
    const std::optional<QByteArray> out = RunSelf({u"get"_s, name});
    return out ? QString::fromUtf8(QByteArray::fromHex(*out)) : u"<child failed>"_s;
}

bool WriteInOtherProcess(const QString &name, const QString &value)
{
    return RunSelf({u"set"_s, name, QString::fromLatin1(value.toUtf8().toHex())}).has_value();
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home_.isValid()); }
    Home home_;
};

// Only the program's own file counts: an organisation-wide file beside it
// and the system-wide files, which QSettings reads by default for values
// missing from the user's file, are never read.
TEST_F(SettingsStore, FreshHomeGivesTheDefaultsWhateverOtherFilesSay)
{
    const QByteArray other = "[Setting]\nSerialPort=COM9\nArduinoPath=/opt/elsewhere\n";
    const QString system = home_.path() + u"/system"_s;
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, system);
    for (const QString &file : {home_.configHome() + u"/Vandrel.conf"_s, system + u"/Vandrel.conf"_s,
                                system + u"/Vandrel/"_s + QCoreApplication::applicationName() +
                                    u".conf"_s}) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(other) == other.size());
    }

    EXPECT_EQ(settings::GetSerialPort(), "COM4");
    EXPECT_EQ(settings::WorkDir(), (home_.dataHome() + "/Vandrel").toStdString());
    EXPECT_EQ(settings::DefaultArduinoPath(), (home_.dataHome() + "/Vandrel/arduino-0012X").toStdString());
    EXPECT_EQ(settings::GetArduinoPath(), settings::DefaultArduinoPath());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(settings::WorkDir()))) << "reading must not create the folder";
    EXPECT_EQ(ReadInOtherProcess(u"SerialPort"_s), u"COM4"_s);
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope,
                      QLibraryInfo::path(QLibraryInfo::SettingsPath));
}

// Each value written is read back as it was, here and by the next run (another
// process parses the file afresh), the empty text included (present in the
// store, it is not the default); the two values never share a text here, so
// one cannot stand in for the other.
TEST_F(SettingsStore, AnyTextComesBackExactlyAlsoInAnotherProcess)
{
    const QString texts[] = {
        QString(),
        u" COM7 "_s,
        u"C:\\Program Files\\arduino-0012\\"_s,
        u"@COM7"_s,
        u"@Variant(\\0\\0\\0\\x7f)"_s,
        u"/home/jürgen/Ардуино/端口"_s,
        u"\"quoted\" #not a comment"_s,
        u"tab\there\nand a second line"_s,
        u"COM7"_s, // last: see the other process's write below
    };
    const std::size_t n = std::size(texts);
    for (std::size_t i = 0; i < n; ++i) {
        const QString &port = texts[i], &path = texts[(i + 1) % n];
        SCOPED_TRACE(port.toStdString() + " / " + path.toStdString());
        ASSERT_TRUE(settings::SetSerialPort(port.toStdString()));
        ASSERT_TRUE(settings::SetArduinoPath(path.toStdString()));
        EXPECT_EQ(settings::GetSerialPort(), port.toStdString());
        EXPECT_EQ(settings::GetArduinoPath(), path.toStdString());
        EXPECT_EQ(ReadInOtherProcess(u"SerialPort"_s), port);
        EXPECT_EQ(ReadInOtherProcess(u"ArduinoPath"_s), path);
    }

    // The port as another process writes it, with a file of the same length
    // as before: a read here must not take it for the file it has read.
    ASSERT_TRUE(WriteInOtherProcess(u"SerialPort"_s, u"COM8"_s));
    EXPECT_EQ(settings::GetSerialPort(), "COM8");
}

// A store that cannot be written: the write reports false, and no later read,
// in this process or another, returns the unsaved text, also once the store
// can be written again. The tests run as root in CI, which ignores folder
// permissions, so each case breaks the store in a way root cannot get round.
TEST(UnwritableStore, WritesFailAndTheUnsavedTextIsNeverReadBack)
{
    rlimit fileSize{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &fileSize), 0);
    struct Case {
        const char *what;
        QString stored;   // written while the store still works; empty: nothing
        QString readBack; // the port read back after the failed write
        std::function<bool(const Home &)> breakStore, mend;
    };
    const Case cases[] = {
        {"a plain file where its folder should be", {}, u"COM4"_s,
         [](const Home &h) { return QFile(h.configHome() + "/Vandrel").open(QIODevice::WriteOnly); },
         [](const Home &h) { return QFile::remove(h.configHome() + "/Vandrel"); }},
        // Qt keeps the values of a store file that it has read in a
        // per-process cache, where a failed write would otherwise stay.
        {"a folder where its file should be", u"COM5"_s, u"COM4"_s,
         [](const Home &h) { return QFile::remove(h.storeFile()) && QDir().mkpath(h.storeFile()); },
         [](const Home &h) { return QDir(h.storeFile()).removeRecursively(); }},
        // As a full disk: the store holds a value and cannot take a new one.
        {"no room for a new file", u"COM5"_s, u"COM5"_s,
         [&](const Home &) {
             rlimit tiny = fileSize;
             tiny.rlim_cur = 8; // bytes: less than any store file or lock file
             return setrlimit(RLIMIT_FSIZE, &tiny) == 0;
         },
         [&](const Home &) { return setrlimit(RLIMIT_FSIZE, &fileSize) == 0; }},
    };
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Home home;
        ASSERT_TRUE(home.isValid());
        if (!c.stored.isEmpty()) {
            ASSERT_TRUE(settings::SetSerialPort(c.stored.toStdString()));
        }

        ASSERT_TRUE(c.breakStore(home));
        const bool portWritten = settings::SetSerialPort("COM7 and more");
        const bool pathWritten = settings::SetArduinoPath("/opt/arduino");
        const QString portWhileBroken = QString::fromStdString(settings::GetSerialPort());
        const std::string pathWhileBroken = settings::GetArduinoPath();
        ASSERT_TRUE(c.mend(home));

        EXPECT_FALSE(portWritten);
        EXPECT_FALSE(pathWritten);
        EXPECT_EQ(portWhileBroken, c.readBack);
        EXPECT_EQ(pathWhileBroken, settings::DefaultArduinoPath());
        EXPECT_EQ(settings::GetSerialPort(), c.readBack.toStdString());
        EXPECT_EQ(settings::GetArduinoPath(), settings::DefaultArduinoPath());
        EXPECT_EQ(ReadInOtherProcess(u"SerialPort"_s), c.readBack);
        // The mended store takes the next write.
        EXPECT_TRUE(settings::SetSerialPort("COM9"));
        EXPECT_EQ(ReadInOtherProcess(u"SerialPort"_s), u"COM9"_s);
    }
    std::signal(SIGXFSZ, oldHandler);
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
