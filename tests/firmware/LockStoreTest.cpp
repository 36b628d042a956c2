// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware's lock record in EEPROM, over an array that behaves as the
// ATmega168's 512 bytes do: blank is 0xFF, a cell can wear out, power can fail
// in the middle of a record.

#include "LockStore.h"

#include "KeyCodes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using lockstore::kSlotCount;
using lockstore::kSlotSize;
using safelogic::PersistentState;
// A state as the safe's logic makes it, check included.
constexpr auto State = safelogic::SealedState;

struct Eeprom {
    std::array<std::uint8_t, 512> bytes;
    std::array<int, 512> writes{};
    std::vector<bool> stuck = std::vector<bool>(512, false); // a worn cell keeps its value
    long writesLeft = -1;                                    // power fails after this many writes

    Eeprom() { bytes.fill(0xFF); }

    std::uint8_t Read(std::uint16_t address) { return bytes.at(address); }
    void Write(std::uint16_t address, std::uint8_t value)
    {
        if (writesLeft == 0)
            return;
        if (writesLeft > 0)
            --writesLeft;
        if (stuck.at(address))
            return;
        if (bytes.at(address) != value)
            ++writes.at(address);
        bytes.at(address) = value;
    }
};

bool Same(const PersistentState &a, const PersistentState &b)
{
    return a.marker == b.marker && a.mode == b.mode && a.hidden == b.hidden && a.reserved == b.reserved &&
           a.nonce == b.nonce && a.secondsLeft == b.secondsLeft && a.check == b.check;
}

// What a freshly started board finds.
bool LoadFresh(Eeprom &memory, PersistentState *state)
{
    lockstore::LockStore<Eeprom> store(memory);
    return store.Load(state);
}

TEST(LockStore, MemoryWithoutARecordHoldsNoLock)
{
    for (std::uint8_t fill : {0xFF, 0x00, 0xA5}) { // blank, zeros, a pattern
        Eeprom memory;
        memory.bytes.fill(fill);
        PersistentState s{};
        EXPECT_FALSE(LoadFresh(memory, &s)) << int(fill);
    }
}

// Each field comes back whole: the longest lock a code can make (31 bits),
// a remaining time that needs all 32 bits, and the widest nonce.
TEST(LockStore, EveryFieldOfARecordComesBackWhole)
{
    const PersistentState states[] = {
        State(safelogic::kLockedForTime, false, 0xBEEF, 0x7FFFFFFFu),
        State(safelogic::kLockedForTime, true, 0xFFFF, 0xFEDCBA98u),
        State(safelogic::kLockedUntilUnlockCode, true, 0x0001, 0),
    };
    for (const PersistentState &state : states) {
        SCOPED_TRACE(state.secondsLeft);
        Eeprom memory;
        lockstore::LockStore<Eeprom> store(memory);
        ASSERT_TRUE(store.Save(state));
        PersistentState back{};
        ASSERT_TRUE(LoadFresh(memory, &back));
        EXPECT_TRUE(Same(back, state));
        EXPECT_EQ(back.secondsLeft, state.secondsLeft);
    }
}

TEST(LockStore, NewestRecordWinsAndWritesSpreadOverTheRing)
{
    Eeprom memory;
    const int saves = 10 * kSlotCount + 7;
    for (int i = 1; i <= saves; ++i) {
        // Each start finds the last record and writes after it, as the board
        // does after every reset.
        lockstore::LockStore<Eeprom> store(memory);
        PersistentState last{};
        EXPECT_EQ(store.Load(&last), i > 1);
        if (i > 1) {
            EXPECT_EQ(last.secondsLeft, static_cast<std::uint32_t>(100000 - (i - 1)));
        }
        ASSERT_TRUE(store.Save(State(safelogic::kLockedForTime, false, 7, 100000 - i)));
    }
    PersistentState back{};
    ASSERT_TRUE(LoadFresh(memory, &back));
    EXPECT_EQ(back.secondsLeft, static_cast<std::uint32_t>(100000 - saves));

    int most = 0;
    for (int w : memory.writes)
        most = std::max(most, w);
    // Every slot took its turn: no cell was written more than once per lap.
    EXPECT_LE(most, saves / kSlotCount + 1);
}

TEST(LockStore, PowerLostDuringASaveKeepsTheRecordBefore)
{
    const PersistentState before = State(safelogic::kLockedForTime, false, 0x4242, 5000);
    const PersistentState after = State(safelogic::kUnlocked, false, 0, 0);
    for (long cut = 0; cut <= kSlotSize; ++cut) {
        SCOPED_TRACE("power fails after " + std::to_string(cut) + " bytes");
        Eeprom memory;
        {
            lockstore::LockStore<Eeprom> store(memory);
            ASSERT_TRUE(store.Save(before));
            memory.writesLeft = cut;
            store.Save(after);
        }
        memory.writesLeft = -1;
        PersistentState back{};
        ASSERT_TRUE(LoadFresh(memory, &back));
        // An unlock that did not reach the memory whole is not done: the
        // safe stays locked.
        EXPECT_TRUE(Same(back, cut == kSlotSize ? after : before));
    }
}

