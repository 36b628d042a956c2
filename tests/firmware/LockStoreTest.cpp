// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware's lock record in EEPROM, over an array that behaves as the
// ATmega168's 512 bytes do: blank is 0xFF, a cell can wear out, power can fail
// in the middle of a record.

#include "LockStore.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
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

TEST(LockStore, WornSlotIsPassedOver)
{
    Eeprom memory;
    lockstore::LockStore<Eeprom> store(memory);
    ASSERT_TRUE(store.Save(State(safelogic::kLockedForTime, false, 1, 900)));
    // The next slot has a worn cell.
    memory.stuck[kSlotSize + 12] = true;
    memory.bytes[kSlotSize + 12] = 0x00;
    const PersistentState next = State(safelogic::kLockedForTime, false, 1, 870);
    ASSERT_TRUE(store.Save(next));
    PersistentState back{};
    ASSERT_TRUE(LoadFresh(memory, &back));
    EXPECT_TRUE(Same(back, next));

    // Wear everywhere but in the newest record: the save fails and the newest
    // record is still there, never overwritten by the attempts.
    Eeprom worn;
    lockstore::LockStore<Eeprom> wornStore(worn);
    const PersistentState kept = State(safelogic::kLockedUntilUnlockCode, true, 9, 0);
    ASSERT_TRUE(wornStore.Save(kept));
    for (int i = kSlotSize; i < 512; ++i) {
        worn.stuck[i] = true;
        worn.bytes[i] = 0x00;
    }
    EXPECT_FALSE(wornStore.Save(State(safelogic::kUnlocked, false, 0, 0)));
    ASSERT_TRUE(LoadFresh(worn, &back));
    EXPECT_TRUE(Same(back, kept));
}

} // namespace
