// SPDX-License-Identifier: GPL-3.0-or-later
// The Sub window, driven headless through clicks and key presses, talking to
// the simulated safe on its pseudo-terminal: its own answers, or fixed and
// broken ones where a case needs them, and the bytes it received. The port
// comes from the real settings store in a temporary home; message boxes are
// recorded.
#include "KeyCodes.h"
#include "MessageBox.h"
#include "RemainingTime.h"
#include "Resource.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "SubDlg.h"
#include "TempSettingsHome.h"
#include "UiTest.h"

#include <QApplication>
#include <QCursor>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

using namespace res::sub;
using namespace std::chrono_literals;
using namespace uitest;

namespace {

const QString kNoConnection = QStringLiteral("Problem connecting to safe!");
const QString kHidden = QStringLiteral("Safe locked for limited time, but time hidden");
const QString kLockGood = QStringLiteral("Lock code GOOD, sending to safe");
const QString kUnlockGood = QStringLiteral("Unlock code GOOD, sending to safe");
const QString kRefused = QStringLiteral("Safe REFUSED use of code");
const QString kBadLock = QStringLiteral("Lock code not the right format");
const QString kBadUnlock = QStringLiteral("Unlock code not the right format");

// Types `text` into the code box as key presses that carry their characters,
// as from a keyboard layout that has them (QTest::keyClicks knows only ASCII).
void TypeCode(QWidget *w, const std::string &text)
{
    TypeInto(w, Code, QString());
    for (const QChar ch : QString::fromStdString(text))
        QTest::sendKeyEvent(QTest::Click, Control(w, Code), Qt::Key_unknown, QString(ch),
                            Qt::NoModifier);
}

std::string Copies(const std::string &copy)
{
    return copy + "." + copy + "." + copy + ".";
}

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

std::string LockCode(std::int32_t seconds, int hide)
{
    return keycodes::MakeKeyCodesAt(98765, seconds, hide).lockCode;
}

std::string WithChangedDigit(std::string code, std::size_t at)
{
    code[at] = code[at] == '0' ? '1' : '0';
    return code;
}

// One window through its life: opened while the safe is silent, then the
// time as each kind of reply shows it, the safe's own lock and unlock, every
// check and answer of "Apply code", Enter, and the window alive while the
// safe is silent.
TEST(SubWindow, ShowsTheTimeAppliesCodesAndReportsEachOutcome)
{
    testsupport::TempSettingsHome home;
    dialogkit::MessageRecorder messages;
    testsupport::SimSafeProcess safe;
    ASSERT_TRUE(home.isValid());
    // Silent to the first time question and to its repeat.
    ASSERT_TRUE(safe.start({"--misbehave", "silent,silent,ok"})) << safe.errorText();
    ASSERT_TRUE(settings::SetSerialPort(safe.portPath()));
    const keycodes::KeyCodes pair = keycodes::MakeKeyCodes(3600, 0);
    const keycodes::KeyCodes other = keycodes::MakeKeyCodesAt(Now() + 7, 3600, 0);
    ASSERT_NE(pair.unlockCode, other.unlockCode);

    // "Apply code": the messages, what went out on the wire (the code exactly
    // as typed, then the time question that ends every "Apply code"), and
    // the time the status line then shows; the code box is never cleared.
    const struct {
        std::string typed;
        QStringList messages;
        std::string answer; // a fixed answer of the safe; "-": its own; "": the code must not be sent
        std::int32_t low = 0, high = -1; // the remaining time shown, where low <= high
        std::vector<bool> lockedAt = {}; // whether the safe was locked as each message came up
    } cases[] = {
        // The safe's own answers. Any well-formed unlock code passes the
        // window's own check; the safe refuses one that belongs to another lock.
        {pair.lockCode, {kLockGood, "Safe locked for 3600 seconds"}, "-", 3590, 3600, {false, true}},
        {other.unlockCode, {kUnlockGood, kRefused}, "-", 3590, 3600, {true, true}},
        {pair.unlockCode, {kUnlockGood, "Safe unlocked"}, "-", 0, 0, {true, false}},
        // The duration decides before the hide flag, and only bit 0 of the
        // hide value hides the time.
        {LockCode(0, 1), {kLockGood, "Safe locked until unlock code used"}, "reply Y"},
        {LockCode(120, 2), {kLockGood, "Safe locked for 120 seconds"}, "reply Y"},
        {LockCode(120, 3), {kLockGood, kHidden}, "reply Y"},
        {LockCode(-300, 0), {kLockGood, "Safe locked for -300 seconds"}, "reply Y"},
        // Only a whole reply of "Y" is acceptance.
        {pair.lockCode, {kLockGood, kRefused}, "reply y"},
        {pair.unlockCode, {kUnlockGood, kRefused}, "reply Y "},
        {pair.lockCode, {kLockGood, kNoConnection}, "misbehave disagree,ok"},
        // Upper-case digits and text after the code go out as typed, in the
        // local 8-bit encoding (UTF-8 here).
        {QString::fromStdString(pair.lockCode).toUpper().toStdString() + " please \xc3\xbc\xef\xbc\x8e",
         {kLockGood, "Safe locked for 3600 seconds"}, "reply Y"},
        // Refused before anything is sent.
        {"", {"Bad format"}, ""},
        {"l" + pair.lockCode.substr(1), {"Bad format"}, ""},
        {WithChangedDigit(pair.lockCode, 7), {kBadLock}, ""},
        {WithChangedDigit(pair.unlockCode, 3), {kBadUnlock}, ""},
        // A full stop would end the command on the wire early and make the
        // rest another command.
        {pair.lockCode + ".Y", {kBadLock}, ""},
        {pair.unlockCode + " ok then. Y", {kBadUnlock}, ""},
    };

    SubDlg dialog;
    OnNextModal(
        [&](QWidget *w) {
            // The first time update, which the window waited for before it
            // showed, failed: the status line says so, and no message does.
            EXPECT_EQ(TextOf(w, Status), kNoConnection);
            EXPECT_TRUE(messages.messages.empty());
            EXPECT_EQ(FocusedId(w), dialogkit::IDCANCEL);
            // A screen reader names the box by its label, and reads the status
            // line's own text (a static text never gets a name of its own).
            EXPECT_EQ(SpokenName(w, Code), "Lock or unlock code");
            EXPECT_EQ(SpokenName(w, Status), kNoConnection);
            ExpectEveryControlReachable(w);

            // How each kind of time reply reads is the time-text tests'
            // business; a count shows in the table's rows below.
            ASSERT_EQ(safe.control("reply X"), "ok");
            Click(w, UpdateTime);
            EXPECT_EQ(TextOf(w, Status), kHidden);
            ASSERT_EQ(safe.control("reply-off"), "ok");

            // The "GOOD" message comes before the code goes out, the outcome
            // after the safe took it.
            std::vector<bool> lockedAt;
            messages.onMessage = [&](const dialogkit::RecordedMessage &) {
                lockedAt.push_back(safe.control("status").find("lock=none") == std::string::npos);
            };
            safe.received();
            for (const auto &c : cases) {
                SCOPED_TRACE(c.typed);
                if (!c.answer.empty() && c.answer != "-") {
                    ASSERT_EQ(safe.control(c.answer), "ok");
                }
                messages.clear();
                lockedAt.clear();
                TypeCode(w, c.typed);
                const std::int64_t from = Now();
                Click(w, ApplyCode);
                EXPECT_EQ(uitest::Texts(messages), c.messages);
                EXPECT_EQ(safe.received(), (c.answer.empty() ? "" : Copies(c.typed)) + Copies("T"));
                if (!c.lockedAt.empty()) {
                    EXPECT_EQ(lockedAt, c.lockedAt);
                }
                const QString status = TextOf(w, Status);
                EXPECT_TRUE(c.low > c.high || IsRemainingStatus(status, c.low, c.high, from, Now()))
                    << status.toStdString();
                EXPECT_EQ(TextOf(w, Code), QString::fromStdString(c.typed)) << "the code box is never cleared";
            }

            // Tab goes from the code box through the buttons in order. Enter
            // presses the focused button ('Update time' below); in the code
            // box it ends the window without applying.
            messages.clear();
            Control(w, Code)->setFocus(Qt::MouseFocusReason);
            PressKey(w, Qt::Key_Tab);
            EXPECT_EQ(FocusedId(w), ApplyCode);
            PressKey(w, Qt::Key_Tab);
            EXPECT_EQ(FocusedId(w), UpdateTime);

            // Enter on 'Update time' with the safe silent: 0.8 s on, the
            // exchange still runs, and the window answers assistive tools
            // with the status it had, shows the busy pointer, and starts no
            // second exchange for a press that comes meanwhile.
            ASSERT_EQ(safe.control("misbehave silent"), "ok");
            const QString statusBefore = TextOf(w, Status);
            const auto pressed = std::chrono::steady_clock::now();
            std::chrono::milliseconds answeredAfter{-1};
            QTimer::singleShot(800ms, w, [&] {
                const QString spoken = SpokenName(w, Status);
                answeredAfter = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - pressed);
                EXPECT_EQ(spoken, statusBefore);
                const QCursor *pointer = QApplication::overrideCursor();
                EXPECT_TRUE(pointer != nullptr && pointer->shape() == Qt::WaitCursor);
                Click(w, UpdateTime);
                EXPECT_EQ(TextOf(w, Status), statusBefore);
            });
            PressKey(w, Qt::Key_Return);
            std::cout << "silent safe: asked 800 ms after Enter on 'Update time', the window answered at "
                      << answeredAfter.count() << " ms\n";
            EXPECT_GE(answeredAfter, 800ms) << "the window answered nothing while the exchange ran";
            EXPECT_LT(answeredAfter, 1800ms);
            EXPECT_EQ(TextOf(w, Status), kNoConnection);
            ASSERT_EQ(safe.control("misbehave ok"), "ok");

            TypeInto(w, Code, QString::fromStdString(pair.lockCode));
            PressKey(w, Qt::Key_Return);
        },
        90s);
    EXPECT_EQ(dialog.DoModal(), dialogkit::IDOK);
    EXPECT_TRUE(messages.messages.empty());
}

} // namespace
