// SafeExchange over real pseudo-terminals, against a scripted peer. The port
// name comes from the real settings store in a temporary home.

#include "SafeExchange.h"
#include "ScriptedPeer.h"
#include "Settings.h"
#include "TempSettingsHome.h"

#include <QCoreApplication>
#include <QFile>
#include <QSerialPort>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using testsupport::PeerReply;
using testsupport::ScriptedPeer;
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
        ASSERT_TRUE(peer_.isOpen());
        UsePort(peer_.portPath());
    }

    static void UsePort(const std::string &name)
    {
        ASSERT_TRUE(settings::SetSerialPort(QString::fromStdString(name)));
    }

    // After a failure, the same port must serve the next exchange. Bytes the
    // peer sent after the failed exchange ended are in by then, and must not
    // spoil this one.
    void ExpectNextExchangeWorks(ScriptedPeer &peer, std::size_t commandsSoFar)
    {
        ASSERT_TRUE(peer.waitUntilAnswered(commandsSoFar, 5s));
        peer.answer({PeerReply::Bytes("OK.OK.OK.")});
        std::string reply;
        EXPECT_TRUE(SafeExchange("V", reply)) << "the next exchange failed";
        EXPECT_EQ(reply, "OK");
    }

    testsupport::TempSettingsHome home_;
    ScriptedPeer peer_;
};

// Every way of splitting and agreeing copies is checked over bytes alone
// (FramingTest); here, what the port and the read's time-outs can change.
TEST_F(Exchange, RepliesAreAcceptedOnlyWhenTheCopiesAgree)
{
    // After its third full stop the reply runs on without a pause longer
    // than the interval time-out: only the early end stops the read in time.
    PeerReply runOn = PeerReply::Bytes("12.12.12.");
    for (int i = 0; i < 75; ++i)
        runOn.Then(20ms, "j");

    struct Case {
        const char *what;
        PeerReply reply;
        bool agreed;
        std::string text;
        std::string command = "T";
    };
    const Case cases[] = {
        {"three agreeing copies", PeerReply::Bytes("Y.Y.Y."), true, "Y"},
        {"third copy differs", PeerReply::Bytes("Y.Y.N."), false, ""},
        {"two copies only", PeerReply::Bytes("Y.Y."), false, ""},
        {"three full stops alone", PeerReply::Bytes("..."), true, ""},
        {"trailing junk", PeerReply::Bytes("12.12.12.junk"), true, "12"},
        {"bytes running on after the third full stop", runOn, true, "12"},
        {"gaps under 50 ms", PeerReply::Bytes("1").Then(10ms, "2.1").Then(10ms, "2.12").Then(10ms, "."),
         true, "12"},
        {"a gap over 50 ms", PeerReply::Bytes("12.12.").Then(150ms, "12."), false, ""},
        {"258 bytes", PeerReply::Bytes(Copies(std::string(85, 'A'))), true, std::string(85, 'A')},
        {"over 260 bytes", PeerReply::Bytes(Copies(std::string(100, 'A'))), false, ""},
        {"an empty command, sent as three full stops", PeerReply::Bytes("..."), true, "", ""},
    };
    std::size_t commands = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        peer_.answer({c.reply});
        std::string reply = "unchanged";
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(SafeExchange(c.command, reply), c.agreed);
        EXPECT_LT(Since(start), kAtOnce);
        EXPECT_EQ(reply, c.agreed ? c.text : "unchanged");
        EXPECT_EQ(peer_.commands().at(commands), Copies(c.command));
        ++commands;
        // Whatever the peer sent after the exchange ended must not spoil the next.
        ExpectNextExchangeWorks(peer_, commands);
        ++commands;
    }
    EXPECT_EQ(peer_.commands().size(), commands);
}

TEST_F(Exchange, SilenceEndsByTheTotalTimeOut)
{
    peer_.answer({PeerReply::Silence()});
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
    ExpectNextExchangeWorks(peer_, 1);
}

TEST_F(Exchange, ReadsThePortNameAtEveryCall)
{
    ScriptedPeer other;
    ASSERT_TRUE(other.isOpen());
    peer_.answerAlways(PeerReply::Bytes("A.A.A."));
    other.answerAlways(PeerReply::Bytes("B.B.B."));
    std::string reply;
    EXPECT_TRUE(SafeExchange("V", reply));
    EXPECT_EQ(reply, "A");
    UsePort(other.portPath());
    EXPECT_TRUE(SafeExchange("V", reply));
    EXPECT_EQ(reply, "B");
    EXPECT_EQ(peer_.commands().size(), 1u);
    EXPECT_EQ(other.commands().size(), 1u);
}

TEST_F(Exchange, PortThatCannotBeOpenedFailsAtOnce)
{
    QFile plainFile(home_.path() + "/not-a-port");
    ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    const QString names[] = {
        home_.path() + "/no-such-port",
        plainFile.fileName(),
        home_.path(),
        QString(),
    };
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        UsePort(name.toStdString());
        ExpectFailsAtOnce();
    }
    UsePort(peer_.portPath());
    ExpectNextExchangeWorks(peer_, 0);
}

TEST_F(Exchange, PortHeldByAnotherOpenerFailsAtOnce)
{
    peer_.answerAlways(PeerReply::Bytes("Y.Y.Y."));
    QSerialPort holder(QString::fromStdString(peer_.portPath()));
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
    ExpectFailsAtOnce();
    EXPECT_TRUE(peer_.commands().empty()) << "nothing may reach the port while another holds it";

    holder.close();
    std::string reply;
    EXPECT_TRUE(SafeExchange("T", reply));
    EXPECT_EQ(reply, "Y");
}

// An unplugged board: the device reports an error on every wait from then
// on. The exchange must end at the first one, not wait out its time-outs
// polling a dead device.
TEST_F(Exchange, PeerHangingUpFailsAtOnceWithoutSpinning)
{
    struct Case {
        const char *what;
        PeerReply reply;
    };
    const Case cases[] = {
        {"before any reply", PeerReply::Silence().ThenHangUp()},
        {"inside the first copy", PeerReply::Bytes("12.1").ThenHangUp()},
        {"after a pause", PeerReply::Bytes("12.").Then(20ms, "12").ThenHangUp()},
        {"before the last full stop", PeerReply::Bytes("12.12.12").ThenHangUp()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPeer peer;
        ASSERT_TRUE(peer.isOpen());
        UsePort(peer.portPath());
        peer.answer({c.reply});
        const auto cpuBefore = ThreadCpuTime();
        ExpectFailsAtOnce();
        EXPECT_LT(ThreadCpuTime() - cpuBefore, 200ms);
        EXPECT_TRUE(peer.hungUp());
        // The device is gone for good: the next exchange fails at once too.
        ExpectFailsAtOnce();
    }
    // And a port that is there works as before.
    UsePort(peer_.portPath());
    ExpectNextExchangeWorks(peer_, 0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
