// SPDX-License-Identifier: GPL-3.0-or-later
// SafeExchange over a real pseudo-terminal to the simulated safe, its replies
// broken on purpose; the port name comes from the real settings store in a
// temporary home. Every way of splitting and agreeing copies is checked over
// bytes alone (FramingTest); here, what the port and the read's time-outs can
// change.

#include "SafeExchange.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "TempSettingsHome.h"

#include <QCoreApplication>
#include <QFile>
#include <QSerialPort>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
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

void UsePort(const std::string &name)
{
    ASSERT_TRUE(settings::SetSerialPort(name));
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
        UsePort(safe_.portPath());
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
        {"three full stops alone", {"reply"}, true, ""},
        {"third copy differs", {"misbehave disagree"}, false, ""},
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
    UsePort(safe.portPath());
    std::string reply;
    EXPECT_FALSE(SafeExchange("T", reply));
    std::this_thread::sleep_for(400ms); // the rest of the reply reaches the line
    EXPECT_TRUE(SafeExchange("T", reply));
    EXPECT_EQ(reply, "0");
}

TEST_F(Exchange, SilenceEndsByTheTotalTimeOut)
{
    ASSERT_EQ(safe_.control("misbehave silent"), "ok");
    std::string reply = "unchanged";
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(SafeExchange("T", reply));
    const auto took = Since(start);
    std::printf("silence: the exchange ended after %lld ms (time-out %lld ms)\n",
                static_cast<long long>(took.count()),
                static_cast<long long>(safeexchange::kReadTotalTimeout.count()));
    EXPECT_GE(took, safeexchange::kReadTotalTimeout - 100ms);
    EXPECT_LE(took, 3 * safeexchange::kReadTotalTimeout);
    EXPECT_EQ(reply, "unchanged");
    ExpectNextExchangeWorks();
}

TEST_F(Exchange, ReadsThePortNameAtEveryCallAndFailsAtOnceWhereNoneServes)
{
    testsupport::SimSafeProcess other;
    ASSERT_TRUE(other.start({"--reply", "B"})) << other.errorText();
    UsePort(other.portPath());
    std::string reply;
    EXPECT_TRUE(SafeExchange("V", reply));
    EXPECT_EQ(reply, "B");
    EXPECT_EQ(other.received(), Copies("V"));

    QFile plainFile(home_.path() + "/not-a-port");
    ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    for (const QString &name : {home_.path() + "/no-such-port", plainFile.fileName(), home_.path(), QString()}) {
        SCOPED_TRACE(name.toStdString());
        UsePort(name.toStdString());
        ExpectFailsAtOnce();
    }

    // A port another program holds is not touched.
    UsePort(safe_.portPath());
    QSerialPort holder(QString::fromStdString(safe_.portPath()));
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
    ExpectFailsAtOnce();
    holder.close();
    EXPECT_EQ(safe_.received(), "") << "nothing may reach the port while another holds it";
    ExpectNextExchangeWorks();
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

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
