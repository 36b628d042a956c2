// The Version window, driven headless against the simulated safe (and a
// scripted peer for exact bytes), with the settings store in a temporary home.
#include "CVersion.h"
#include "MessageBox.h"
#include "Resource.h"
#include "ScriptedPeer.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "WindowTestSupport.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace res::version;
using namespace std::chrono_literals;
using dialogkit::MessageRecorder;
using testsupport::PeerReply;
using testsupport::ScriptedPeer;
using uitest::Click;
using uitest::OnNextModal;
using uitest::PressKey;
using windowtest::TextOf;

namespace {

const QString kSoftwarePrefix = QStringLiteral("Software version: 1 - ");

// A failing table row is named by its description.
template <class Case>
auto operator<<(std::ostream &out, const Case &c) -> decltype(c.what, out)
{
    return out << c.what;
}

// "Nov  8 2008, 18:17:19": the day is padded with a space.
QDateTime ParseStamp(const QString &stamp)
{
    return QLocale::c().toDateTime(QString(stamp).replace(QLatin1String("  "), QLatin1String(" 0")),
                                   QStringLiteral("MMM dd yyyy, HH:mm:ss"));
}

class VersionWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home.isValid()); }

    // Opens the window, reads its two lines and ends it with `close`.
    struct Shown {
        QString software, firmware;
        int focus = 0;
        int result = -1;
    };
    Shown Open(const std::function<void(QWidget *)> &close = [](QWidget *w) {
        PressKey(w, Qt::Key_Escape);
    })
    {
        Shown shown;
        CVersion dialog;
        OnNextModal([&](QWidget *w) {
            shown.software = TextOf(w, SoftwareVersion);
            shown.firmware = TextOf(w, FirmwareVersion);
            shown.focus = uitest::FocusedId(w);
            windowtest::ExpectEveryLabelFits(w);
            close(w);
        });
        shown.result = dialog.DoModal();
        return shown;
    }

    testsupport::TempSettingsHome home;
    MessageRecorder messages;
};

TEST_F(VersionWindow, ShowsThisBuildsStampAndTheSafesVersionWithFocusOnDone)
{
    testsupport::SimSafeProcess safe;
    ASSERT_TRUE(safe.start()) << safe.errorText();
    ASSERT_TRUE(settings::SetSerialPort(QString::fromStdString(safe.portPath())));

    const Shown shown = Open();

    EXPECT_EQ(shown.firmware, "Cadrelle 1 simulated");
    EXPECT_EQ(shown.focus, Done);
    const QRegularExpression form(
        QStringLiteral(R"(^Software version: 1 - [A-Z][a-z]{2} [ 123]\d \d{4}, \d\d:\d\d:\d\d$)"));
    EXPECT_TRUE(form.match(shown.software).hasMatch()) << shown.software.toStdString();
    // The stamp is the build's own: within the hour of this test's build.
    const QDateTime stamp = ParseStamp(shown.software.mid(kSoftwarePrefix.size()));
    const QDateTime built = ParseStamp(QStringLiteral(__DATE__ ", " __TIME__));
    ASSERT_TRUE(stamp.isValid() && built.isValid());
    EXPECT_LT(std::abs(stamp.secsTo(built)), 3600);
    EXPECT_TRUE(messages.messages.empty());
}

TEST(VersionStamp, ParsesTheCompilersFormIncludingThePaddedDay)
{
    EXPECT_EQ(ParseStamp("Nov  8 2008, 18:17:18"),
              QDateTime(QDate(2008, 11, 8), QTime(18, 17, 18)));
    EXPECT_EQ(ParseStamp("Dec 24 2030, 07:05:09"),
              QDateTime(QDate(2030, 12, 24), QTime(7, 5, 9)));
}

// --- The firmware line for every kind of answer -----------------------------

struct FirmwareCase {
    const char *what;
    std::vector<std::string> safeArgs; // the simulated safe's arguments; {"peer", bytes}: a scripted peer
    QString expected;
};

class VersionFirmwareLine : public VersionWindow,
                            public ::testing::WithParamInterface<FirmwareCase> {};

TEST_P(VersionFirmwareLine, ShowsTheReplyAsSentOrUnknown)
{
    const FirmwareCase c = GetParam();
    testsupport::SimSafeProcess safe;
    ScriptedPeer peer;
    const bool scripted = !c.safeArgs.empty() && c.safeArgs[0] == "peer";
    if (scripted) {
        ASSERT_TRUE(peer.isOpen());
        peer.answer({PeerReply::Bytes(c.safeArgs[1])});
        ASSERT_TRUE(settings::SetSerialPort(QString::fromStdString(peer.portPath())));
    } else {
        const bool gone = !c.safeArgs.empty() && c.safeArgs[0] == "gone";
        ASSERT_TRUE(safe.start(gone ? std::vector<std::string>{} : c.safeArgs)) << safe.errorText();
        ASSERT_TRUE(settings::SetSerialPort(QString::fromStdString(safe.portPath())));
        if (gone)
            safe.stop();
    }

    EXPECT_EQ(Open().firmware, c.expected);
    if (scripted) {
        EXPECT_EQ(peer.commands(), std::vector<std::string>{"V.V.V."});
    }
    EXPECT_TRUE(messages.messages.empty()) << "no message box, whatever the answer";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, VersionFirmwareLine,
    ::testing::Values(
        FirmwareCase{"ItsOwnVersion", {}, "Cadrelle 1 simulated"},
        FirmwareCase{"TextAsSent", {"--reply", "  Cadrelle 0-9 beta, 16 MHz "}, "  Cadrelle 0-9 beta, 16 MHz "},
        FirmwareCase{"ThreeFullStopsAlone", {"peer", "..."}, ""},
        FirmwareCase{"CopiesDisagree", {"--misbehave", "disagree"}, "Unknown"},
        FirmwareCase{"ReplyCut", {"--misbehave", "cut"}, "Unknown"},
        FirmwareCase{"Silent", {"peer", ""}, "Unknown"},
        FirmwareCase{"SafeGone", {"gone"}, "Unknown"}),
    [](const auto &info) { return std::string(info.param.what); });

// --- Every way of closing ----------------------------------------------------

struct CloseCase {
    const char *what;
    std::function<void(QWidget *)> close;
    int result;
};

class VersionClosing : public VersionWindow, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(VersionClosing, ClosesAndWritesNothing)
{
    ASSERT_TRUE(settings::SetSerialPort(QString())); // no port: "Unknown" at once
    QFile store(home.storeFile());
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    const QByteArray before = store.readAll();
    store.close();

    EXPECT_EQ(Open(GetParam().close).result, GetParam().result);

    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    EXPECT_EQ(store.readAll(), before);
    EXPECT_TRUE(messages.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, VersionClosing,
    ::testing::Values(CloseCase{"Done", [](QWidget *w) { Click(w, Done); }, dialogkit::IDOK},
                      CloseCase{"Enter", [](QWidget *w) { PressKey(w, Qt::Key_Return); }, dialogkit::IDOK},
                      CloseCase{"Escape", [](QWidget *w) { PressKey(w, Qt::Key_Escape); },
                                dialogkit::IDCANCEL},
                      CloseCase{"CloseBox", [](QWidget *w) { w->close(); }, dialogkit::IDCANCEL}),
    [](const auto &info) { return std::string(info.param.what); });

} // namespace
