// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware's lock record in EEPROM, over an array that behaves as the
// ATmega168's 512 bytes do: blank is 0xFF, a cell can wear out, power can fail
// in the middle of a record.

#include "LockStore.h"

#include "KeyCodes.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A timed lock on a board that restarts every minute: each start finds the
// newest record; the record is renewed once kCheckpointSeconds of the lock
// have run since it, however often the board restarts, so a power cut costs
// at most that much; and the records go round the ring, sparing the cells.
TEST(LockStore, CheckpointsGoRoundTheRingAcrossRestarts)
{
    Eeprom memory;
    const auto lock = [](std::uint32_t left) { return State(safelogic::kLockedForTime, false, 7, left); };
    const std::uint32_t start = 1000000;
    const int laps = 4;
    std::uint32_t newest = 0;
    int records = 0;
    for (std::uint32_t left = start; left > start - laps * kSlotCount * lockstore::kCheckpointSeconds; left -= 60) {
        lockstore::LockStore<Eeprom> store(memory);
        PersistentState record{};
        ASSERT_EQ(store.Load(&record), left != start);
        EXPECT_EQ(record.secondsLeft, newest);
        ASSERT_TRUE(store.Update(lock(left)));
        ASSERT_TRUE(LoadFresh(memory, &record));
        EXPECT_GE(record.secondsLeft, left) << "a power cut would shorten the lock";
        EXPECT_LT(record.secondsLeft - left, lockstore::kCheckpointSeconds) << left;
        records += record.secondsLeft != newest ? 1 : 0;
        newest = record.secondsLeft;
    }
    EXPECT_EQ(records, laps * kSlotCount);
    // No cell was written more than once per lap.
    EXPECT_LE(*std::max_element(memory.writes.begin(), memory.writes.end()), laps);
}

// The record before comes back whole, each field of it: the longest lock a
// code can make (31 bits), a remaining time that needs all 32 bits, and the
// widest nonce.
TEST(LockStore, PowerLostDuringASaveKeepsTheRecordBefore)
{
    const PersistentState befores[] = {
        State(safelogic::kLockedForTime, false, 0xBEEF, 0x7FFFFFFFu),
        State(safelogic::kLockedForTime, true, 0xFFFF, 0xFEDCBA98u),
        State(safelogic::kLockedUntilUnlockCode, true, 0x0001, 0),
    };
    const PersistentState after = State(safelogic::kUnlocked, false, 0, 0);
    for (const PersistentState &before : befores)
    for (long cut = 0; cut <= kSlotSize; ++cut) {
        SCOPED_TRACE("power fails after " + std::to_string(cut) + " bytes, " + std::to_string(before.secondsLeft));
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

// A worn cell: its slot is passed over, and not written again on later laps.
TEST(LockStore, WornSlotIsPassedOverAndLeftAlone)
{
    Eeprom memory;
    lockstore::LockStore<Eeprom> store(memory);
    ASSERT_TRUE(store.Save(State(safelogic::kLockedForTime, false, 1, 90000)));
    memory.stuck[kSlotSize + 12] = true;
    memory.bytes[kSlotSize + 12] = 0x00;
    for (std::uint32_t i = 1; i <= 3 * kSlotCount; ++i)
        ASSERT_TRUE(store.Save(State(safelogic::kLockedForTime, false, 1, 90000 - i)));
    PersistentState back{};
    ASSERT_TRUE(LoadFresh(memory, &back));
    EXPECT_EQ(back.secondsLeft, 90000u - 3 * kSlotCount);
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
    for (const bool lockedFirst : {false, true}) {
        Eeprom memory;
        lockstore::LockStore<Eeprom> store(memory);
        safelogic::SafeLogic safe("test");
        safe.Tick(0);
        const auto send = [&](const std::string &command) {
            const bool wasUnlocked = safe.Mode() == safelogic::kUnlocked;
            Command(safe, command);
            lockstore::StoreCommand(store, safe, wasUnlocked);
            return std::string(safe.Reply());
        };
        // The first record, in slot 0; every other slot wears out.
        ASSERT_TRUE(lockedFirst ? send(codes.lockCode) == "Y" : store.Save(safe.Snapshot()));
        for (std::size_t i = kSlotSize; i < memory.bytes.size(); ++i) {
            memory.stuck[i] = true;
            memory.bytes[i] = 0x00;
        }
        PersistentState afterPowerCut{};
        if (!lockedFirst) { // a lock is refused; the latch stays shut
            EXPECT_EQ(send(codes.lockCode), "N");
            EXPECT_EQ(Command(safe, "T"), "0");
            EXPECT_TRUE(safe.LatchClosed());
            ASSERT_TRUE(LoadFresh(memory, &afterPowerCut));
            EXPECT_EQ(afterPowerCut.mode, safelogic::kUnlocked);
            continue;
        }
        // A checkpoint not kept: the lock runs on, the older, longer record holds.
        safe.Tick(1000 * (lockstore::kCheckpointSeconds + 1));
        EXPECT_FALSE(store.Update(safe.Snapshot()));
        EXPECT_EQ(Command(safe, "T"), std::to_string(3600 - lockstore::kCheckpointSeconds - 1));
        // An unlock opens, but a power cut brings the lock back, whole, and
        // the same unlock code opens it again.
        EXPECT_EQ(send(codes.unlockCode), "Y");
        EXPECT_FALSE(safe.LatchClosed());
        ASSERT_TRUE(LoadFresh(memory, &afterPowerCut));
        safelogic::SafeLogic restarted("test");
        ASSERT_TRUE(restarted.Restore(afterPowerCut));
        EXPECT_EQ(Command(restarted, "T"), "3600");
        EXPECT_EQ(Command(restarted, codes.unlockCode), "Y");
    }
}

} // namespace
