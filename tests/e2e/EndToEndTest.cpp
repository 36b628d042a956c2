// SPDX-License-Identifier: GPL-3.0-or-later
// Vandrel from end to end with no hardware: a blank simulated board as sold
// (simboard, an ATmega168 with the Diecimila bootloader on a pseudo-terminal,
// reset by each rise of DTR, its line carrying one stray byte 0xF0 after each
// such reset), Debian's avrdude behind the default Arduino
// folder of links the first upload makes, the settings store and the working folder in a temporary home, and
// the real windows driven headless through clicks and key presses, with
// message boxes recorded.
//
// One journey, as a user makes it with a board just plugged in and no reset
// button pressed: the Test window uploads Cadrelle.hex; the Sub window's first
// exchange, lost in the bootloader and met by the stray byte, is repeated,
// and the Sub window locks the safe with a timed lock code; the Test window
// uploads Blink.hex, the latch output blinks, and uploads Cadrelle.hex again,
// and the lock has lost no more time than the board spent away from Cadrelle.
// The board's own event log tells how often it was reset: once for each
// upload (the uploader's opening of the port), once for the first exchange
// after an upload, and never after that. (The Master window's pairs are
// checked with the same key-code rules in its own tests, unlocking in the Sub
// window and firmware tests; a reset by another program's DTR drop is the
// simulated board's tests' business, and the progress an upload shows, over
// real avrdude logs, the upload and Test window tests'.)
#include "KeyCodes.h"
#include "MessageBox.h"
#include "Resource.h"
#include "Settings.h"
#include "SimBoardProcess.h"
#include "SubDlg.h"
#include "TempSettingsHome.h"
#include "TestDlg.h"
#include "UiTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using namespace testsupport;
using namespace uitest;

namespace {

using Clock = std::chrono::steady_clock;

// How long the uploader has to open the port after the click, and the
// bootloader to take a whole upload and hand over. An upload of Cadrelle
// takes about 10 s on the simulated board, Blink about 2.5 s, and the
// hand-over 1.3 s; the limits leave room for a loaded machine and a
// sanitizer build.
constexpr auto kUploaderStart = 10s;
constexpr auto kUploadAndHandOver = 30s;
// Long enough for a window that waits for a whole upload.
constexpr auto kUploadWindowTime = 90s;
// How long the lock runs before the uploads: past its first EEPROM record
// after the lock (every 30 s), so that time lost since that record would show.
constexpr auto kLockedBeforeUploads = 45s;

constexpr std::int32_t kLockSeconds = 3600;

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The remaining seconds a status line of the Sub window tells, or nothing
// when it tells none.
std::optional<long> RemainingSeconds(const QString &status)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(-?\d+) days (-?\d+) hours (-?\d+) minutes (-?\d+) seconds remaining, open at .+$)"));
    const QRegularExpressionMatch m = pattern.match(status);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toLong() * 86400 + m.captured(2).toLong() * 3600 + m.captured(3).toLong() * 60 +
           m.captured(4).toLong();
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home_.isValid());
        for (const char *system : {VANDREL_SYSTEM_AVRDUDE, VANDREL_SYSTEM_AVRDUDE_CONF})
            ASSERT_TRUE(QFileInfo::exists(QString::fromLatin1(system)))
                << system << " is missing: install Debian's avrdude (scripts/setup.sh does)";

        // Nothing stored: the Test window shows the default Arduino folder,
        // which the first upload makes as links to Debian's uploader and its
        // configuration.
        // The firmware files lie in the working folder, as the set-up puts
        // them there; the uploader runs there and writes its log there.
        workDir_ = QString::fromStdString(settings::WorkDir());
        logPath_ = workDir_ + QStringLiteral("/upload_out.txt");
        ASSERT_TRUE(QDir().mkpath(workDir_));
        for (const char *sketch : {"Blink", "Cadrelle"}) {
            const QString built = QString::fromStdString(FirmwarePath(sketch));
            ASSERT_TRUE(QFile::copy(built, workDir_ + QLatin1Char('/') + sketch + QStringLiteral(".hex"))) << built.toStdString();
        }

        // A blank board: nothing but the bootloader.
        ASSERT_TRUE(board_.start({"--stray-byte"})) << board_.errorText();
        ASSERT_TRUE(settings::SetSerialPort(board_.portPath()));
    }

    void TearDown() override
    {
        if (!HasFailure())
            return;
        // What the board and the uploader did, to tell where it went wrong.
        for (const BoardEvent &e : board_.events())
            std::printf("board event: %.3f %s\n", e.seconds, e.what.c_str());
        board_.stop();
        std::printf("upload log:\n%s\nsimboard's error output:\n%s\n", ReadAll(logPath_).constData(),
                    board_.errorOutput().c_str());
    }

    // Waits for the board's next event that begins with `prefix`, with the
    // windows' event loop running.
    std::optional<BoardEvent> AwaitEvent(const std::string &prefix, std::chrono::milliseconds timeout)
    {
        std::optional<BoardEvent> event;
        const auto seen = [&] { return (event = board_.waitFor(prefix, 20ms)).has_value(); };
        return QTest::qWaitFor(seen, int(timeout.count())) ? event : std::nullopt;
    }

    // The resets among the board's events from the index `from` on.
    std::vector<BoardEvent> ResetsSince(std::size_t from)
    {
        std::vector<BoardEvent> resets;
        const std::vector<BoardEvent> &events = board_.events();
        for (std::size_t i = from; i < events.size(); ++i) {
            if (events[i].what.rfind("reset", 0) == 0)
                resets.push_back(events[i]);
        }
        return resets;
    }

    // Inside the Test window: presses an upload button and follows the
    // upload to the firmware's start and the uploader's end. Returns the
    // board's "start" event; `resets` gets the resets from the click to it.
    std::optional<BoardEvent> UploadFromTestWindow(QWidget *w, int button, std::vector<BoardEvent> &resets)
    {
        const std::size_t eventsBefore = board_.events().size();
        messages_.clear();
        // As a person would, not within a millisecond of the last exchange
        // (see SimBoardProcess::waitUntilPortClosed).
        EXPECT_TRUE(board_.waitUntilPortClosed(1s));
        // The upload's window stays until avrdude ends by itself (the Test
        // window's time limit covers it).
        Click(w, button);
        // Said once the log shows the flash verified against the file.
        EXPECT_EQ(uitest::Texts(messages_), QStringList{QStringLiteral("Completed upload")});

        const auto reset = AwaitEvent("reset open", kUploaderStart);
        EXPECT_TRUE(reset) << "avrdude did not reset the board";
        if (!reset)
            return std::nullopt;
        const auto start = AwaitEvent("start", kUploadAndHandOver);
        EXPECT_TRUE(start) << "the new firmware did not start";
        if (!start)
            return std::nullopt;
        resets = ResetsSince(eventsBefore);
        return start;
    }

    TempSettingsHome home_;
    dialogkit::MessageRecorder messages_;
    SimBoardProcess board_;
    QString workDir_, logPath_;
};

