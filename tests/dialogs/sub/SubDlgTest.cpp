// The Sub window, driven headless through clicks and key presses, talking to
// the simulated safe (a separate program on its own pseudo-terminal) or, where
// the safe must misbehave or the bytes on the wire matter, to a scripted peer.
// The port comes from the real settings store in a temporary home; message
// boxes are recorded.
#include "KeyCodes.h"
#include "MessageBox.h"
#include "RemainingTime.h"
#include "Resource.h"
#include "SafeExchange.h"
#include "ScriptedPeer.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "SubDlg.h"
#include "TempSettingsHome.h"
#include "UiTest.h"

#include <QEvent>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

using namespace res::sub;
using namespace std::chrono_literals;
using testsupport::PeerReply;
using namespace uitest;

namespace {

const QString kNoConnection = QStringLiteral("Problem connecting to safe!");
const QString kHidden = QStringLiteral("Safe locked for limited time, but time hidden");
const QString kLockGood = QStringLiteral("Lock code GOOD, sending to safe");
const QString kUnlockGood = QStringLiteral("Unlock code GOOD, sending to safe");
const QString kRefused = QStringLiteral("Safe REFUSED use of code");
const QString kBadLock = QStringLiteral("Lock code not the right format");
const QString kBadUnlock = QStringLiteral("Unlock code not the right format");

// The text of the code box or the status line.
QString TextOf(QWidget *w, int id)
{
    return Control(w, id)->property("text").toString();
}

// Types `text` into the code box as key presses that carry their characters,
// as from a keyboard layout that has them (QTest::keyClicks knows only ASCII).
void TypeCode(QWidget *w, const QString &text)
{
    TypeInto(w, Code, QString());
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, Control(w, Code), Qt::Key_unknown, QString(ch),
                            Qt::NoModifier);
}

std::string Copies(const std::string &copy)
{
    return copy + "." + copy + "." + copy + ".";
}

const std::string kTimeCommand = Copies("T");

std::int64_t Now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

// The status a time reply of some count in [low, high] gives, read at some
// moment in [from, to]: the safe's count and the window's clock both move
// while a test runs.
bool IsRemainingStatus(const QString &status, std::int32_t low, std::int32_t high,
                       std::int64_t from, std::int64_t to)
{
    for (std::int64_t n = low; n <= high; ++n)
        for (std::int64_t t = from; t <= to; ++t)
            if (status.toStdString() == safetime::FormatRemaining(static_cast<std::int32_t>(n), t))
                return true;
    return false;
}

// Takes the status line's text at the moment the window is first shown.
struct ShowWatcher : QObject {
    std::optional<QString> statusAtShow;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !statusAtShow)
            statusAtShow = watched->findChild<QLabel *>(QString::number(Status))->text();
        return false;
    }
};

// The scripted peer is the safe unless a test starts the simulated one.
class SubWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home_.isValid() && peer_.isOpen());
        UsePort(peer_.portPath());
    }

    static void UsePort(const std::string &name)
    {
        ASSERT_TRUE(settings::SetSerialPort(QString::fromStdString(name)));
    }

    void StartSimulatedSafe()
    {
        ASSERT_TRUE(safe_.start()) << safe_.errorText();
        UsePort(safe_.portPath());
    }

    testsupport::TempSettingsHome home_;
    dialogkit::MessageRecorder messages_;
    testsupport::ScriptedPeer peer_;
    testsupport::SimSafeProcess safe_;
};

// The simulated safe, unlocked at first: locked, then refused an unlock code
// of another lock, then unlocked.
TEST_F(SubWindow, OpensWithTheTimeShownThenLocksAndUnlocksTheSimulatedSafe)
{
    StartSimulatedSafe();
    const keycodes::KeyCodes pair = keycodes::MakeKeyCodes(3600, 0);
    const keycodes::KeyCodes other = keycodes::MakeKeyCodesAt(Now() + 7, 3600, 0);
    ASSERT_NE(pair.unlockCode, other.unlockCode);

    // What the safe knew when each message came up: the "GOOD" message comes
    // before the code goes out, the outcome after the safe took it.
    std::vector<std::string> safeAt;
    messages_.onMessage = [&](const dialogkit::RecordedMessage &) {
        const std::string status = safe_.control("status") + ' ';
        const std::size_t at = status.find("lock=");
        safeAt.push_back(status.substr(at, status.find(' ', at) - at));
    };
    const auto apply = [&](QWidget *w, const std::string &code, const QStringList &expected,
                           std::int32_t low, std::int32_t high) {
        messages_.clear();
        safeAt.clear();
        TypeInto(w, Code, QString::fromStdString(code));
        const std::int64_t from = Now();
        Click(w, ApplyCode);
        EXPECT_EQ(messages_.texts(), expected);
        const QString status = TextOf(w, Status);
        EXPECT_TRUE(IsRemainingStatus(status, low, high, from, Now())) << status.toStdString();
        EXPECT_EQ(TextOf(w, Code), QString::fromStdString(code)) << "the code box is never cleared";
    };

    SubDlg dialog;
    ShowWatcher watcher;
    dialog.installEventFilter(&watcher);
    const std::int64_t from = Now();
    OnNextModal([&](QWidget *w) {
        // The first time update came before the window was shown.
        const QString atShow = watcher.statusAtShow.value_or("not shown");
        EXPECT_TRUE(IsRemainingStatus(atShow, 0, 0, from, Now())) << atShow.toStdString();
        EXPECT_EQ(TextOf(w, Status), atShow);
        EXPECT_EQ(FocusedId(w), dialogkit::IDCANCEL);
        EXPECT_EQ(Control(w, Code)->accessibleName(), "Lock or unlock code");

        apply(w, pair.lockCode, {kLockGood, "Safe locked for 3600 seconds"}, 3590, 3600);
        EXPECT_EQ(safeAt, (std::vector<std::string>{"lock=none", "lock=timed"}));
        // Any well-formed unlock code passes the window's own check; the
        // safe refuses one that belongs to another lock.
        apply(w, other.unlockCode, {kUnlockGood, kRefused}, 3590, 3600);
        apply(w, pair.unlockCode, {kUnlockGood, "Safe unlocked"}, 0, 0);
        EXPECT_EQ(safeAt, (std::vector<std::string>{"lock=timed", "lock=none"}));
        w->close();
    });
    dialog.DoModal();
}

