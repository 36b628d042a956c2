// SafeExchange against the simulated safe (a separate program on its own
// pseudo-terminal): the command set end to end, and replies broken on purpose.
// (A peer hanging up is the scripted peer's case, in ExchangeTest.)

#include "KeyCodes.h"
#include "SafeCommands.h"
#include "SafeExchange.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "TempSettingsHome.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <string>

namespace {

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

// The safe's answers in each state are its logic's, tested byte by byte on
// their own; here, a lock and its time as the controller reads them.
TEST_F(SimSafeExchange, CommandSetEndToEnd)
{
    EXPECT_EQ(Send(safecmd::kVersion), "Cadrelle 1 simulated");
    const keycodes::KeyCodes timed = keycodes::MakeKeyCodes(3600, 0);
    EXPECT_EQ(Send(timed.lockCode), safecmd::kAccepted);
    const safecmd::TimeReply left = safecmd::ReadTimeReply(Send(safecmd::kTime));
    EXPECT_FALSE(left.hidden);
    EXPECT_GT(left.seconds, 3500);
    EXPECT_LE(left.seconds, 3600);
    EXPECT_EQ(Send(timed.unlockCode), safecmd::kAccepted);

    const keycodes::KeyCodes hidden = keycodes::MakeKeyCodes(60, 1);
    EXPECT_EQ(Send(hidden.lockCode), safecmd::kAccepted);
    EXPECT_TRUE(safecmd::ReadTimeReply(Send(safecmd::kTime)).hidden);
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
