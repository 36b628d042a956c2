// SPDX-License-Identifier: GPL-3.0-or-later
// The lock Cadrelle keeps in RAM across a reset, on the host: the newest whole
// record comes back to the millisecond, a half-written one is passed over, and
// neither what the cells hold after a power-up nor a record of another layout
// is ever taken for a lock. (That the bootloader leaves it alone, and the
// board's time across a reset, are the simulated board's tests.)
#include "KeptLock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

namespace {

using safelogic::SealedState;

// Field by field: the padding after `check` holds whatever the stack held.
bool Same(const safelogic::PersistentState &x, const safelogic::PersistentState &y)
{
    return x.marker == y.marker && x.mode == y.mode && x.hidden == y.hidden && x.reserved == y.reserved &&
           x.nonce == y.nonce && x.secondsLeft == y.secondsLeft && x.check == y.check;
}

TEST(KeptLock, NewestWholeRecordComesBackAndNothingElse)
{
    const safelogic::PersistentState a = SealedState(safelogic::kLockedForTime, false, 7, 3600);
    const safelogic::PersistentState b = SealedState(safelogic::kLockedForTime, true, 7, 3599);
    keptlock::Kept kept;
    std::memset(&kept, 0, sizeof kept);
    safelogic::PersistentState state{};
    std::uint16_t ms = 0;
    EXPECT_FALSE(keptlock::Recall(kept, &state, &ms)) << "all zeros";
    std::memset(&kept, 0xFF, sizeof kept);
    EXPECT_FALSE(keptlock::Recall(kept, &state, &ms)) << "all ones";

    // Over the sequence number's wrap, each record replaces the one before.
    for (int i = 0; i < 600; ++i) {
        const std::uint16_t at = static_cast<std::uint16_t>(i % 1000);
        keptlock::Keep(kept, i % 2 == 0 ? a : b, at);
        ASSERT_TRUE(keptlock::Recall(kept, &state, &ms));
        ASSERT_TRUE(Same(state, i % 2 == 0 ? a : b)) << i;
        ASSERT_EQ(ms, at);
    }

    // A reset in the middle of a write: whatever part of the newer slot was
    // written, its check fails and the record before it holds.
    keptlock::Keep(kept, a, 100);
    keptlock::Keep(kept, b, 101);
    for (std::size_t byte = 0; byte < sizeof(keptlock::Slot); ++byte) {
        keptlock::Kept torn = kept;
        const int newer = kept.slots[0].msIntoSecond == 101 ? 0 : 1;
        reinterpret_cast<std::uint8_t *>(&torn.slots[newer])[byte] ^= 0x01;
        ASSERT_TRUE(keptlock::Recall(torn, &state, &ms)) << byte;
        EXPECT_EQ(ms, 100) << "byte " << byte;
        EXPECT_EQ(state.secondsLeft, 3600u);
    }

    // A whole record of a later layout, which another firmware left (an
    // upload does not clear RAM).
    for (keptlock::Slot &slot : kept.slots) {
        slot.layout = keptlock::kLayout + 1;
        slot.check = keptlock::SlotCheck(slot);
    }
    EXPECT_FALSE(keptlock::Recall(kept, &state, &ms));

    // What RAM holds after power comes on.
    std::mt19937 cells(20261207);
    int taken = 0;
    for (int i = 0; i < 200000; ++i) {
        auto *bytes = reinterpret_cast<std::uint8_t *>(&kept);
        for (std::size_t j = 0; j < sizeof kept; ++j)
            bytes[j] = static_cast<std::uint8_t>(cells());
        taken += keptlock::Recall(kept, &state, &ms) ? 1 : 0;
    }
    EXPECT_EQ(taken, 0);
}

} // namespace