TEST_F(EndToEnd, UploadCadrelleLockAndUploadBlink)
{
    std::size_t afterCadrelle = 0;
    // --- The Test window puts Cadrelle onto the blank board. ---
    {
        TestDlg test;
        OnNextModal(
            [&](QWidget *w) {
                std::vector<BoardEvent> resets;
                const auto start = UploadFromTestWindow(w, res::test::UploadCadrelle, resets);
                ASSERT_TRUE(start);
                // The port was just plugged in, so the window's own opening
                // of it, which drops DTR for the uploader, raised DTR too: a
                // second reset a moment before the uploader's, one pass
                // through the bootloader.
                ASSERT_EQ(resets.size(), 2u);
                EXPECT_LT(resets[1].seconds - resets[0].seconds, 1.0);
                // Cadrelle starts unlocked: its latch is open.
                EXPECT_TRUE(AwaitEvent("latch 1", 2s)) << "Cadrelle did not open the latch";
                afterCadrelle = board_.events().size();
                PressKey(w, Qt::Key_Escape);
            },
            kUploadWindowTime);
        test.DoModal();
        ASSERT_FALSE(HasFailure()) << "Cadrelle is not on the board";
    }

    // --- The wearer locks the safe. (That its unlock code opens it is the
    // firmware tests' and the Sub window tests' business.) ---
    Clock::time_point lockedAt{};
    {
        SubDlg sub;
        OnNextModal([&](QWidget *w) {
            using res::sub::ApplyCode;
            using res::sub::Code;
            using res::sub::Status;
            // The first update, before the window showed: unlocked. It was
            // the first exchange since the upload, whose uploader left DTR to
            // drop: its opening reset the board, the time question went into
            // the bootloader, the stray byte came back, and the question was
            // asked again once Cadrelle ran.
            EXPECT_EQ(RemainingSeconds(TextOf(w, Status)), 0L) << TextOf(w, Status).toStdString();
            EXPECT_TRUE(AwaitEvent("reset open", 1s)) << "the first exchange did not reset the board";
            EXPECT_TRUE(AwaitEvent("stray", 1s)) << "the reset left no stray byte";
            EXPECT_TRUE(AwaitEvent("latch 1", 1s)) << "Cadrelle did not start again";
            messages_.clear();
            TypeInto(w, Code, QString::fromStdString(keycodes::MakeKeyCodes(kLockSeconds, 0).lockCode));
            Click(w, ApplyCode);
            lockedAt = Clock::now();
            EXPECT_EQ(uitest::Texts(messages_),
                      (QStringList{QStringLiteral("Lock code GOOD, sending to safe"),
                                   QStringLiteral("Safe locked for %1 seconds").arg(kLockSeconds)}));
            EXPECT_TRUE(AwaitEvent("latch 0", 2s)) << "the latch did not close";
            const std::optional<long> afterLock = RemainingSeconds(TextOf(w, Status));
            ASSERT_TRUE(afterLock) << TextOf(w, Status).toStdString();
            EXPECT_GE(*afterLock, kLockSeconds - 3);
            EXPECT_LE(*afterLock, kLockSeconds);
            PressKey(w, Qt::Key_Escape);
        });
        sub.DoModal();
        ASSERT_FALSE(HasFailure()) << "the safe is not locked";
    }

    // --- The Test window: Blink, then Cadrelle again, with the lock's time
    // read before and after. (The Version window's reading of the firmware is
    // the Version window tests' and the firmware tests' business.) ---
    {
        messages_.clear();
        TestDlg test;
        OnNextModal(
            [&](QWidget *w) {
                // Only the first exchange since the upload reset the board (that
                // later ones reset nothing is the simulated board's tests' business).
                EXPECT_EQ(ResetsSince(afterCadrelle).size(), 1u);

                QTest::qWait(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                    lockedAt + kLockedBeforeUploads - Clock::now()).count()));
                const auto timeLeft = [&] {
                    messages_.clear();
                    TypeInto(w, res::test::CommandText, QStringLiteral("T"));
                    Click(w, res::test::Send);
                    const QStringList texts = uitest::Texts(messages_);
                    bool ok = texts.size() == 1;
                    const long seconds = ok ? texts.front().toLong(&ok) : -1;
                    EXPECT_TRUE(ok) << texts.join(QLatin1Char('|')).toStdString();
                    return std::make_pair(Clock::now(), seconds);
                };
                const auto before = timeLeft();
                const std::size_t eventsBefore = board_.events().size();

                std::vector<BoardEvent> resets;
                const auto start = UploadFromTestWindow(w, res::test::UploadBlink, resets);
                ASSERT_TRUE(start);
                EXPECT_EQ(resets.size(), 1u) << "resets for the upload of Blink";
                // Blink turns the latch on for a second and off for a second:
                // three changes after its start, each about a second apart.
                std::vector<BoardEvent> changes;
                while (changes.size() < 3) {
                    const auto latch = AwaitEvent("latch", 2500ms);
                    if (!latch)
                        break;
                    // The pin's setting-up as the program starts is no blink.
                    if (latch->seconds > start->seconds + 0.5)
                        changes.push_back(*latch);
                }
                ASSERT_EQ(changes.size(), 3u) << "the latch did not blink";
                for (std::size_t i = 1; i < changes.size(); ++i) {
                    EXPECT_NE(changes[i].what, changes[i - 1].what);
                    const double gap = changes[i].seconds - changes[i - 1].seconds;
                    EXPECT_NEAR(gap, 1.0, 0.3) << changes[i - 1].what << " to " << changes[i].what;
                }

                const auto cadrelle = UploadFromTestWindow(w, res::test::UploadCadrelle, resets);
                ASSERT_TRUE(cadrelle);
                const auto after = timeLeft();
                // Cadrelle was away from its first reset to its start after the
                // last one (the first exchange after the upload resets it once
                // more): bootloaders, uploads and Blink's seconds.
                const std::vector<BoardEvent> resetsSince = ResetsSince(eventsBefore);
                ASSERT_FALSE(resetsSince.empty());
                std::optional<BoardEvent> listening;
                for (std::size_t i = eventsBefore; i < board_.events().size(); ++i) {
                    if (board_.events()[i].what.rfind("listen", 0) == 0)
                        listening = board_.events()[i];
                }
                ASSERT_TRUE(listening);
                const double away = listening->seconds - resetsSince.front().seconds;
                const double passed = std::chrono::duration<double>(after.first - before.first).count();
                const double lost = passed - double(before.second - after.second);
                std::printf("lock time across the uploads of Blink and Cadrelle: %ld s left, then %ld s "
                            "left %.1f s later: %.1f s lost; Cadrelle away %.1f s, %zu resets\n",
                            before.second, after.second, passed, lost, away, resetsSince.size());
                // Whole seconds in each reading.
                EXPECT_LE(lost, away + 1.25) << "the lock lost more time than Cadrelle was away";
                EXPECT_GE(lost, -1.25) << "the lock ran faster than time";
                PressKey(w, Qt::Key_Escape);
            },
            kUploadWindowTime + kLockedBeforeUploads + kUploadWindowTime);
        test.DoModal();
    }
}

} // namespace