// A timed lock's record is renewed once kCheckpointSeconds of the lock have
// run since it, however often the board restarts in between: a power cut
// then costs at most that much, and the cells take one write per interval.
TEST(LockStore, CheckpointsFollowTheRecordAcrossRestarts)
{
    Eeprom memory;
    const auto lock = [](std::uint32_t left) { return State(safelogic::kLockedForTime, false, 5, left); };
    const std::uint32_t start = 7200;
    ASSERT_TRUE(lockstore::LockStore<Eeprom>(memory).Save(lock(start)));
    std::uint32_t last = start;
    int renewals = 0;
    for (std::uint32_t left = start - 60; left >= start - 3 * lockstore::kCheckpointSeconds; left -= 60) {
        lockstore::LockStore<Eeprom> store(memory); // a restart every minute
        PersistentState record{};
        ASSERT_TRUE(store.Load(&record));
        ASSERT_TRUE(store.Update(lock(left)));
        ASSERT_TRUE(LoadFresh(memory, &record));
        EXPECT_GE(record.secondsLeft, left) << "a power cut would shorten the lock";
        EXPECT_LT(record.secondsLeft - left, lockstore::kCheckpointSeconds) << left;
        renewals += record.secondsLeft != last ? 1 : 0;
        last = record.secondsLeft;
    }
    EXPECT_EQ(renewals, 3);
}

// A worn cell: its slot is passed over, and not written again on later laps.
TEST(LockStore, WornSlotIsPassedOverAndLeftAlone)
{
    Eeprom memory;
    lockstore::LockStore<Eeprom> store(memory);
    ASSERT_TRUE(store.Save(State(safelogic::kLockedForTime, false, 1, 90000)));
    memory.stuck[kSlotSize + 12] = true;
    memory.bytes[kSlotSize + 12] = 0x00;
    for (std::uint32_t i = 1; i <= 3 * kSlotCount; ++i) {
        const PersistentState next = State(safelogic::kLockedForTime, false, 1, 90000 - i);
        ASSERT_TRUE(store.Save(next));
        PersistentState back{};
        ASSERT_TRUE(LoadFresh(memory, &back));
        EXPECT_TRUE(Same(back, next)) << i;
    }
    EXPECT_EQ(memory.writes[kSlotSize], 1) << "the worn slot was tried again";
}

std::string Command(safelogic::SafeLogic &safe, const std::string &command)
{
    const std::string copies = command + "." + command + "." + command + ".";
    for (char c : copies) {
        if (safe.Feed(static_cast<std::uint8_t>(c)))
            return safe.Reply();
    }
    return "<none>";
}

// An EEPROM where no slot but the newest record's keeps anything: the safe
// never ends up more open than that record, which a power cut brings back.
TEST(LockStore, WhenNoSlotKeepsARecordTheSafeIsNeverMoreOpenThanTheEeprom)
{
    const keycodes::KeyCodes codes = keycodes::MakeKeyCodes(3600, 0);
    struct Board {
        Eeprom memory;
        lockstore::LockStore<Eeprom> store{memory};
        safelogic::SafeLogic safe{"test"};
        std::uint32_t now = 0;

        std::string Send(const std::string &command)
        {
            const bool wasUnlocked = safe.Mode() == safelogic::kUnlocked;
            Command(safe, command);
            lockstore::StoreCommand(store, safe, wasUnlocked);
            return safe.Reply();
        }
        void Wear()
        {
            for (std::size_t i = kSlotSize; i < memory.bytes.size(); ++i) {
                memory.stuck[i] = true;
                memory.bytes[i] = 0x00;
            }
        }
        // What the board finds after power comes back.
        PersistentState AfterPowerCut()
        {
            PersistentState s{};
            EXPECT_TRUE(LoadFresh(memory, &s));
            return s;
        }
    };

    { // A lock that cannot be stored is refused; the latch stays shut.
        Board b;
        b.safe.Tick(0);
        ASSERT_TRUE(b.store.Save(b.safe.Snapshot()));
        b.Wear();
        EXPECT_EQ(b.Send(codes.lockCode), "N");
        EXPECT_EQ(b.safe.Mode(), safelogic::kUnlocked);
        EXPECT_TRUE(b.safe.LatchClosed());
        EXPECT_EQ(Command(b.safe, "T"), "0");
        EXPECT_EQ(b.AfterPowerCut().mode, safelogic::kUnlocked);
    }
    { // An unlock opens, but a power cut brings the lock back, and the same
      // unlock code opens it again.
        Board b;
        b.safe.Tick(0);
        ASSERT_EQ(b.Send(codes.lockCode), "Y");
        b.Wear();
        EXPECT_EQ(b.Send(codes.unlockCode), "Y");
        EXPECT_FALSE(b.safe.LatchClosed());
        const PersistentState stored = b.AfterPowerCut();
        safelogic::SafeLogic restarted("test");
        ASSERT_TRUE(restarted.Restore(stored));
        EXPECT_TRUE(restarted.LatchClosed());
        EXPECT_EQ(Command(restarted, codes.unlockCode), "Y");
    }
    { // A checkpoint that is not kept: the lock runs on, and the older
      // record (a longer lock) holds.
        Board b;
        b.safe.Tick(0);
        ASSERT_EQ(b.Send(codes.lockCode), "Y");
        b.Wear();
        b.safe.Tick(1000 * (lockstore::kCheckpointSeconds + 1));
        EXPECT_FALSE(b.store.Update(b.safe.Snapshot()));
        EXPECT_EQ(b.safe.SecondsLeft(), 3600 - lockstore::kCheckpointSeconds - 1);
        EXPECT_EQ(b.AfterPowerCut().secondsLeft, 3600u);
    }
}

} // namespace
