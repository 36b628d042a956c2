// The Sub window, driven headless through clicks and key presses, talking to
// the simulated safe (a separate program on its own pseudo-terminal) or, where
// the safe must misbehave, to a scripted peer. The port comes from the real
// settings store in a temporary home; message boxes are recorded.
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
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

using namespace res::sub;
using namespace std::chrono_literals;
using dialogkit::MessageRecorder;
using testsupport::PeerReply;
using testsupport::ScriptedPeer;
using testsupport::SimSafeProcess;
using uitest::Click;
using uitest::Control;
using uitest::OnNextModal;
using uitest::PressKey;
using uitest::TypeInto;

namespace {

const QString kNoConnection = QStringLiteral("Problem connecting to safe!");
const QString kHidden = QStringLiteral("Safe locked for limited time, but time hidden");

QString StatusOf(QWidget *w)
{
    return qobject_cast<QLabel *>(Control(w, Status))->text();
}

QString CodeBoxOf(QWidget *w)
{
    return qobject_cast<QLineEdit *>(Control(w, Code))->text();
}

// Types `text` into the edit box as a user would. QTest::keyClicks knows
// only ASCII keys; other characters come as key presses that carry only
// their text, as from a keyboard layout that has them.
void TypeText(QWidget *w, int id, const QString &text)
{
    auto *edit = qobject_cast<QLineEdit *>(Control(w, id));
    ASSERT_NE(edit, nullptr);
    TypeInto(w, id, QString());
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80)
            QTest::keyClick(edit, ch.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
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

// The status line's text at the moment the window is first shown.
class ShowWatcher : public QObject {
public:
    QString statusAtShow;
    bool shown = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !shown) {
            shown = true;
            if (auto *label = watched->findChild<QLabel *>(QString::number(Status)))
                statusAtShow = label->text();
        }
        return false;
    }
};

class SubWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home_.isValid()); }

    static void UsePort(const std::string &name)
    {
        ASSERT_TRUE(settings::SetSerialPort(QString::fromStdString(name)));
    }

    testsupport::TempSettingsHome home_;
    MessageRecorder messages_;
};

class SubWithSimSafe : public SubWindow {
protected:
    void SetUp() override
    {
        SubWindow::SetUp();
        ASSERT_TRUE(safe_.start()) << safe_.errorText();
        UsePort(safe_.portPath());
    }

    SimSafeProcess safe_;
};

class SubWithPeer : public SubWindow {
protected:
    void SetUp() override
    {
        SubWindow::SetUp();
        ASSERT_TRUE(peer_.isOpen());
        UsePort(peer_.portPath());
    }

    ScriptedPeer peer_;
};

} // namespace

