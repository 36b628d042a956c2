// SPDX-License-Identifier: GPL-3.0-or-later
// The safe's command handling fed arbitrary byte streams, clock steps, line
// resets and board resets, held against a model of what the safe must do:
//  - every completed command has a reply without a full stop or a NUL, and
//    FrameReply sends it as three copies, each followed by ".";
//  - the reply is the model's: "E" for copies that disagree or run too long,
//    "?" for no command, the version with "-" for ".", "T" as the model
//    counts the lock down, "Y"/"N" for codes and tests;
//  - only a well-formed lock code with a duration of 0 or more locks, and
//    only while unlocked; only the unlock code of the lock in force opens it;
//  - the test command "Y" never opens a lock, and the latch is closed
//    whenever a lock is in force;
//  - a timed lock opens exactly when its time has passed, never earlier, and
//    its time left never grows; after a board reset it resumes from what was
//    stored, which is never less than what was left.
// The model reads codes with the independent rules in RefKeyCodes.h.
#include "FuzzCheck.h"
#include "RefKeyCodes.h"

#include "SafeLogic.h"

#include <cstring>
#include <memory>

namespace {

const char kVersion[] = "Cadrelle 1.0 fuzz.test";
const char kVersionSent[] = "Cadrelle 1-0 fuzz-test";

struct Model {
    // Input: the copies received since the last command, reset or pause.
    std::string copies[3];
    int copiesDone = 0;
    bool pending = false;
    std::uint64_t lastByteMs = 0;

    safelogic::LockMode mode = safelogic::kUnlocked;
    bool hidden = false;
    std::uint32_t nonce = 0;
    std::uint64_t lockSeconds = 0; // timed: the lock's length from lockStartMs
    std::uint64_t lockStartMs = 0;
    bool latchClosed = false;

    std::uint64_t SecondsLeft(std::uint64_t now) const
    {
        const std::uint64_t elapsed = (now - lockStartMs) / 1000;
        return elapsed >= lockSeconds ? 0 : lockSeconds - elapsed;
    }

    void Open()
    {
        mode = safelogic::kUnlocked;
        hidden = false;
        latchClosed = false;
    }

    void ResetInput()
    {
        for (std::string &c : copies)
            c.clear();
        copiesDone = 0;
        pending = false;
    }

    void Tick(std::uint64_t now)
    {
        if (pending && now - lastByteMs >= safelogic::kInputIdleMs)
            ResetInput();
        if (mode == safelogic::kLockedForTime && SecondsLeft(now) == 0)
            Open();
    }

    std::string Execute(const std::string &command, std::uint64_t now)
    {
        if (command == "V")
            return kVersionSent;
        if (command == "T") {
            if (mode == safelogic::kUnlocked)
                return "0";
            if (hidden)
                return "X";
            if (mode == safelogic::kLockedUntilUnlockCode)
                return "2147483647";
            return std::to_string(SecondsLeft(now));
        }
        if (command == "X") {
            latchClosed = true;
            return "Y";
        }
        if (command == "Y") {
            if (mode != safelogic::kUnlocked)
                return "N";
            latchClosed = false;
            return "Y";
        }
        // Codes are read as the C string the command is.
        const std::string_view code(command.c_str());
        if (!command.empty() && command[0] == 'L') {
            const auto lock = ref::CheckLock(code);
            if (mode != safelogic::kUnlocked || !lock || lock->seconds < 0)
                return "N";
            mode = lock->seconds == 0 ? safelogic::kLockedUntilUnlockCode : safelogic::kLockedForTime;
            hidden = (lock->hide & 1) != 0;
            nonce = lock->nonce;
            lockSeconds = std::uint64_t(lock->seconds);
            lockStartMs = now;
            latchClosed = true;
            return "Y";
        }
        if (!command.empty() && command[0] == 'U') {
            const auto match = ref::CheckUnlock(code, nonce);
            if (mode == safelogic::kUnlocked || !match || !*match)
                return "N";
            Open();
            return "Y";
        }
        return "?";
    }

    // One byte; true with the reply when it completed a command.
    bool Feed(char byte, std::uint64_t now, std::string &reply)
    {
        pending = true;
        lastByteMs = now;
        if (byte != '.') {
            copies[copiesDone] += byte;
            return false;
        }
        if (++copiesDone < 3)
            return false;
        bool garbled = false;
        for (const std::string &c : copies)
            garbled = garbled || c.size() > safelogic::kCommandCapacity || c != copies[0];
        reply = garbled ? "E" : Execute(copies[0], now);
        ResetInput();
        return true;
    }
};

struct Run {
    std::unique_ptr<safelogic::SafeLogic> safe = std::make_unique<safelogic::SafeLogic>(kVersion);
    Model model;
    std::uint64_t now = 0;      // the model's clock, never wraps
    std::uint32_t clockBase = 0; // the board's counter starts anywhere and wraps
    safelogic::PersistentState stored{};
    bool haveStored = false;
    std::uint32_t commands = 0;

