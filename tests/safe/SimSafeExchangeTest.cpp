// SafeExchange against the simulated safe (a separate program on its own
// pseudo-terminal): the command set end to end, and replies broken on purpose.

#include "KeyCodes.h"
#include "SafeCommands.h"
#include "SafeExchange.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "TempSettingsHome.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::SimSafeProcess;

class SimSafeExchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home_.isValid());
        ASSERT_TRUE(safe_.start()) << safe_.errorText();
        ASSERT_TRUE(settings::SetSerialPort(QString::fromStdString(safe_.portPath())));
    }

    // The reply, or "<failed>" when the exchange failed.
    static std::string Send(const std::string &command)
    {
        std::string reply;
        return SafeExchange(command, reply) ? reply : "<failed>";
    }

    testsupport::TempSettingsHome home_;
    SimSafeProcess safe_;
};

TEST_F(SimSafeExchange, CommandSetEndToEnd)
{
    EXPECT_NE(Send(safecmd::kVersion), "<failed>");
    EXPECT_NE(Send(safecmd::kVersion), "");
    EXPECT_EQ(safecmd::ReadTimeReply(Send(safecmd::kTime)).seconds, 0);

    const keycodes::KeyCodes timed = keycodes::MakeKeyCodes(3600, 0);
    EXPECT_EQ(Send(timed.lockCode), safecmd::kAccepted);
    EXPECT_NE(Send(timed.lockCode), safecmd::kAccepted) << "a locked safe takes no second lock";
    const safecmd::TimeReply left = safecmd::ReadTimeReply(Send(safecmd::kTime));
    EXPECT_FALSE(left.hidden);
    EXPECT_GT(left.seconds, 3500);
    EXPECT_LE(left.seconds, 3600);
    EXPECT_EQ(Send(timed.unlockCode), safecmd::kAccepted);
    EXPECT_EQ(safecmd::ReadTimeReply(Send(safecmd::kTime)).seconds, 0);

    const keycodes::KeyCodes hidden = keycodes::MakeKeyCodes(60, 1);
    EXPECT_EQ(Send(hidden.lockCode), safecmd::kAccepted);
    EXPECT_TRUE(safecmd::ReadTimeReply(Send(safecmd::kTime)).hidden);
    EXPECT_EQ(Send(hidden.unlockCode), safecmd::kAccepted);

    EXPECT_NE(Send(safecmd::kTestLock), "<failed>");
    EXPECT_NE(Send(safecmd::kTestUnlock), "<failed>");
}

TEST_F(SimSafeExchange, BrokenRepliesFailAndTheNextExchangeWorks)
{
    struct Case {
        const char *misbehaviour;
        const char *gap; // ms, for slow and split
        bool agreed;
    };
    const Case cases[] = {
        {"disagree", "100", false},
        {"cut", "100", false},
        {"nul", "100", false},
        {"long", "100", false},
        {"split", "100", false},
        {"slow", "100", false},
        {"slow", "10", true},
        {"junk", "100", true},
        {"ok", "100", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.misbehaviour) + ", gap " + c.gap);
        ASSERT_EQ(safe_.control(std::string("gap ") + c.gap), "ok");
        ASSERT_EQ(safe_.control(std::string("misbehave ") + c.misbehaviour + ",ok"), "ok");
        std::string reply = "unchanged";
        EXPECT_EQ(SafeExchange(safecmd::kTime, reply), c.agreed);
        EXPECT_EQ(reply, c.agreed ? "0" : "unchanged");
        EXPECT_EQ(Send(safecmd::kTime), "0") << "the next exchange failed";
    }
}

TEST_F(SimSafeExchange, HangingUpFailsAtOnce)
{
    ASSERT_EQ(safe_.control("misbehave hangup"), "ok");
    std::string reply = "unchanged";
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(SafeExchange(safecmd::kTime, reply));
    EXPECT_LT(Clock::now() - start, 1000ms);
    EXPECT_EQ(reply, "unchanged");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
