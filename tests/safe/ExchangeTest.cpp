// SPDX-License-Identifier: GPL-3.0-or-later
// SafeExchange over a real pseudo-terminal to the simulated safe, its replies
// broken on purpose; the port name comes from the real settings store in a
// temporary home. Every way of splitting and agreeing copies is checked over
// bytes alone (FramingTest); here, what the port and the read's time-outs can
// change.

#include "KeyCodes.h"
#include "PortAccess.h"
#include "SafeExchange.h"
#include "SerialPort.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "TempSettingsHome.h"
#include "TestClock.h"

#include <QFile>
#include <QSerialPort>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <grp.h>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Far below the 2.65 s read time-out, far above any scheduling delay: an
// exchange that fails "at once" ends within this.
constexpr auto kAtOnce = 1000ms;

std::chrono::milliseconds Since(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

std::chrono::milliseconds ThreadCpuTime()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::seconds(t.tv_sec) +
                                                                 std::chrono::nanoseconds(t.tv_nsec));
}

std::string Copies(const std::string &copy)
{
    return copy + "." + copy + "." + copy + ".";
}

// An exchange that must fail at once and leave the reply untouched.
void ExpectFailsAtOnce()
{
    std::string reply = "unchanged";
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(SafeExchange("T", reply));
    EXPECT_LT(Since(start), kAtOnce);
    EXPECT_EQ(reply, "unchanged");
}

class Exchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home_.isValid());
        ASSERT_TRUE(safe_.start()) << safe_.errorText();
        ASSERT_TRUE(settings::SetSerialPort(safe_.portPath()));
    }

    // After a failure, the same port serves the next exchange, untroubled by
    // whatever the safe sent after the failed one ended.
    void ExpectNextExchangeWorks()
    {
        for (const char *line : {"misbehave ok", "reply-off", "gap 100"})
            ASSERT_EQ(safe_.control(line), "ok");
        safe_.received();
        std::string reply;
        EXPECT_TRUE(SafeExchange("T", reply)) << "the next exchange failed";
        EXPECT_EQ(reply, "0");
        EXPECT_EQ(safe_.received(), Copies("T"));
    }

    testsupport::TempSettingsHome home_;
    testsupport::SimSafeProcess safe_;
};

TEST_F(Exchange, RepliesAreAcceptedOnlyWhenTheyAgreeAndEndInTime)
{
    struct Case {
        const char *what;
        std::vector<std::string> controls;
        bool agreed;
        std::string text;
        std::string command = "T";
    };
    // After its third full stop the reply runs on with no pause as long as
    // the interval time-out: only the read's early end stops it in time.
    const std::string runOn = "12.12.12." + std::string(75, 'j');
    const Case cases[] = {
        {"three agreeing copies", {}, true, "0"},
        {"an empty command, sent as three full stops", {}, true, "?", ""},
        {"a third copy that differs", {"misbehave disagree"}, false, ""},
        {"two copies only", {"misbehave cut"}, false, ""},
        {"a NUL after the first copy", {"misbehave nul"}, false, ""},
        {"trailing junk", {"misbehave junk"}, true, "0"},
        {"bytes running on after the third full stop", {"reply " + runOn, "misbehave slow", "gap 20"},
         true, "12"},
        {"gaps under 50 ms", {"misbehave slow", "gap 10"}, true, "0"},
        {"a gap over 50 ms", {"misbehave split", "gap 150"}, false, ""},
        {"258 bytes", {"reply " + std::string(85, 'A')}, true, std::string(85, 'A')},
        {"over 260 bytes", {"misbehave long"}, false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string &line : c.controls)
            ASSERT_EQ(safe_.control(line), "ok");
        std::string reply = "unchanged";
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(SafeExchange(c.command, reply), c.agreed);
        EXPECT_LT(Since(start), kAtOnce);
        EXPECT_EQ(reply, c.agreed ? c.text : "unchanged");
        EXPECT_EQ(safe_.received(), Copies(c.command));
        ExpectNextExchangeWorks();
    }
}

// A safe that goes on sending after the controller gave up, on a line that
// keeps it: the next exchange must start afresh, not read it as its reply.
TEST_F(Exchange, BytesLeftOnTheLineDoNotSpoilTheNextExchange)
{
    testsupport::SimSafeProcess safe;
    ASSERT_TRUE(safe.start({"--keep-unread", "--go-on-sending", "--misbehave", "split,ok", "--gap", "150"}))
        << safe.errorText();
    ASSERT_TRUE(settings::SetSerialPort(safe.portPath()));
    std::string reply;
    EXPECT_FALSE(SafeExchange("T", reply));
    std::this_thread::sleep_for(400ms); // the rest of the reply reaches the line
    EXPECT_TRUE(SafeExchange("T", reply));
    EXPECT_EQ(reply, "0");
}