// "Apply code" against a safe that answers as scripted: the messages, and
// what went out on the wire.
struct ApplyCase {
    const char *name;
    std::string typed;     // the code box's text, sent exactly so when it is sent
    QStringList messages;  // in order
    std::string codeReply; // the safe's answer to the code; "": the code must not be sent
};

void PrintTo(const ApplyCase &c, std::ostream *os)
{
    *os << c.name;
}

const keycodes::KeyCodes kPair = keycodes::MakeKeyCodesAt(123456, 3600, 0);

std::string LockCode(std::int32_t seconds, int hide)
{
    return keycodes::MakeKeyCodesAt(98765, seconds, hide).lockCode;
}

std::string WithChangedDigit(std::string code, std::size_t at)
{
    code[at] = code[at] == '0' ? '1' : '0';
    return code;
}

class SubApplies : public SubWindow, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(SubApplies, MessagesFollowTheCheckAndTheSafesAnswer)
{
    const ApplyCase &c = GetParam();
    const bool sent = !c.codeReply.empty();
    const PeerReply hidden = PeerReply::Bytes(Copies("X"));
    peer_.answer(sent ? std::vector{hidden, PeerReply::Bytes(c.codeReply), hidden}
                      : std::vector{hidden, hidden});
    SubDlg dialog;
    OnNextModal([&](QWidget *w) {
        TypeCode(w, QString::fromStdString(c.typed));
        Click(w, ApplyCode);
        EXPECT_EQ(messages_.texts(), c.messages);
        EXPECT_EQ(TextOf(w, Status), kHidden) << "the time update that ends every \"Apply code\"";
        w->close();
    });
    dialog.DoModal();
    const std::vector<std::string> onTheWire =
        sent ? std::vector{kTimeCommand, Copies(c.typed), kTimeCommand}
             : std::vector{kTimeCommand, kTimeCommand};
    EXPECT_EQ(peer_.commands(), onTheWire);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SubApplies,
    ::testing::Values(
        // The duration decides before the hide flag, and only bit 0 of the
        // hide value hides the time.
        ApplyCase{"UntilUnlockedHidden", LockCode(0, 1),
                  {kLockGood, "Safe locked until unlock code used"}, Copies("Y")},
        ApplyCase{"HideBitZeroClear", LockCode(120, 2), {kLockGood, "Safe locked for 120 seconds"},
                  Copies("Y")},
        ApplyCase{"HideBitZeroSetAndMore", LockCode(120, 3), {kLockGood, kHidden}, Copies("Y")},
        ApplyCase{"NegativeDuration", LockCode(-300, 0),
                  {kLockGood, "Safe locked for -300 seconds"}, Copies("Y")},
        // Only a whole reply of "Y" is acceptance.
        ApplyCase{"LowerCaseY", kPair.lockCode, {kLockGood, kRefused}, Copies("y")},
        ApplyCase{"YWithMoreAfterIt", kPair.unlockCode, {kUnlockGood, kRefused}, Copies("Y ")},
        ApplyCase{"CopiesDisagree", kPair.lockCode, {kLockGood, kNoConnection}, "Y.Y.N."},
        // Upper-case digits and text after the code go out as typed, in the
        // local 8-bit encoding (UTF-8 here).
        ApplyCase{"SentAsTyped", QString::fromStdString(kPair.lockCode).toUpper().toStdString() +
                      " please \xc3\xbc\xef\xbc\x8e",
                  {kLockGood, "Safe locked for 3600 seconds"}, Copies("Y")},
        // Refused before anything is sent.
        ApplyCase{"Empty", "", {"Bad format"}, ""},
        ApplyCase{"LeadingBlank", " " + kPair.lockCode, {"Bad format"}, ""},
        ApplyCase{"LowerCaseL", "l" + kPair.lockCode.substr(1), {"Bad format"}, ""},
        ApplyCase{"LowerCaseU", "u" + kPair.unlockCode.substr(1), {"Bad format"}, ""},
        ApplyCase{"LockCheckWordWrong", WithChangedDigit(kPair.lockCode, 7), {kBadLock}, ""},
        ApplyCase{"UnlockCheckWordWrong", WithChangedDigit(kPair.unlockCode, 3), {kBadUnlock}, ""},
        // A full stop would end the command on the wire early and make the
        // rest another command.
        ApplyCase{"LockFollowedByStopAndCommand", kPair.lockCode + ".Y", {kBadLock}, ""},
        ApplyCase{"LockFollowedByStop", kPair.lockCode + ".", {kBadLock}, ""},
        ApplyCase{"UnlockFollowedByStopAndCommand", kPair.unlockCode + ".X", {kBadUnlock}, ""},
        ApplyCase{"UnlockWithStopFarBehind", kPair.unlockCode + " ok then. Y", {kBadUnlock}, ""}),
    [](const auto &info) { return std::string(info.param.name); });

