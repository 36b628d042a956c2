// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafeLogic.h"

#include "KeyCodeCore.h"

namespace safelogic {

namespace {

const uint8_t kCopies = 3;
const uint8_t kPersistMarker = 0xC5;
const uint32_t kNothingDue = 0xFFFFFFFFUL;

uint8_t PersistCheck(const PersistentState &s)
{
    // Summed field by field, so padding bytes never count.
    uint8_t sum = 0x5A;
    sum = static_cast<uint8_t>(sum + s.marker);
    sum = static_cast<uint8_t>((sum << 1 | sum >> 7) + s.mode);
    sum = static_cast<uint8_t>((sum << 1 | sum >> 7) + s.hidden);
    sum = static_cast<uint8_t>((sum << 1 | sum >> 7) + s.reserved);
    for (uint8_t i = 0; i < 4; ++i)
        sum = static_cast<uint8_t>((sum << 1 | sum >> 7) + ((s.nonce >> (8 * i)) & 0xFF));
    for (uint8_t i = 0; i < 4; ++i)
        sum = static_cast<uint8_t>((sum << 1 | sum >> 7) + ((s.secondsLeft >> (8 * i)) & 0xFF));
    return sum;
}

} // namespace

PersistentState SealedState(LockMode mode, bool hidden, uint32_t nonce, uint32_t secondsLeft)
{
    PersistentState s;
    s.marker = kPersistMarker;
    s.mode = static_cast<uint8_t>(mode);
    s.hidden = hidden ? 1 : 0;
    s.reserved = 0;
    s.nonce = nonce;
    s.secondsLeft = secondsLeft;
    s.check = PersistCheck(s);
    return s;
}

uint16_t FrameReply(const char *reply, char *out, uint16_t capacity)
{
    uint16_t length = 0;
    while (reply[length] != '\0')
        ++length;
    const uint32_t total = (static_cast<uint32_t>(length) + 1) * kCopies;
    if (total > capacity)
        return 0;
    uint16_t n = 0;
    for (uint8_t copy = 0; copy < kCopies; ++copy) {
        for (uint16_t i = 0; i < length; ++i)
            out[n++] = reply[i];
        out[n++] = kStop;
    }
    return n;
}

SafeLogic::SafeLogic(const char *version)
    : version_(version), clockStarted_(false), nowMs_(0), commandLength_(0), copiesDone_(0),
      position_(0), overlong_(false), disagree_(false), inputPending_(false), lastByteMs_(0),
      mode_(kUnlocked), hidden_(false), nonce_(0), secondsLeft_(0), msIntoSecond_(0),
      secondsSinceCheckpoint_(0), latchClosed_(false), persistDue_(false), replyLength_(0)
{
    command_[0] = '\0';
    reply_[0] = '\0';
}

void SafeLogic::Tick(uint32_t nowMs)
{
    if (!clockStarted_) {
        clockStarted_ = true;
        nowMs_ = nowMs;
        lastByteMs_ = nowMs;
        return;
    }
    const uint32_t elapsed = nowMs - nowMs_; // wraps correctly
    nowMs_ = nowMs;

    if (inputPending_ && nowMs_ - lastByteMs_ >= kInputIdleMs)
        ResetInput();

    if (mode_ != kLockedForTime)
        return;
    uint32_t seconds = elapsed / 1000;
    uint16_t rest = static_cast<uint16_t>(elapsed % 1000) + msIntoSecond_;
    if (rest >= 1000) {
        rest -= 1000;
        ++seconds;
    }
    msIntoSecond_ = rest;
    if (seconds >= secondsLeft_) {
        Open();
        return;
    }
    secondsLeft_ -= seconds;
    secondsSinceCheckpoint_ += seconds;
    if (secondsSinceCheckpoint_ >= kCheckpointSeconds) {
        secondsSinceCheckpoint_ = 0;
        persistDue_ = true;
    }
}

bool SafeLogic::Feed(uint8_t byte)
{
    inputPending_ = true;
    lastByteMs_ = nowMs_;

    if (byte == static_cast<uint8_t>(kStop)) {
        if (copiesDone_ == 0)
            commandLength_ = position_ > kCommandCapacity ? kCommandCapacity : position_;
        else if (position_ != commandLength_)
            disagree_ = true;
        if (position_ > kCommandCapacity)
            overlong_ = true;
        ++copiesDone_;
        position_ = 0;
        if (copiesDone_ < kCopies)
            return false;
        Decide();
        ResetInput();
        return true;
    }

    if (position_ < kCommandCapacity) {
        if (copiesDone_ == 0)
            command_[position_] = static_cast<char>(byte);
        else if (position_ >= commandLength_ || command_[position_] != static_cast<char>(byte))
            disagree_ = true;
    } else if (copiesDone_ > 0) {
        disagree_ = true;
    }
    if (position_ <= kCommandCapacity)
        ++position_;
    return false;
}

void SafeLogic::AbandonInput()
{
    ResetInput();
}

void SafeLogic::ResetInput()
{
    commandLength_ = 0;
    copiesDone_ = 0;
    position_ = 0;
    overlong_ = false;
    disagree_ = false;
    inputPending_ = false;
}

void SafeLogic::Decide()
{
    // The safe acts only on a command whose three copies agree, as the
    // controller trusts only a reply whose three copies agree.
    if (overlong_ || disagree_) {
        SetReply(kReplyGarbled);
        return;
    }
    command_[commandLength_] = '\0';
    Execute();
}

void SafeLogic::Execute()
{
    const char *text = command_;
    if (commandLength_ == 1) {
        switch (text[0]) {
        case 'V': {
            uint8_t n = 0;
            for (; n < kReplyCapacity && version_[n] != '\0'; ++n)
                reply_[n] = version_[n] == kStop ? '-' : version_[n];
            reply_[n] = '\0';
            replyLength_ = n;
            return;
        }
        case 'T':
            if (mode_ == kUnlocked)
                SetReplyNumber(0);
            else if (hidden_)
                SetReply(kReplyHiddenTime);
            else if (mode_ == kLockedUntilUnlockCode)
                SetReplyNumber(kNoTimeLimit);
            else
                SetReplyNumber(secondsLeft_);
            return;
        case 'X':
            latchClosed_ = true;
            SetReply(kReplyAccepted);
            return;
        case 'Y':
            // A test must not open a locked safe: that would make every lock
            // one command away from open.
            if (mode_ != kUnlocked) {
                SetReply(kReplyRefused);
                return;
            }
            latchClosed_ = false;
            SetReply(kReplyAccepted);
            return;
        default:
            break;
        }
    }
    if (text[0] == 'L')
        LockFor(text);
    else if (text[0] == 'U')
        UnlockWith(text);
    else
        SetReply(kReplyUnknown);
}

void SafeLogic::LockFor(const char *text)
{
    keycodes::LockCodeContent content;
    // A lock that would end before it starts is refused rather than
    // reported as locked.
    if (mode_ != kUnlocked || !keycodes::CheckLockCode(text, &content) || content.seconds < 0) {
        SetReply(kReplyRefused);
        return;
    }
    mode_ = content.seconds == 0 ? kLockedUntilUnlockCode : kLockedForTime;
    hidden_ = (content.hide & 1UL) != 0;
    nonce_ = content.nonce;
    secondsLeft_ = static_cast<uint32_t>(content.seconds);
    msIntoSecond_ = 0;
    secondsSinceCheckpoint_ = 0;
    latchClosed_ = true;
    persistDue_ = true;
    SetReply(kReplyAccepted);
}

void SafeLogic::UnlockWith(const char *text)
{
    bool match = false;
    if (mode_ == kUnlocked || !keycodes::CheckUnlockCode(text, nonce_, &match) || !match) {
        SetReply(kReplyRefused);
        return;
    }
    Open();
    SetReply(kReplyAccepted);
}

void SafeLogic::Open()
{
    mode_ = kUnlocked;
    hidden_ = false;
    secondsLeft_ = 0;
    msIntoSecond_ = 0;
    secondsSinceCheckpoint_ = 0;
    latchClosed_ = false;
    persistDue_ = true;
}

void SafeLogic::SetReply(const char *text)
{
    uint8_t n = 0;
    for (; n < kReplyCapacity && text[n] != '\0'; ++n)
        reply_[n] = text[n];
    reply_[n] = '\0';
    replyLength_ = n;
}

void SafeLogic::SetReplyNumber(uint32_t value)
{
    char digits[11];
    uint8_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    replyLength_ = n;
    for (uint8_t i = 0; i < n; ++i)
        reply_[i] = digits[n - 1 - i];
    reply_[n] = '\0';
}

uint32_t SafeLogic::MillisecondsUntilDue() const
{
    uint32_t due = kNothingDue;
    if (inputPending_) {
        const uint32_t idle = nowMs_ - lastByteMs_;
        due = idle >= kInputIdleMs ? 0 : kInputIdleMs - idle;
    }
    if (mode_ == kLockedForTime) {
        const uint32_t second = 1000UL - msIntoSecond_;
        if (second < due)
            due = second;
    }
    return due;
}

PersistentState SafeLogic::Snapshot() const
{
    return SealedState(static_cast<LockMode>(mode_), hidden_, nonce_, secondsLeft_);
}

bool SafeLogic::Restore(const PersistentState &s, uint16_t msIntoSecond)
{
    if (s.marker != kPersistMarker || s.check != PersistCheck(s) || s.mode > kLockedForTime ||
        s.hidden > 1)
        return false;
    if (s.mode == kLockedForTime && s.secondsLeft == 0) {
        Open();
        persistDue_ = false;
        return true;
    }
    mode_ = s.mode;
    hidden_ = s.mode != kUnlocked && s.hidden != 0;
    nonce_ = s.mode != kUnlocked ? s.nonce : 0;
    secondsLeft_ = s.mode == kLockedForTime ? s.secondsLeft : 0;
    msIntoSecond_ = s.mode == kLockedForTime && msIntoSecond < 1000 ? msIntoSecond : 0;
    secondsSinceCheckpoint_ = 0;
    latchClosed_ = s.mode != kUnlocked;
    persistDue_ = false;
    return true;
}

bool SafeLogic::TakePersistRequest()
{
    const bool due = persistDue_;
    persistDue_ = false;
    return due;
}

void SafeLogic::WithdrawLock()
{
    Open();
    latchClosed_ = true;
    persistDue_ = false;
    SetReply(kReplyRefused);
}

} // namespace safelogic
