// SPDX-License-Identifier: GPL-3.0-or-later
// The safe's behaviour, written once for the board's firmware and for the
// simulated safe on the host.
//
// C++11 subset that avr-g++ 5.4 accepts: no heap, no exceptions, no standard
// library beyond <stdint.h>, fixed buffers. Mind that `int` is 16 bits on the
// board: every count and time here has an explicit width.
//
// The safe is a byte-in, byte-out machine. Its owner supplies three things:
//  - the time: Tick(now) with a free-running millisecond counter (it may wrap
//    around; only differences count), called before Feed() and often enough
//    that the safe can open a timed lock and drop a stale half command
//    (MillisecondsUntilDue() says when the next call matters);
//  - the received bytes: Feed(byte) for each byte off the line;
//  - the latch output: read LatchClosed() after Tick() and Feed() and drive
//    the latch from it.
// When Feed() returns true a command is complete and Reply() holds the text to
// send back: three times, each copy followed by "." (FrameReply() does that).
//
// A board that must not open a timed lock early after a reset keeps
// Snapshot() in non-volatile memory whenever TakePersistRequest() says so, and
// hands it to Restore() at start-up. The remaining time is stored, not an end
// time, because the board's clock starts again at zero after a reset: time
// spent without power is added to the lock, never taken from it.
#ifndef VANDREL_SAFELOGIC_SAFELOGIC_H
#define VANDREL_SAFELOGIC_SAFELOGIC_H

#include <stdint.h>

namespace safelogic {

// Every command copy on the line, and every reply copy, ends with this byte.
const char kStop = '.';

// Replies. None of them contains a full stop, which would break the framing.
const char kReplyAccepted[] = "Y";   // a code or test command carried out
const char kReplyRefused[] = "N";    // a code the safe does not take now, or "Y" while locked
const char kReplyHiddenTime[] = "X"; // "T" while the lock's time is hidden
const char kReplyGarbled[] = "E";    // copies that disagree, or longer than the safe keeps
const char kReplyUnknown[] = "?";    // agreed text that is no command
// "T" while locked until the unlock code is used: the safe never opens by
// itself, so it reports the largest time the controller can read.
const uint32_t kNoTimeLimit = 2147483647UL;

// Longest command text kept (a lock code is 21 characters; the rest is room
// for what a user types by hand). Longer copies are answered kReplyGarbled.
const uint8_t kCommandCapacity = 64;
// Longest reply text; a longer version text is cut to it.
const uint8_t kReplyCapacity = 48;
// A command whose copies stop arriving for this long is dropped, so a command
// cut off mid-line cannot put the safe out of step with the next one.
const uint16_t kInputIdleMs = 1000;
// While a timed lock counts down, the remaining time is offered for storing
// this often; lock and unlock are offered at once.
const uint32_t kCheckpointSeconds = 600;

enum LockMode {
    kUnlocked = 0,
    kLockedUntilUnlockCode = 1, // duration 0
    kLockedForTime = 2
};

// What a board keeps across a reset. Stored as raw bytes by the same build
// that reads it back; `check` guards against a blank or worn memory (a blank
// one reads as unlocked).
struct PersistentState {
    uint8_t marker;
    uint8_t mode;   // LockMode
    uint8_t hidden; // 1: "T" answers kReplyHiddenTime
    uint8_t reserved;
    uint32_t nonce;
    uint32_t secondsLeft;
    uint8_t check;
};

// A state as Snapshot() would give it, for a safe that is to start locked
// (the simulated safe's start options, a board's factory test).
PersistentState SealedState(LockMode mode, bool hidden, uint32_t nonce, uint32_t secondsLeft);

// Copies `reply` and a stop three times into `out`; returns the byte count,
// or 0 when `capacity` is too small (nothing is then written).
uint16_t FrameReply(const char *reply, char *out, uint16_t capacity);

class SafeLogic {
public:
    // `version` is the "V" reply; it must outlive the safe. A full stop in it
    // is sent as "-", since the controller would take it for a frame end.
    explicit SafeLogic(const char *version);

    // The first call sets the time base; later calls count down a timed lock
    // and drop a stale half command.
    void Tick(uint32_t nowMs);

    // One received byte. True when it completed a command: Reply() is then
    // the answer, valid until the next command completes.
    bool Feed(uint8_t byte);

    const char *Reply() const { return reply_; }
    uint8_t ReplyLength() const { return replyLength_; }

    // Forgets a partly received command: the line was closed or reset.
    void AbandonInput();

    bool LatchClosed() const { return latchClosed_; }
    LockMode Mode() const { return static_cast<LockMode>(mode_); }
    bool TimeHidden() const { return hidden_; }
    uint32_t SecondsLeft() const { return secondsLeft_; }
    uint32_t Nonce() const { return nonce_; }
    // How far into its current second a timed lock has counted.
    uint16_t MillisecondsIntoSecond() const { return msIntoSecond_; }

    // Milliseconds after the last Tick() at which the next Tick() changes
    // something (a second of a timed lock, a stale command); 0xFFFFFFFF when
    // nothing is waiting.
    uint32_t MillisecondsUntilDue() const;

    PersistentState Snapshot() const;
    // Takes a stored state; false (and the safe stays unlocked) when it is
    // blank or damaged. A timed lock goes on `msIntoSecond` into its current
    // second (a state kept to the millisecond; under 1000).
    bool Restore(const PersistentState &state, uint16_t msIntoSecond = 0);
    // True once after each change worth storing.
    bool TakePersistRequest();
    // Takes back the lock the last command made, for a board that could not
    // store it (a worn EEPROM): the safe is unlocked again, the reply becomes
    // kReplyRefused, and the latch stays shut until the test command "Y" or a
    // restart opens it, so a failed store never opens the latch by itself.
    void WithdrawLock();

private:
    void ResetInput();
    void Decide();
    void Execute();
    void LockFor(const char *text);
    void UnlockWith(const char *text);
    void Open();
    void SetReply(const char *text);
    void SetReplyNumber(uint32_t value);

    const char *version_;

    bool clockStarted_;
    uint32_t nowMs_;

    // Input: copy 1 is kept, copies 2 and 3 are compared with it as they come.
    char command_[kCommandCapacity + 1];
    uint8_t commandLength_;
    uint8_t copiesDone_;
    uint8_t position_;    // within the current copy, saturating past the capacity
    bool overlong_;
    bool disagree_;
    bool inputPending_;
    uint32_t lastByteMs_;

    // The lock.
    uint8_t mode_;
    bool hidden_;
    uint32_t nonce_;
    uint32_t secondsLeft_;
    uint16_t msIntoSecond_;
    uint32_t secondsSinceCheckpoint_;
    bool latchClosed_;
    bool persistDue_;

    char reply_[kReplyCapacity + 1];
    uint8_t replyLength_;
};

} // namespace safelogic

#endif