    std::uint32_t BoardMs() const { return clockBase + std::uint32_t(now); }

    void Persist()
    {
        if (safe->TakePersistRequest()) {
            stored = safe->Snapshot();
            haveStored = true;
        }
    }

    void CheckState(const char *after)
    {
        const safelogic::SafeLogic &s = *safe;
        FUZZ_CHECK(s.Mode() == model.mode, "after %s: mode %d, model %d", after, s.Mode(), model.mode);
        FUZZ_CHECK(s.LatchClosed() == model.latchClosed, "after %s: latch closed %d, model %d", after,
                   s.LatchClosed(), model.latchClosed);
        FUZZ_CHECK(model.mode == safelogic::kUnlocked || s.LatchClosed(), "after %s: latch open while locked",
                   after);
        if (model.mode != safelogic::kUnlocked) {
            FUZZ_CHECK(s.Nonce() == model.nonce && s.TimeHidden() == model.hidden,
                       "after %s: nonce %x hidden %d, model %x %d", after, s.Nonce(), s.TimeHidden(), model.nonce,
                       model.hidden);
        }
        if (model.mode == safelogic::kLockedForTime) {
            FUZZ_CHECK(s.SecondsLeft() == model.SecondsLeft(now), "after %s: %u s left, model %llu", after,
                       s.SecondsLeft(), (unsigned long long)model.SecondsLeft(now));
        }
    }

    void Tick(std::uint32_t stepMs)
    {
        now += stepMs;
        safe->Tick(BoardMs());
        model.Tick(now);
        Persist();
        CheckState("a clock step");
    }

    void Feed(std::uint8_t byte)
    {
        std::string expected;
        const bool modelDone = model.Feed(char(byte), now, expected);
        const bool done = safe->Feed(byte);
        FUZZ_CHECK(done == modelDone, "byte %02x completed a command: %d, model %d", byte, done, modelDone);
        if (done) {
            ++commands;
            const std::string reply(safe->Reply(), safe->ReplyLength());
            FUZZ_CHECK(std::strlen(safe->Reply()) == safe->ReplyLength(), "reply holds a NUL");
            FUZZ_CHECK(reply == expected, "reply \"%s\", model \"%s\"", fuzz::Shown(reply).c_str(),
                       fuzz::Shown(expected).c_str());
            FUZZ_CHECK(reply.find('.') == std::string::npos && reply.size() <= safelogic::kReplyCapacity,
                       "reply \"%s\" cannot be framed", fuzz::Shown(reply).c_str());
            char out[3 * (safelogic::kReplyCapacity + 1)];
            const std::uint16_t n = safelogic::FrameReply(safe->Reply(), out, sizeof out);
            const std::string copy = reply + ".";
            FUZZ_CHECK(std::string(out, n) == copy + copy + copy, "framed reply \"%s\"",
                       fuzz::Shown(std::string(out, n)).c_str());
            FUZZ_CHECK(safelogic::FrameReply(safe->Reply(), out, std::uint16_t(3 * copy.size() - 1)) == 0,
                       "a reply framed into too small a buffer");
        }
        Persist();
        CheckState("a byte");
    }

    void Send(const std::string &command)
    {
        for (int copy = 0; copy < 3; ++copy) {
            for (char c : command)
                Feed(std::uint8_t(c));
            Feed('.');
        }
    }