// Silence, or a stray byte alone, is what a reset that nothing showed leaves:
// the command went into the bootloader. So is silence after a wait for a
// reset the port showed, where the wait was too short. "T" and "V" go once
// more after the hand-over, nothing else does, and a code waits for the
// hand-over at every opening once the port has answered only on a repeat
// without a wait, and goes at once after a prompt answer or a shown reset.
TEST_F(Exchange, SilenceRepeatsOnlyHarmlessCommandsAndHoldsCodesBack)
{
    using safeexchange::kBootloaderHandOver;
    using safeexchange::kReadTotalTimeout;
    // An unlock code, which this unlocked safe refuses: the safe stays as
    // it is for the next case.
    const std::string code = keycodes::MakeKeyCodes(60, 0).unlockCode;
    struct Case {
        const char *what;
        const char *misbehave;
        std::string command;
        bool agreed;
        int copiesSent;
        std::chrono::milliseconds atLeast, below;
        bool dtrDropped = false; // the port's flag shows that this opening resets the board
    };
    const auto waitedAndSilent = kBootloaderHandOver + kReadTotalTimeout;
    const Case cases[] = {
        {"first answer lost", "silent,ok", "T", true, 2, kReadTotalTimeout, 2 * kReadTotalTimeout},
        {"a code, once openings reset", "ok", code, true, 1, kBootloaderHandOver, kReadTotalTimeout},
        {"a harmless command does not wait", "ok", "V", true, 1, 0ms, kAtOnce},
        {"a code, once openings keep the board", "ok", code, true, 1, 0ms, kAtOnce},
        {"a stray byte alone", "stray,ok", "T", true, 2, kBootloaderHandOver, kReadTotalTimeout},
        {"silence after a wait", "silent,ok", "T", true, 2, waitedAndSilent, waitedAndSilent + kAtOnce, true},
        {"a code, once the flag showed the reset", "ok", code, true, 1, 0ms, kAtOnce},
        {"a test command is not repeated", "silent", "X", false, 1, kReadTotalTimeout - 100ms,
         kReadTotalTimeout + kAtOnce},
        {"nor is a code", "stray", code, false, 1, 0ms, kAtOnce},
        {"silence to both copies", "silent", "V", false, 2, 2 * kReadTotalTimeout - 100ms, 3 * kReadTotalTimeout},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(safe_.control(std::string("misbehave ") + c.misbehave), "ok");
        if (c.dtrDropped) {
            ASSERT_TRUE(SerialPort::DropDtrUntilNextOpening(safe_.portPath()));
        }
        std::string reply = "unchanged";
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(SafeExchange(c.command, reply), c.agreed);
        const auto took = Since(start);
        EXPECT_GE(took, testclock::AtLeast(c.atLeast));
        EXPECT_LT(took, c.below);
        EXPECT_EQ(reply == "unchanged", !c.agreed);
        std::string sent;
        for (int i = 0; i < c.copiesSent; ++i)
            sent += Copies(c.command);
        EXPECT_EQ(safe_.received(), sent);
    }
    ExpectNextExchangeWorks();
}

// A code for a port this run has not heard from goes only after a "T" has
// shown the board listening, in an exchange of its own; where that fails, the
// code is not sent at all.
TEST_F(Exchange, ACodeForAnUnknownPortFollowsAnAnsweredTime)
{
    // A name no earlier exchange of this process has used.
    const std::string name = home_.path().toStdString() + "/new-port";
    testsupport::SimSafeProcess safe;
    ASSERT_TRUE(safe.start({"--link", name, "--misbehave", "silent,silent,ok"})) << safe.errorText();
    ASSERT_TRUE(settings::SetSerialPort(name));
    const std::string code = keycodes::MakeKeyCodes(60, 0).lockCode;
    std::string reply;
    EXPECT_FALSE(SafeExchange(code, reply));
    EXPECT_EQ(safe.received(), Copies("T") + Copies("T"));
    EXPECT_TRUE(SafeExchange(code, reply));
    EXPECT_EQ(reply, "Y");
    EXPECT_EQ(safe.received(), Copies("T") + Copies(code));
}

