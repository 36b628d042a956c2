// SPDX-License-Identifier: GPL-3.0-or-later
// The lock's record in the board's EEPROM, so that a reset or a power cut does
// not open a locked safe.
//
// Time across a reset: the board has no real-time clock, so it cannot know how
// long it was off or held in reset. What is stored is the remaining time of a
// timed lock, and the countdown goes on from it when the firmware starts
// again. Time without power, the bootloader's wait after a reset (about 1.3 s)
// and the time since the last stored record are therefore added to the lock,
// never taken from it: a reset can make the safe open later, never earlier.
// A reset keeps the lock in RAM to the millisecond (KeptLock.h), so this
// record serves a power cut only. While a timed lock runs it is renewed once
// kCheckpointSeconds of the lock have passed since the record was written
// (counted from the record itself, so resets do not put it off): a power cut
// costs the wearer at most that much plus the time the board was down.
//
// Wear: an EEPROM cell takes about 100 000 writes. Each record goes into the
// next of kSlotCount slots in turn, and only bytes that change are written, so
// a cell is written at most once per kSlotCount records: 25 slots at one
// record every 10 minutes last 25 x 100 000 x 600 s, about 47.5 years of
// timed locks without a break. Unlocked and untimed locks write nothing but
// the change itself.
//
// A record is written before the safe answers the command that changed the
// lock, and read back. Power lost during the write leaves a slot that fails
// its check, and the previous record holds: a lock that was not yet confirmed
// to the controller is lost, an unlock not yet confirmed is not done, and a
// checkpoint falls back to the one before (a longer lock).
//
// A worn cell: a slot that does not read back what was written is marked bad
// (for as long as the firmware runs; after a restart one more write finds it
// out again) and the record goes into the next slot. Only when no slot keeps
// it has the save failed, and then the safe never ends up more open than the
// EEPROM says (StoreCommand): a new lock is refused, an unlock still opens
// (after a power cut the EEPROM's lock comes back, and the same unlock code
// opens it again), and a timed lock runs on from its older, longer record.
//
// Plain C++11 without the AVR's headers, so the host's tests run it over an
// array: `Memory` has uint8_t Read(uint16_t address) and
// void Write(uint16_t address, uint8_t value).
#ifndef VANDREL_FIRMWARE_LOCKSTORE_H
#define VANDREL_FIRMWARE_LOCKSTORE_H

#include <stdint.h>

#include "SafeLogic.h"

