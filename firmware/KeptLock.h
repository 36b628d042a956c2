// SPDX-License-Identifier: GPL-3.0-or-later
// The lock kept in RAM across a reset, to the millisecond.
//
// The chip keeps its RAM through a reset that is not a power loss (the reset
// pin, a rise of DTR, the watchdog); only the start-up code clears it, and it
// leaves the .noinit section alone. The bootloader that runs between the
// reset and the firmware uses the bottom of RAM (its 256-byte page buffer and
// a few variables, about 0x100 to 0x210) and a few bytes of stack at the top:
// the firmware's .noinit lies after its own data, above that (the build
// checks it). So the firmware keeps the exact state of the lock there while
// it runs, and a reset lengthens a timed lock by the time the board spends in
// reset and in the bootloader only, not by the time since the last EEPROM
// record (up to lockstore::kCheckpointSeconds). The EEPROM record still
// covers a power loss, after which RAM holds whatever the cells came up with.
//
// Such random contents must never be taken for a lock: a record counts only
// with its magic number, its own check and the state's check. Two slots are
// written in turn, each with its check last, so a reset in the middle of a
// write leaves the other slot, a millisecond older, to be read.
//
// Nor must a firmware take a record that another firmware left in another
// layout (an upload does not clear RAM): every layout begins with the magic
// number and its own version, and a record of another version counts as no
// record, so the EEPROM's record restores the lock then. The first layout had
// the magic "Kept" and no version; a later one must change kLayout.
//
// Plain C++11 without the AVR's headers, so the host's tests run it.
#ifndef VANDREL_FIRMWARE_KEPTLOCK_H
#define VANDREL_FIRMWARE_KEPTLOCK_H

#include <stdint.h>

#include "SafeLogic.h"

namespace keptlock {

const uint32_t kMagic = 0x4B656570UL; // "Keep" ("Kept" was the first layout's)
const uint8_t kLayout = 2;

// Packed, so that no padding byte lies outside the check (the AVR pads
// nothing; the host's tests would).
struct __attribute__((packed)) Slot {
    uint32_t magic;
    uint8_t layout;
    uint8_t sequence; // the newer slot's is one more than the other's
    uint8_t mode;
    uint8_t hidden;
    uint8_t reserved;
    uint32_t nonce;
    uint32_t secondsLeft;
    uint16_t msIntoSecond;
    uint8_t stateCheck;
    uint8_t marker;
    uint16_t check; // Fletcher's sums of the fields above (mod 256), written last
};

struct Kept {
    Slot slots[2];
};

inline uint16_t SlotCheck(const Slot& s)
{
    uint8_t field[23];
    uint8_t n = 0;
    for (uint8_t i = 0; i < 4; ++i)
        field[n++] = static_cast<uint8_t>(s.magic >> (8 * i));
    field[n++] = s.layout;
    field[n++] = s.sequence;
    field[n++] = s.mode;
    field[n++] = s.hidden;
    field[n++] = s.reserved;
    for (uint8_t i = 0; i < 4; ++i)
        field[n++] = static_cast<uint8_t>(s.nonce >> (8 * i));
    for (uint8_t i = 0; i < 4; ++i)
        field[n++] = static_cast<uint8_t>(s.secondsLeft >> (8 * i));
    field[n++] = static_cast<uint8_t>(s.msIntoSecond);
    field[n++] = static_cast<uint8_t>(s.msIntoSecond >> 8);
    field[n++] = s.stateCheck;
    field[n++] = s.marker;
    uint8_t a = 1;
    uint8_t b = 0;
    for (uint8_t i = 0; i < n; ++i) {
        a = static_cast<uint8_t>(a + field[i]);
        b = static_cast<uint8_t>(b + a);
    }
    return static_cast<uint16_t>(b << 8 | a);
}

inline bool Valid(const Slot& s)
{
    return s.magic == kMagic && s.layout == kLayout && s.check == SlotCheck(s) && s.msIntoSecond < 1000;
}

// Writes the state into the older slot; the check goes in last, after a
// barrier, so that a reset never leaves a slot that passes it half written.
inline void Keep(Kept& kept, const safelogic::PersistentState& state, uint16_t msIntoSecond)
{
    const bool firstValid = Valid(kept.slots[0]);
    const bool secondValid = Valid(kept.slots[1]);
    uint8_t newer = 0;
    if (firstValid && secondValid)
        newer = static_cast<uint8_t>(kept.slots[1].sequence - kept.slots[0].sequence) == 1 ? 1 : 0;
    else if (secondValid)
        newer = 1;
    const uint8_t next = (firstValid || secondValid) ? static_cast<uint8_t>(1 - newer) : 0;
    const uint8_t sequence =
        (firstValid || secondValid) ? static_cast<uint8_t>(kept.slots[newer].sequence + 1) : 0;

    Slot s;
    s.magic = kMagic;
    s.layout = kLayout;
    s.sequence = sequence;
    s.mode = state.mode;
    s.hidden = state.hidden;
    s.reserved = state.reserved;
    s.nonce = state.nonce;
    s.secondsLeft = state.secondsLeft;
    s.msIntoSecond = msIntoSecond;
    s.stateCheck = state.check;
    s.marker = state.marker;
    s.check = SlotCheck(s);

    Slot& target = kept.slots[next];
    target.check = static_cast<uint16_t>(~s.check); // torn from here on
    __asm__ __volatile__("" ::: "memory");
    target.magic = s.magic;
    target.layout = s.layout;
    target.sequence = s.sequence;
    target.mode = s.mode;
    target.hidden = s.hidden;
    target.reserved = s.reserved;
    target.nonce = s.nonce;
    target.secondsLeft = s.secondsLeft;
    target.msIntoSecond = s.msIntoSecond;
    target.stateCheck = s.stateCheck;
    target.marker = s.marker;
    __asm__ __volatile__("" ::: "memory");
    target.check = s.check;
    __asm__ __volatile__("" ::: "memory");
}

// The newest valid slot's state; false when neither slot holds a record.
// The state's own check is the safe logic's, in Restore().
inline bool Recall(const Kept& kept, safelogic::PersistentState* state, uint16_t* msIntoSecond)
{
    const bool firstValid = Valid(kept.slots[0]);
    const bool secondValid = Valid(kept.slots[1]);
    if (!firstValid && !secondValid)
        return false;
    uint8_t newer = secondValid ? 1 : 0;
    if (firstValid && secondValid)
        newer = static_cast<uint8_t>(kept.slots[1].sequence - kept.slots[0].sequence) == 1 ? 1 : 0;
    const Slot& s = kept.slots[newer];
    state->marker = s.marker;
    state->mode = s.mode;
    state->hidden = s.hidden;
    state->reserved = s.reserved;
    state->nonce = s.nonce;
    state->secondsLeft = s.secondsLeft;
    state->check = s.stateCheck;
    *msIntoSecond = s.msIntoSecond;
    return true;
}

} // namespace keptlock

#endif