// (That each exchange reads the port name afresh, the Test window's tests
// show: an exchange goes to the port just chosen there.)
TEST_F(Exchange, FailsAtOnceWhereNoPortServes)
{
    QFile plainFile(home_.path() + "/not-a-port");
    ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    for (const QString &name : {home_.path() + "/no-such-port", plainFile.fileName(), home_.path(), QString()}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(settings::SetSerialPort(name.toStdString()));
        ExpectFailsAtOnce();
    }

    // A port another program holds is not touched.
    ASSERT_TRUE(settings::SetSerialPort(safe_.portPath()));
    QSerialPort holder(QString::fromStdString(safe_.portPath()));
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
    ExpectFailsAtOnce();
    holder.close();
    EXPECT_EQ(safe_.received(), "") << "nothing may reach the port while another holds it";
    ExpectNextExchangeWorks();
}

std::optional<std::string> Advice(const std::string &device)
{
    const std::optional<safeexchange::NoAccess> refused = safeexchange::PortRefusesThisUser(device);
    if (!refused)
        return std::nullopt;
    return safeexchange::NoAccessMessage(*refused);
}

// The advice as a user who may not open `device` while it has the modes
// `mode` and, where this test runs as root, the group `gid`:
// as nobody where it runs as root (root may open anything), else as this
// user, the device's owner.
std::optional<std::string> AdviceWithoutAccess(const std::string &device, mode_t mode, gid_t gid)
{
    struct stat before {};
    ::stat(device.c_str(), &before);
    ::chmod(device.c_str(), mode);
    const bool root = ::geteuid() == 0;
    if (root) {
        EXPECT_EQ(::chown(device.c_str(), uid_t(-1), gid), 0);
    }
    std::string text = "<none>";
    if (!root) {
        text = Advice(device).value_or(text);
    } else if (int out[2]; ::pipe(out) == 0) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(out[0]);
            const gid_t nobody = 65534;
            if (::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0) {
                const std::string advice = Advice(device).value_or("<none>");
                [[maybe_unused]] const ssize_t n = ::write(out[1], advice.data(), advice.size());
            }
            ::_exit(0);
        }
        ::close(out[1]);
        text.clear();
        char buffer[256];
        for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
            text.append(buffer, std::size_t(n));
        ::close(out[0]);
        ::waitpid(child, nullptr, 0);
    }
    if (root) {
        EXPECT_EQ(::chown(device.c_str(), uid_t(-1), before.st_gid), 0);
    }
    ::chmod(device.c_str(), before.st_mode & 07777);
    return text == "<none>" ? std::nullopt : std::optional<std::string>(text);
}

// Only a port that is there and refuses this user gets the advice; every
// other failure keeps the window's own words. The advice names the device's
// group only where joining it gives the right, and never root's.
TEST_F(Exchange, OnlyAPortThatRefusesThisUserGetsTheAdvice)
{
    EXPECT_EQ(Advice(home_.path().toStdString() + "/no-such-port"), std::nullopt);
    EXPECT_EQ(Advice(home_.path().toStdString()), std::nullopt);
    EXPECT_EQ(Advice(safe_.portPath()), std::nullopt);
    struct stat port {};
    ASSERT_EQ(::stat(safe_.portPath().c_str(), &port), 0);
    const std::string refused = "You have no permission to open the port " + safe_.portPath() +
                                ". To get the right: install Vandrel's package, whose avrdude brings the udev rule "
                                "that gives the user at the computer every USB serial adapter, then unplug the "
                                "board and plug it in again";
    const std::string noGroup = refused + ". No group that you should join may open it.";
    const struct {
        const char *what;
        mode_t mode;
        const char *group;
        std::string advice;
    } cases[] = {
        {"its group may read and write it", 0060, "dialout",
         refused + "; or add yourself to the group 'dialout' (sudo adduser $USER dialout) and log out and in again."},
        {"its group may only write it", 0020, "dialout", noGroup},
        {"its group is root's", 0060, "root", noGroup},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const group *g = ::getgrnam(c.group);
        ASSERT_NE(g, nullptr);
        if (::geteuid() != 0 && g->gr_gid != port.st_gid)
            continue; // only root may give the device to another group
        EXPECT_EQ(AdviceWithoutAccess(safe_.portPath(), c.mode, g->gr_gid), c.advice);
    }
}

// An unplugged board: the device reports an error on every wait from then
// on. The exchange must end at the first one, not wait out its time-outs
// polling a dead device; the next one through the same name fails at once too.
TEST_F(Exchange, SafeHangingUpFailsAtOnceWithoutSpinning)
{
    ASSERT_EQ(safe_.control("misbehave hangup"), "ok");
    const auto cpuBefore = ThreadCpuTime();
    ExpectFailsAtOnce();
    EXPECT_LT(ThreadCpuTime() - cpuBefore, 200ms);
    ExpectFailsAtOnce();
}

} // namespace
