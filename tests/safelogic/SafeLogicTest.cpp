// SPDX-License-Identifier: GPL-3.0-or-later
// The safe's behaviour, byte by byte, with the clock in the test's hands:
// what its locks do, and the edges of its framing. The reply to every command
// and byte stream against a model of the rules (copies that disagree, a NUL, a
// pause, a line reset, the version's full stops) is the fuzz target's
// (fuzz/SafeLogicFuzz.cpp), which CI runs; here, the lock rules as named
// cases and the edges a short run of it does not reach.
#include "SafeLogic.h"

#include "KeyCodes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using safelogic::SafeLogic;

const char kVersion[] = "Cadrelle 1.2 test";

// A safe with its clock at a chosen millisecond, fed bytes as they would
// come off the line.
struct Line {
    SafeLogic safe;
    std::uint32_t now;

    explicit Line(std::uint32_t startMs = 5000) : safe(kVersion), now(startMs)
    {
        safe.Tick(now);
    }

    void Wait(std::uint32_t ms)
    {
        now += ms;
        safe.Tick(now);
    }

    std::vector<std::string> Bytes(const std::string &bytes)
    {
        std::vector<std::string> replies;
        for (char c : bytes) {
            if (safe.Feed(static_cast<std::uint8_t>(c)))
                replies.emplace_back(safe.Reply(), safe.ReplyLength());
        }
        return replies;
    }

    // One exchange as the controller makes it: three copies, one reply.
    std::string Command(const std::string &command)
    {
        const std::string copy = command + ".";
        const std::vector<std::string> replies = Bytes(copy + copy + copy);
        EXPECT_EQ(replies.size(), 1u) << "command " << command;
        return replies.empty() ? std::string("<none>") : replies.front();
    }
};

TEST(SafeLogic, TimedLockOpensOnItsSecondAndNoOtherLockDoes)
{
    const struct {
        std::uint32_t startMs;
        std::int32_t seconds;
        std::vector<std::uint32_t> waits;
        std::uint32_t secondsLeft;
        bool closed;
    } cases[] = {
        // Timed from its acceptance, 400 ms after the clock's start, not
        // from a second boundary. (A counter that wraps, long steps without
        // ticks and locks of 31 bits: the fuzz target's clock starts anywhere
        // and takes steps of up to 24 days.)
        {5000, 10, {9999}, 1, true},
        {5000, 10, {10000}, 0, false},
        {123, 3, {250, 250, 250, 249}, 3, true},
        {123, 3, {250, 250, 250, 250}, 2, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.startMs) + " " + std::to_string(c.seconds));
        const keycodes::KeyCodes pair = keycodes::MakeKeyCodesAt(40000, c.seconds, 1);
        Line line(c.startMs);
        line.Wait(400);
        ASSERT_EQ(line.Command(pair.lockCode), "Y");
        for (std::uint32_t w : c.waits)
            line.Wait(w);
        EXPECT_EQ(line.safe.SecondsLeft(), c.secondsLeft);
        EXPECT_EQ(line.safe.LatchClosed(), c.closed);
        if (!c.closed) {
            EXPECT_FALSE(line.safe.TimeHidden());
            EXPECT_EQ(line.Command("T"), "0");
            EXPECT_EQ(line.Command(pair.unlockCode), "N");
            continue;
        }
        // While it holds: the time hidden; no other lock, no other lock's
        // unlock code and no test command opens it; its own unlock code does.
        EXPECT_EQ(line.Command("T"), "X");
        for (const std::string &refused : {pair.lockCode, keycodes::MakeKeyCodesAt(40001, 60, 0).unlockCode, std::string("Y")})
            EXPECT_EQ(line.Command(refused), "N") << refused;
        EXPECT_TRUE(line.safe.LatchClosed());
        EXPECT_EQ(line.Command(pair.unlockCode), "Y");
        EXPECT_FALSE(line.safe.LatchClosed());
        EXPECT_EQ(line.Command(pair.unlockCode), "N"); // used up
    }
}

// A copy of the longest command the safe keeps is a command; one byte more is
// garbled. (A known letter with anything after it, and every shorter stream:
// the fuzz target.)
TEST(SafeLogic, FramingEdges)
{
    const std::string longText(safelogic::kCommandCapacity, 'Q');
    const std::string overlong(safelogic::kCommandCapacity + 1, 'Q');
    const struct {
        std::string bytes;
        std::string reply;
    } cases[] = {
        {longText + "." + longText + "." + longText + ".", "?"},
        {overlong + "." + overlong + "." + overlong + ".", "E"},
    };
    for (const auto &c : cases) {
        Line line;
        EXPECT_EQ(line.Bytes(c.bytes), std::vector<std::string>{c.reply}) << c.bytes;
        EXPECT_FALSE(line.safe.LatchClosed()) << c.bytes;
    }
}

TEST(SafeLogic, DamagedOrBlankStoreReadsAsUnlocked)
{
    Line locked;
    ASSERT_EQ(locked.Command(keycodes::MakeKeyCodesAt(40000, 100, 0).lockCode), "Y");
    struct Case {
        const char *what;
        safelogic::PersistentState state;
    } cases[] = {{"blank memory", {}}, {"one changed bit", locked.safe.Snapshot()},
                 {"unknown mode", locked.safe.Snapshot()}};
    std::memset(&cases[0].state, 0xFF, sizeof cases[0].state);
    cases[1].state.secondsLeft ^= 0x100;
    cases[2].state.mode = 7;
    for (const Case &c : cases) {
        Line line;
        EXPECT_FALSE(line.safe.Restore(c.state)) << c.what;
        EXPECT_FALSE(line.safe.LatchClosed()) << c.what;
        EXPECT_EQ(line.Command("T"), "0") << c.what;
    }
}

TEST(SafeLogic, OffersTheRemainingTimeForStoringNowAndThen)
{
    Line line;
    ASSERT_EQ(line.Command(keycodes::MakeKeyCodesAt(40000, 10000, 0).lockCode), "Y");
    ASSERT_TRUE(line.safe.TakePersistRequest());
    int requests = 0;
    for (int s = 0; s < 3000; ++s) {
        line.Wait(1000);
        if (line.safe.TakePersistRequest())
            ++requests;
    }
    EXPECT_EQ(requests, static_cast<int>(3000 / safelogic::kCheckpointSeconds));
    EXPECT_EQ(line.safe.Snapshot().secondsLeft, 7000u);
}

} // namespace