TEST_F(SubWithSimSafe, OpensWithTheFirstTimeUpdateShownAndTheFocusOnClose)
{
    SubDlg dialog;
    ShowWatcher watcher;
    dialog.installEventFilter(&watcher);
    const std::int64_t from = Now();
    bool ran = false;
    OnNextModal([&](QWidget *w) {
        ran = true;
        const std::int64_t to = Now();
        EXPECT_EQ(w->windowTitle(), "Sub");
        EXPECT_TRUE(watcher.shown);
        // An unlocked safe has no time left.
        EXPECT_TRUE(IsRemainingStatus(watcher.statusAtShow, 0, 0, from, to))
            << watcher.statusAtShow.toStdString();
        EXPECT_EQ(StatusOf(w), watcher.statusAtShow);
        EXPECT_EQ(CodeBoxOf(w), "");
        EXPECT_EQ(uitest::FocusedId(w), dialogkit::IDCANCEL);
        EXPECT_EQ(Control(w, Code)->accessibleName(), "Lock or unlock code");
        PressKey(w, Qt::Key_Return); // presses the focused "Close"
    });
    EXPECT_EQ(dialog.DoModal(), dialogkit::IDCANCEL);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(SubWithSimSafe, LockThenWrongAndRightUnlockCode)
{
    const keycodes::KeyCodes pair = keycodes::MakeKeyCodes(3600, 0);
    const keycodes::KeyCodes other = keycodes::MakeKeyCodesAt(Now() + 7, 3600, 0);
    ASSERT_NE(pair.unlockCode, other.unlockCode);

    // What the safe knew when each message came up: the "GOOD" message comes
    // before the code goes out, the outcome after the safe took it.
    std::vector<std::string> safeAtMessage;
    messages_.onMessage = [&](const dialogkit::RecordedMessage &) {
        safeAtMessage.push_back(safe_.control("status"));
    };

    SubDlg dialog;
    OnNextModal([&](QWidget *w) {
        TypeInto(w, Code, QString::fromStdString(pair.lockCode));
        std::int64_t from = Now();
        Click(w, ApplyCode);
        EXPECT_EQ(messages_.texts(),
                  QStringList({"Lock code GOOD, sending to safe", "Safe locked for 3600 seconds"}));
        ASSERT_EQ(safeAtMessage.size(), 2u);
        EXPECT_NE(safeAtMessage[0].find("lock=none"), std::string::npos) << safeAtMessage[0];
        EXPECT_NE(safeAtMessage[1].find("lock=timed"), std::string::npos) << safeAtMessage[1];
        EXPECT_TRUE(IsRemainingStatus(StatusOf(w), 3590, 3600, from, Now()))
            << StatusOf(w).toStdString();
        EXPECT_EQ(CodeBoxOf(w), QString::fromStdString(pair.lockCode));

        // Any well-formed unlock code passes the window's own check; the
        // safe refuses one that belongs to another lock.
        messages_.clear();
        TypeInto(w, Code, QString::fromStdString(other.unlockCode));
        from = Now();
        Click(w, ApplyCode);
        EXPECT_EQ(messages_.texts(),
                  QStringList({"Unlock code GOOD, sending to safe", "Safe REFUSED use of code"}));
        EXPECT_TRUE(IsRemainingStatus(StatusOf(w), 3590, 3600, from, Now()))
            << StatusOf(w).toStdString();

        messages_.clear();
        TypeInto(w, Code, QString::fromStdString(pair.unlockCode));
        from = Now();
        Click(w, ApplyCode);
        EXPECT_EQ(messages_.texts(),
                  QStringList({"Unlock code GOOD, sending to safe", "Safe unlocked"}));
        EXPECT_TRUE(IsRemainingStatus(StatusOf(w), 0, 0, from, Now())) << StatusOf(w).toStdString();
        EXPECT_NE(safe_.control("status").find("lock=none"), std::string::npos);
        w->close();
    });
    dialog.DoModal();
}

struct LockCase {
    const char *name;
    std::int32_t seconds;
    int hide;
    const char *message;
    // The status line afterwards: hidden, or a count in [low, high].
    bool hiddenStatus;
    std::int32_t low, high;
};

void PrintTo(const LockCase &c, std::ostream *os)
{
    *os << c.name;
}

class SubLocks : public SubWithSimSafe, public ::testing::WithParamInterface<LockCase> {};

TEST_P(SubLocks, AcceptedLockCodeTellsHowTheSafeIsLocked)
{
    const LockCase c = GetParam();
    const keycodes::KeyCodes pair = keycodes::MakeKeyCodes(c.seconds, c.hide);
    SubDlg dialog;
    OnNextModal([&](QWidget *w) {
        TypeInto(w, Code, QString::fromStdString(pair.lockCode));
        const std::int64_t from = Now();
        Click(w, ApplyCode);
        EXPECT_EQ(messages_.texts(), QStringList({"Lock code GOOD, sending to safe", c.message}));
        if (c.hiddenStatus) {
            EXPECT_EQ(StatusOf(w), kHidden);
        } else {
            EXPECT_TRUE(IsRemainingStatus(StatusOf(w), c.low, c.high, from, Now()))
                << StatusOf(w).toStdString();
        }
        w->close();
    });
    dialog.DoModal();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SubLocks,
    ::testing::Values(
        LockCase{"Timed", 3600, 0, "Safe locked for 3600 seconds", false, 3590, 3600},
        // The duration decides before the hide flag.
        LockCase{"UntilUnlockedHidden", 0, 1, "Safe locked until unlock code used", true, 0, 0},
        LockCase{"UntilUnlocked", 0, 0, "Safe locked until unlock code used", false, 2147483647,
                 2147483647},
        LockCase{"TimedHidden", 60, 1, "Safe locked for limited time, but time hidden", true, 0, 0},
        // Only bit 0 of the hide value hides the time.
        LockCase{"HideBitZeroClear", 120, 2, "Safe locked for 120 seconds", false, 110, 120},
        LockCase{"HideBitZeroSetAndMore", 120, 3, "Safe locked for limited time, but time hidden",
                 true, 0, 0}),
    [](const auto &info) { return std::string(info.param.name); });

// A code exchange with a safe that answers as scripted: the messages, and
// what went out on the wire.
struct ExchangeCase {
    const char *name;
    std::string typed;       // the code box's text
    PeerReply codeReply;     // the safe's answer to the code
    QStringList messages;    // in order
    std::string sentCode;    // the code's command as framed on the wire
};

const keycodes::KeyCodes kPair = keycodes::MakeKeyCodesAt(123456, 3600, 0);
const keycodes::KeyCodes kNegative = keycodes::MakeKeyCodesAt(98765, -300, 0);

std::string Upper(std::string code)
{
    for (char &c : code)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    return code;
}

void PrintTo(const ExchangeCase &c, std::ostream *os)
{
    *os << c.name;
}

class SubExchanges : public SubWithPeer, public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(SubExchanges, MessagesFollowTheSafesAnswer)
{
    const ExchangeCase &c = GetParam();
    peer_.answer({PeerReply::Bytes(Copies("0")), c.codeReply, PeerReply::Bytes(Copies("X"))});
    SubDlg dialog;
    OnNextModal([&](QWidget *w) {
        TypeText(w, Code, QString::fromStdString(c.typed));
        Click(w, ApplyCode);
        EXPECT_EQ(messages_.texts(), c.messages);
        // The time update that ends every "Apply code" came through.
        EXPECT_EQ(StatusOf(w), kHidden);
        EXPECT_EQ(CodeBoxOf(w), QString::fromStdString(c.typed));
        w->close();
    });
    dialog.DoModal();
    const std::vector<std::string> sent = {kTimeCommand, c.sentCode, kTimeCommand};
    EXPECT_EQ(peer_.commands(), sent);
}

const QString kLockGood = QStringLiteral("Lock code GOOD, sending to safe");
const QString kUnlockGood = QStringLiteral("Unlock code GOOD, sending to safe");
const QString kRefused = QStringLiteral("Safe REFUSED use of code");

INSTANTIATE_TEST_SUITE_P(
    Cases, SubExchanges,
    ::testing::Values(
        ExchangeCase{"NegativeDuration", kNegative.lockCode, PeerReply::Bytes(Copies("Y")),
                     {kLockGood, "Safe locked for -300 seconds"}, Copies(kNegative.lockCode)},
        ExchangeCase{"UnlockAccepted", kPair.unlockCode, PeerReply::Bytes(Copies("Y")),
                     {kUnlockGood, "Safe unlocked"}, Copies(kPair.unlockCode)},
        ExchangeCase{"LowerCaseY", kPair.lockCode, PeerReply::Bytes(Copies("y")),
                     {kLockGood, kRefused}, Copies(kPair.lockCode)},
        ExchangeCase{"YWithMoreAfterIt", kPair.lockCode, PeerReply::Bytes(Copies("Yx")),
                     {kLockGood, kRefused}, Copies(kPair.lockCode)},
        ExchangeCase{"YAndABlank", kPair.unlockCode, PeerReply::Bytes(Copies("Y ")),
                     {kUnlockGood, kRefused}, Copies(kPair.unlockCode)},
        ExchangeCase{"EmptyReply", kPair.unlockCode, PeerReply::Bytes("..."),
                     {kUnlockGood, kRefused}, Copies(kPair.unlockCode)},
        ExchangeCase{"CopiesDisagree", kPair.lockCode, PeerReply::Bytes("Y.Y.N."),
                     {kLockGood, "Problem connecting to safe!"}, Copies(kPair.lockCode)},
        ExchangeCase{"CutReply", kPair.unlockCode,
                     PeerReply::Bytes("Y.Y"),
                     {kUnlockGood, "Problem connecting to safe!"}, Copies(kPair.unlockCode)},
        // Text after a code is sent exactly as typed, in the local 8-bit
        // encoding (UTF-8 here); only a full stop is refused.
        ExchangeCase{"TrailingTextSentAsTyped", kPair.lockCode + " please",
                     PeerReply::Bytes(Copies("Y")), {kLockGood, "Safe locked for 3600 seconds"},
                     Copies(kPair.lockCode + " please")},
        ExchangeCase{"UppercaseDigitsSentAsTyped", Upper(kPair.unlockCode),
                     PeerReply::Bytes(Copies("Y")), {kUnlockGood, "Safe unlocked"},
                     Copies(Upper(kPair.unlockCode))},
        ExchangeCase{"NonAsciiAfterTheCodeAsUtf8", kPair.lockCode + "\xc3\xbc\xef\xbc\x8e",
                     PeerReply::Bytes(Copies("Y")), {kLockGood, "Safe locked for 3600 seconds"},
                     Copies(kPair.lockCode + "\xc3\xbc\xef\xbc\x8e")}),
    [](const auto &info) { return std::string(info.param.name); });

struct RefusedCase {
    const char *name;
    std::string typed;
    const char *message;
};

void PrintTo(const RefusedCase &c, std::ostream *os)
{
    *os << c.name;
}

class SubRefusesBeforeSending : public SubWithPeer,
                                public ::testing::WithParamInterface<RefusedCase> {};

std::string WithChangedDigit(std::string code, std::size_t at)
{
    code[at] = code[at] == '0' ? '1' : '0';
    return code;
}

TEST_P(SubRefusesBeforeSending, BadCodeIsReportedAndNothingIsSent)
{
    const RefusedCase &c = GetParam();
    peer_.answerAlways(PeerReply::Bytes(Copies("5")));
    SubDlg dialog;
    OnNextModal([&](QWidget *w) {
        TypeText(w, Code, QString::fromStdString(c.typed));
        const std::int64_t from = Now();
        Click(w, ApplyCode);
        EXPECT_EQ(messages_.texts(), QStringList{c.message});
        EXPECT_EQ(CodeBoxOf(w), QString::fromStdString(c.typed));
        // The time update still runs.
        EXPECT_TRUE(IsRemainingStatus(StatusOf(w), 5, 5, from, Now())) << StatusOf(w).toStdString();
        w->close();
    });
    dialog.DoModal();
    const std::vector<std::string> sent = {kTimeCommand, kTimeCommand};
    EXPECT_EQ(peer_.commands(), sent);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SubRefusesBeforeSending,
    ::testing::Values(
        RefusedCase{"Empty", "", "Bad format"},
        RefusedCase{"LeadingBlank", " " + kPair.lockCode, "Bad format"},
        RefusedCase{"LowerCaseL", "l" + kPair.lockCode.substr(1), "Bad format"},
        RefusedCase{"LowerCaseU", "u" + kPair.unlockCode.substr(1), "Bad format"},
        RefusedCase{"OtherLetter", "T", "Bad format"},
        RefusedCase{"NonAsciiFirst", "\xc5\x81" + kPair.lockCode.substr(1), "Bad format"},
        RefusedCase{"LockCheckWordWrong", WithChangedDigit(kPair.lockCode, 7),
                    "Lock code not the right format"},
        RefusedCase{"LockTooShort", "L1234", "Lock code not the right format"},
        RefusedCase{"UnlockCheckWordWrong", WithChangedDigit(kPair.unlockCode, 3),
                    "Unlock code not the right format"},
        RefusedCase{"UnlockTooShort", "U12", "Unlock code not the right format"},
        // A full stop would end the command on the wire early and make the
        // rest another command.
        RefusedCase{"LockFollowedByStopAndCommand", kPair.lockCode + ".Y",
                    "Lock code not the right format"},
        RefusedCase{"LockFollowedByStop", kPair.lockCode + ".", "Lock code not the right format"},
        RefusedCase{"UnlockFollowedByStopAndCommand", kPair.unlockCode + ".X",
                    "Unlock code not the right format"},
        RefusedCase{"UnlockWithStopFarBehind", kPair.unlockCode + " ok then. Y",
                    "Unlock code not the right format"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SubWithPeer, UpdateTimeShowsEachKindOfReply)
{
    struct Case {
        std::string reply;
        std::int32_t seconds; // when not hidden
        bool hidden;
    };
    const Case cases[] = {
        {"86399", 86399, false},   {"93784", 93784, false},
        {"", 0, false},            {"abc", 0, false},
        {"-90", -90, false},       {"99999999999", 2147483647, false},
        {"-2147483648", INT32_MIN, false}, {"X", 0, true},
    };
    peer_.answer({PeerReply::Bytes(Copies("0"))});
    for (const Case &c : cases)
        peer_.answer({PeerReply::Bytes(Copies(c.reply))});
    peer_.answer({PeerReply::Silence()});

    SubDlg dialog;
    OnNextModal([&](QWidget *w) {
        for (const Case &c : cases) {
            SCOPED_TRACE("reply \"" + c.reply + '"');
            const std::int64_t from = Now();
            Click(w, UpdateTime);
            if (c.hidden) {
                EXPECT_EQ(StatusOf(w), kHidden);
            } else {
                EXPECT_TRUE(IsRemainingStatus(StatusOf(w), c.seconds, c.seconds, from, Now()))
                    << StatusOf(w).toStdString();
            }
            if (c.seconds == INT32_MIN) {
                EXPECT_TRUE(StatusOf(w).endsWith("remaining, open at ")) << "no moment before 1970";
            }
        }
        // A safe that stops answering: the status line says so, no message.
        Click(w, UpdateTime);
        EXPECT_EQ(StatusOf(w), kNoConnection);
        EXPECT_TRUE(messages_.messages.empty());
        w->close();
    });
    dialog.DoModal();
    EXPECT_EQ(peer_.commands(), std::vector<std::string>(std::size(cases) + 2, kTimeCommand));
}

TEST_F(SubWithPeer, EnterInTheCodeBoxEndsTheWindowWithoutApplying)
{
    peer_.answerAlways(PeerReply::Bytes(Copies("0")));
    SubDlg dialog;
    OnNextModal([&](QWidget *w) {
        TypeInto(w, Code, QString::fromStdString(kPair.lockCode));
        PressKey(w, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.DoModal(), dialogkit::IDOK);
    EXPECT_TRUE(messages_.messages.empty());
    EXPECT_EQ(peer_.commands(), std::vector<std::string>{kTimeCommand});
}

TEST_F(SubWithPeer, TabThenEnterPressesApplyCode)
{
    peer_.answerAlways(PeerReply::Bytes(Copies("Y")));
    SubDlg dialog;
    OnNextModal([&](QWidget *w) {
        TypeInto(w, Code, QString::fromStdString(kPair.unlockCode));
        PressKey(w, Qt::Key_Tab);
        EXPECT_EQ(uitest::FocusedId(w), ApplyCode);
        PressKey(w, Qt::Key_Return);
        EXPECT_EQ(messages_.texts(), QStringList({kUnlockGood, "Safe unlocked"}));
        PressKey(w, Qt::Key_Tab);
        EXPECT_EQ(uitest::FocusedId(w), UpdateTime);
        PressKey(w, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.DoModal(), dialogkit::IDCANCEL);
    const std::vector<std::string> sent = {kTimeCommand, Copies(kPair.unlockCode), kTimeCommand};
    EXPECT_EQ(peer_.commands(), sent);
}

TEST_F(SubWindow, SafeThatCannotBeReachedIsReportedInAMessageAndTheStatusLine)
{
    UsePort(home_.path().toStdString() + "/no-such-port");
    SubDlg dialog;
    OnNextModal([&](QWidget *w) {
        EXPECT_EQ(StatusOf(w), kNoConnection);
        TypeInto(w, Code, QString::fromStdString(kPair.lockCode));
        Click(w, ApplyCode);
        EXPECT_EQ(messages_.texts(), QStringList({kLockGood, kNoConnection}));
        EXPECT_EQ(StatusOf(w), kNoConnection);
        messages_.clear();
        Click(w, UpdateTime);
        EXPECT_EQ(StatusOf(w), kNoConnection);
        EXPECT_TRUE(messages_.messages.empty());
        w->close();
    });
    dialog.DoModal();
}

TEST_F(SubWithPeer, SilentSafeDelaysTheWindowAtMostByTheExchangesBound)
{
    using namespace safeexchange;
    // The exchange's own bound: three writes of "T." and one read.
    const auto bound = 3 * WriteTimeout(2) + kReadTotalTimeout;
    SubDlg dialog;
    ShowWatcher watcher;
    dialog.installEventFilter(&watcher);
    const auto start = std::chrono::steady_clock::now();
    std::chrono::milliseconds untilShown{};
    OnNextModal([&](QWidget *w) {
        untilShown = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        EXPECT_EQ(watcher.statusAtShow, kNoConnection);
        w->close();
    });
    dialog.DoModal();
    std::cout << "silent safe: window shown after " << untilShown.count() << " ms (bound "
              << bound.count() << " ms)\n";
    RecordProperty("shownAfterMs", static_cast<int>(untilShown.count()));
    EXPECT_GE(untilShown, kReadTotalTimeout - 100ms) << "the window did not wait for the safe";
    EXPECT_LT(untilShown, bound + 4000ms);
    EXPECT_EQ(peer_.commands(), std::vector<std::string>{kTimeCommand});
}
