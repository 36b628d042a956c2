// SPDX-License-Identifier: GPL-3.0-or-later
// Cadrelle: the safe's firmware. The safe's behaviour is the shared safe logic
// (the same code the simulated safe runs); this file gives it the board's
// serial line, clock, latch output and EEPROM.
//
// On start the latch stays shut until the lock has been read back, so that a
// reset never opens a locked safe, not even for a moment. The lock is kept
// twice: to the millisecond in RAM, which a reset leaves alone (KeptLock.h),
// and in the EEPROM, which a power loss leaves alone (LockStore.h).
#include "Board.h"
#include "Clock.h"
#include "KeptLock.h"
#include "LockStore.h"
#include "SafeLogic.h"
#include "SerialLine.h"

#include <avr/eeprom.h>
#include <avr/interrupt.h>
#include <avr/sleep.h>

namespace {

#ifndef FIRMWARE_BUILD_DATE
#define FIRMWARE_BUILD_DATE __DATE__
#define FIRMWARE_BUILD_TIME __TIME__
#endif

// The "V" reply, in the form the controller gives its own version line.
const char kVersion[] = "Firmware version: 1 - " FIRMWARE_BUILD_DATE ", " FIRMWARE_BUILD_TIME;

struct EepromMemory {
    uint8_t Read(uint16_t address) { return eeprom_read_byte(reinterpret_cast<const uint8_t*>(address)); }
    // Only bytes that change are written, which spares the cells.
    void Write(uint16_t address, uint8_t value) { eeprom_update_byte(reinterpret_cast<uint8_t*>(address), value); }
};

// Three copies of the longest reply, each with its full stop.
char gFramed[3 * (safelogic::kReplyCapacity + 1)];

} // namespace

// Not cleared at start-up; outside the anonymous namespace so that the build
// can find it and check where it lies.
keptlock::Kept gKeptLock __attribute__((section(".noinit")));

namespace {

// Renewed after every change of the safe, before anything else is done about
// it (stored, answered), so that RAM never holds an older lock than the EEPROM.
__attribute__((noinline)) void KeepInRam(const safelogic::SafeLogic& safe)
{
    keptlock::Keep(gKeptLock, safe.Snapshot(), safe.MillisecondsIntoSecond());
}

} // namespace

int main()
{
    board::InitLatch(); // shut
    board::StartSerial();
    board::StartClock();
    // The receiving interrupt runs from here on, before the stored lock is
    // read: reading a full ring of records takes about 6 ms, and the UART by
    // itself holds only three characters, so a command sent as the firmware
    // starts would lose its middle. The main loop answers it once the lock
    // is known.
    sei();
    set_sleep_mode(SLEEP_MODE_IDLE);

    safelogic::SafeLogic safe(kVersion);
    EepromMemory memory;
    lockstore::LockStore<EepromMemory> store(memory);
    safelogic::PersistentState stored;
    const bool inEeprom = store.Load(&stored);
    safelogic::PersistentState kept;
    uint16_t msIntoSecond = 0;
    // A record in RAM of another layout, or none, leaves the EEPROM's.
    const bool inRam = keptlock::Recall(gKeptLock, &kept, &msIntoSecond) && safe.Restore(kept, msIntoSecond);
    if (!inRam && inEeprom)
        safe.Restore(stored);
    KeepInRam(safe);

    // The EEPROM is renewed from what it holds, not from the safe's own
    // persist requests: those start again at every reset, and a board reset
    // often enough would never renew its record. The EEPROM may also lag
    // behind RAM (a reset came between a change and its record); a power cut
    // from now on must find this lock.
    store.Update(safe.Snapshot());

    for (;;) {
        safe.Tick(board::Milliseconds());
        KeepInRam(safe);
        uint8_t byte;
        while (board::ReceiveByte(&byte)) {
            safe.Tick(board::Milliseconds());
            const bool wasUnlocked = safe.Mode() == safelogic::kUnlocked;
            if (!safe.Feed(byte))
                continue;
            KeepInRam(safe);
            // The lock is stored before the controller hears that it holds;
            // one that cannot be stored is refused.
            if (lockstore::StoreCommand(store, safe, wasUnlocked))
                KeepInRam(safe);
            board::SetLatch(!safe.LatchClosed());
            const uint16_t n = safelogic::FrameReply(safe.Reply(), gFramed, sizeof gFramed);
            board::SendBytes(gFramed, n);
        }

        // A checkpoint, or a timed lock that has run out. A failure leaves
        // the older record, which holds a longer lock.
        store.Update(safe.Snapshot());
        board::SetLatch(!safe.LatchClosed());

        // The clock's interrupt wakes the chip every millisecond, a received
        // byte sooner.
        sleep_mode();
    }
}