// A safe silent at first delays the window at most by the exchange's bound
// and shows the failure in the status line, not in a message; "Update time"
// then shows each answer. (How each kind of answer reads is the time-text
// tests' business.)
TEST_F(SubWindow, TimeFromASilentSafeThenFromItsAnswers)
{
    using namespace safeexchange;
    // The exchange's own bound: three writes of "T." and one read.
    const auto bound = 3 * WriteTimeout(2) + kReadTotalTimeout;
    peer_.answer({PeerReply::Silence(), PeerReply::Bytes(Copies("93784")),
                  PeerReply::Bytes(Copies("99999999999")), PeerReply::Bytes(Copies("X"))});
    SubDlg dialog;
    ShowWatcher watcher;
    dialog.installEventFilter(&watcher);
    const auto start = std::chrono::steady_clock::now();
    std::chrono::milliseconds untilShown{};
    OnNextModal([&](QWidget *w) {
        untilShown = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        EXPECT_EQ(watcher.statusAtShow, kNoConnection);
        for (const std::int32_t seconds : {93784, 2147483647}) {
            const std::int64_t from = Now();
            Click(w, UpdateTime);
            EXPECT_TRUE(IsRemainingStatus(TextOf(w, Status), seconds, seconds, from, Now()))
                << TextOf(w, Status).toStdString();
        }
        Click(w, UpdateTime);
        EXPECT_EQ(TextOf(w, Status), kHidden);
        w->close();
    });
    dialog.DoModal();
    std::cout << "silent safe: window shown after " << untilShown.count() << " ms (bound "
              << bound.count() << " ms)\n";
    EXPECT_GE(untilShown, kReadTotalTimeout - 100ms) << "the window did not wait for the safe";
    EXPECT_LT(untilShown, bound + 4000ms);
    EXPECT_TRUE(messages_.messages.empty());
    EXPECT_EQ(peer_.commands(), std::vector<std::string>(4, kTimeCommand));
}

TEST_F(SubWindow, EnterPressesTheFocusedButtonAndInTheCodeBoxEndsTheWindowWithoutApplying)
{
    peer_.answerAlways(PeerReply::Bytes(Copies("Y")));
    SubDlg dialog;
    OnNextModal([&](QWidget *w) {
        TypeInto(w, Code, QString::fromStdString(kPair.unlockCode));
        PressKey(w, Qt::Key_Tab);
        EXPECT_EQ(FocusedId(w), ApplyCode);
        PressKey(w, Qt::Key_Return);
        EXPECT_EQ(messages_.texts(), QStringList({kUnlockGood, "Safe unlocked"}));
        PressKey(w, Qt::Key_Tab);
        EXPECT_EQ(FocusedId(w), UpdateTime);
        TypeInto(w, Code, QString::fromStdString(kPair.lockCode));
        PressKey(w, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.DoModal(), dialogkit::IDOK);
    EXPECT_EQ(messages_.texts().size(), 2);
    const std::vector<std::string> sent = {kTimeCommand, Copies(kPair.unlockCode), kTimeCommand};
    EXPECT_EQ(peer_.commands(), sent);
}

TEST_F(SubWindow, SafeThatCannotBeReachedIsReportedInAMessageAndTheStatusLine)
{
    UsePort(home_.path().toStdString() + "/no-such-port");
    SubDlg dialog;
    OnNextModal([&](QWidget *w) {
        EXPECT_EQ(TextOf(w, Status), kNoConnection);
        TypeInto(w, Code, QString::fromStdString(kPair.lockCode));
        Click(w, ApplyCode);
        EXPECT_EQ(messages_.texts(), QStringList({kLockGood, kNoConnection}));
        EXPECT_EQ(TextOf(w, Status), kNoConnection);
        w->close();
    });
    dialog.DoModal();
}

} // namespace