    // The board starts again: what it stored comes back, time is lost.
    void Reset()
    {
        const std::uint64_t leftBefore = model.mode == safelogic::kLockedForTime ? model.SecondsLeft(now) : 0;
        const safelogic::LockMode modeBefore = model.mode;
        safe = std::make_unique<safelogic::SafeLogic>(kVersion);
        const bool restored = haveStored && safe->Restore(stored);
        FUZZ_CHECK(restored == haveStored, "a stored state was refused");
        safe->Tick(BoardMs());
        model.ResetInput();
        if (!restored) {
            FUZZ_CHECK(modeBefore == safelogic::kUnlocked, "a lock was lost in a reset: nothing was stored");
            model.Open();
            CheckState("a reset");
            return;
        }
        FUZZ_CHECK(safe->Mode() == modeBefore, "reset: mode %d, before %d", safe->Mode(), modeBefore);
        if (modeBefore == safelogic::kLockedForTime) {
            const std::uint32_t left = safe->SecondsLeft();
            FUZZ_CHECK(left >= leftBefore && left <= model.lockSeconds,
                       "reset: %u s left, %llu before, lock of %llu s", left, (unsigned long long)leftBefore,
                       (unsigned long long)model.lockSeconds);
            // The lock goes on from what was stored.
            model.lockSeconds = left;
            model.lockStartMs = now;
        }
        model.latchClosed = modeBefore != safelogic::kUnlocked;
        CheckState("a reset");
    }
};

std::string RandomLockCode(fuzz::Input &in, std::uint32_t nonce)
{
    const std::uint8_t kind = in.byte();
    std::int32_t seconds;
    switch (kind & 3) {
    case 0: seconds = 0; break;
    case 1: seconds = std::int32_t(in.byte()) + 1; break; // a few seconds: opens while fuzzed
    case 2: seconds = std::int32_t(in.u16()); break;
    default: seconds = std::int32_t(in.u32()); break;
    }
    std::string code = ref::LockText(nonce, seconds, (kind >> 2) & 1);
    if (kind & 0x10) // typed in capitals
        for (char &c : code)
            if (c >= 'a' && c <= 'f')
                c = char(c - 'a' + 'A');
    if (kind & 0x20) // one digit changed
        code[1 + in.byte() % 20] ^= 0x01;
    if (kind & 0x40) // something after the code
        code += in.text(in.byte() % 8);
    return code;
}

std::string Command(fuzz::Input &in, const Model &model)
{
    switch (in.byte() % 10) {
    case 0: return "T";
    case 1: return "V";
    case 2: return "X";
    case 3: return "Y";
    case 4: return RandomLockCode(in, in.u16());
    case 5: return RandomLockCode(in, model.nonce); // the same nonce as the lock in force
    case 6: return ref::UnlockText(model.nonce);
    case 7: {
        std::string code = ref::UnlockText(in.byte() & 1 ? in.u16() : model.nonce ^ (1u << (in.byte() % 16)));
        if (in.byte() & 1)
            code[1 + in.byte() % 12] ^= 0x01;
        return code;
    }
    case 8: return in.text(in.byte() % 72);
    default: return "";
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Input in(data, size);
    Run run;
    run.clockBase = in.u32();

    // A board that starts on whatever its memory holds.
    if (in.byte() & 1) {
        safelogic::PersistentState raw{};
        const std::string bytes = in.text(sizeof raw);
        std::memcpy(&raw, bytes.data(), bytes.size());
        if (run.safe->Restore(raw)) {
            const bool locked = raw.mode != safelogic::kUnlocked &&
                                !(raw.mode == safelogic::kLockedForTime && raw.secondsLeft == 0);
            FUZZ_CHECK(raw.mode <= 2 && raw.hidden <= 1, "a damaged state was taken");
            run.model.mode = locked ? safelogic::LockMode(raw.mode) : safelogic::kUnlocked;
            run.model.hidden = locked && raw.hidden;
            run.model.nonce = raw.nonce;
            run.model.lockSeconds = raw.secondsLeft;
            run.model.latchClosed = locked;
            run.stored = raw;
            run.haveStored = true;
        }
        run.safe->Tick(run.BoardMs());
        run.CheckState("the start");
    } else {
        run.safe->Tick(run.BoardMs());
    }

    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        switch (op % 9) {
        case 0:
            run.Feed(in.byte());
            break;
        case 1:
            for (std::uint8_t n = in.byte() % 32; n > 0 && !in.empty(); --n)
                run.Feed(in.byte());
            break;
        case 2:
            run.Tick(in.u16() % 4000); // within a command's pause
            break;
        case 3:
            // Up to about 24 days at once: the board's counter wraps, and
            // any step the owner makes is far shorter than its 49-day cycle.
            run.Tick(in.u32() & 0x7FFFFFFF);
            break;
        case 4:
        case 5:
            run.Send(Command(in, run.model));
            break;
        case 6: {
            // Copies that do not agree, or one cut short.
            const std::string command = Command(in, run.model);
            const std::uint8_t fault = in.byte();
            for (int copy = 0; copy < 3; ++copy) {
                std::string c = command;
                if (copy == fault % 3 && !c.empty())
                    c.resize(c.size() - 1 - (fault >> 2) % c.size());
                else if (copy == fault % 3)
                    c = "?";
                for (char ch : c)
                    run.Feed(std::uint8_t(ch));
                run.Feed('.');
            }
            break;
        }
        case 7:
            run.safe->AbandonInput();
            run.model.ResetInput();
            run.CheckState("a line reset");
            break;
        default:
            run.Reset();
            break;
        }
    }
    return 0;
}