namespace lockstore {

const uint16_t kSlotSize = 20;
const uint8_t kSlotCount = 25; // 500 of the ATmega168's 512 bytes
// The same interval at which the safe's logic offers its state for storing.
const uint32_t kCheckpointSeconds = safelogic::kCheckpointSeconds;

// Slot layout, little-endian:
//  0..3  sequence number (the newest valid record has the highest)
//  4..16 the safe's persistent state, field by field
//  17,18 zero (a later layout that sets them is never taken for this one)
//  19    CRC-8 of bytes 0..18
inline uint8_t Crc8(const uint8_t* bytes, uint8_t n)
{
    uint8_t crc = 0xFF;
    for (uint8_t i = 0; i < n; ++i) {
        crc = static_cast<uint8_t>(crc ^ bytes[i]);
        for (uint8_t bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80) ? static_cast<uint8_t>((crc << 1) ^ 0x31) : static_cast<uint8_t>(crc << 1);
    }
    return crc;
}

inline void Put32(uint8_t* at, uint32_t v)
{
    for (uint8_t i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint32_t Get32(const uint8_t* at)
{
    uint32_t v = 0;
    for (uint8_t i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(at[i]) << (8 * i);
    return v;
}

inline void Encode(uint32_t sequence, const safelogic::PersistentState& s, uint8_t* slot)
{
    Put32(slot, sequence);
    slot[4] = s.marker;
    slot[5] = s.mode;
    slot[6] = s.hidden;
    slot[7] = s.reserved;
    Put32(slot + 8, s.nonce);
    Put32(slot + 12, s.secondsLeft);
    slot[16] = s.check;
    slot[17] = 0;
    slot[18] = 0;
    slot[19] = Crc8(slot, kSlotSize - 1);
}

// False when the slot holds no record (blank, torn or damaged).
inline bool Decode(const uint8_t* slot, uint32_t* sequence, safelogic::PersistentState* s)
{
    bool blank = true;
    for (uint8_t i = 0; i < kSlotSize; ++i)
        blank = blank && slot[i] == 0xFF;
    if (blank || slot[17] != 0 || slot[18] != 0 || slot[19] != Crc8(slot, kSlotSize - 1))
        return false;
    *sequence = Get32(slot);
    s->marker = slot[4];
    s->mode = slot[5];
    s->hidden = slot[6];
    s->reserved = slot[7];
    s->nonce = Get32(slot + 8);
    s->secondsLeft = Get32(slot + 12);
    s->check = slot[16];
    return true;
}

template <class Memory>
class LockStore {
public:
    explicit LockStore(Memory& memory) : memory_(memory), newest_(0), sequence_(0), bad_(0), any_(false)
    {
        record_ = safelogic::SealedState(safelogic::kUnlocked, false, 0, 0);
    }

    // Finds the newest record; false when there is none (a blank EEPROM).
    bool Load(safelogic::PersistentState* state)
    {
        any_ = false;
        for (uint8_t slot = 0; slot < kSlotCount; ++slot) {
            uint8_t bytes[kSlotSize];
            ReadSlot(slot, bytes);
            uint32_t sequence = 0;
            safelogic::PersistentState s;
            if (!Decode(bytes, &sequence, &s))
                continue;
            if (!any_ || sequence > sequence_) {
                any_ = true;
                newest_ = slot;
                sequence_ = sequence;
                record_ = s;
            }
        }
        if (any_)
            *state = record_;
        return any_;
    }

    // True when the newest record no longer holds `now`: another lock (or
    // none), or a timed lock that has run kCheckpointSeconds since it.
    bool Due(const safelogic::PersistentState& now) const
    {
        if (!any_)
            return now.mode != safelogic::kUnlocked;
        if (now.mode != record_.mode || now.nonce != record_.nonce || now.hidden != record_.hidden)
            return true;
        // A record with less time left than the safe has (the same code
        // locked again after an unlock that was not kept) wraps around to a
        // large difference: it is renewed at once too.
        return now.mode == safelogic::kLockedForTime && record_.secondsLeft - now.secondsLeft >= kCheckpointSeconds;
    }

    // Stores `now` when it is due; false when it was due and no slot kept it.
    bool Update(const safelogic::PersistentState& now) { return !Due(now) || Save(now); }

    // Writes a new record into the next good slot after the newest and reads
    // it back; a slot that does not keep it is marked bad and passed over.
    // The newest record itself is never overwritten. False when no slot kept
    // the new one.
    bool Save(const safelogic::PersistentState& state)
    {
        const uint8_t first = any_ ? static_cast<uint8_t>(newest_ + 1) : 0;
        for (uint8_t n = 0; n < kSlotCount; ++n) {
            const uint8_t slot = static_cast<uint8_t>((first + n) % kSlotCount);
            const uint32_t bit = static_cast<uint32_t>(1) << slot;
            if ((any_ && slot == newest_) || (bad_ & bit) != 0)
                continue;
            const uint32_t sequence = sequence_ + 1;
            uint8_t bytes[kSlotSize];
            Encode(sequence, state, bytes);
            const uint16_t base = static_cast<uint16_t>(slot * kSlotSize);
            for (uint8_t i = 0; i < kSlotSize; ++i)
                memory_.Write(static_cast<uint16_t>(base + i), bytes[i]);
            bool kept = true;
            for (uint8_t i = 0; i < kSlotSize; ++i)
                kept = kept && memory_.Read(static_cast<uint16_t>(base + i)) == bytes[i];
            // A worn slot still takes the sequence number, so that a record
            // that reads back wrong yet passes its check cannot win later.
            sequence_ = sequence;
            if (kept) {
                newest_ = slot;
                any_ = true;
                record_ = state;
                return true;
            }
            bad_ |= bit;
        }
        return false;
    }

private:
    void ReadSlot(uint8_t slot, uint8_t* bytes)
    {
        const uint16_t base = static_cast<uint16_t>(slot * kSlotSize);
        for (uint8_t i = 0; i < kSlotSize; ++i)
            bytes[i] = memory_.Read(static_cast<uint16_t>(base + i));
    }

    Memory& memory_;
    uint8_t newest_;
    uint32_t sequence_;
    uint32_t bad_; // one bit per slot that did not keep a record
    bool any_;
    safelogic::PersistentState record_; // what the newest record holds
};

// After a command, before the safe answers it: stores what the command
// changed. A lock the command made (the safe was unlocked before it) that no
// slot keeps is taken back, and the safe answers "N": a power cut would
// otherwise open it. True when the safe was changed so.
template <class Memory>
bool StoreCommand(LockStore<Memory>& store, safelogic::SafeLogic& safe, bool wasUnlocked)
{
    if (store.Update(safe.Snapshot()) || !wasUnlocked || safe.Mode() == safelogic::kUnlocked)
        return false;
    safe.WithdrawLock();
    return true;
}

} // namespace lockstore

#endif
