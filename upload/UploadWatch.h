// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Following one upload while it runs: what its log has gained and whether
// the uploader still runs. The log is read as it grows, so it stays exactly
// the uploader's standard error, on every system. Plain C++: the window that
// shows the progress calls Poll() from its timer.
//
// An uploader that makes no step forward for kStallLimit is stopped: avrdude
// on a board that was unplugged, or stopped answering, in the middle of an
// upload goes on trying to resynchronise for many minutes (and on a dead
// port for good), while its bar stands still.

#include "UploadLog.h"
#include "UploaderProcess.h"

#include <chrono>
#include <functional>
#include <string>

namespace upload {

// The longest an honest upload goes without a step forward is avrdude's
// wait for a silent board: 5 s for each reply (its serial receive time-out),
// 6 s before the first "not in sync" attempt, each attempt a step. Writing
// and verifying move the bar every 0.15 s on a real board (Cadrelle, 19200
// bit/s) and not much less often on the simulated board of a loaded machine.
// Four receive time-outs with no step is a board that is gone, never a slow
// one.
inline constexpr auto kStallLimit = std::chrono::seconds(20);

class UploadWatch {
public:
    UploadWatch(UploaderProcess& uploader, std::string logPath,
                std::chrono::milliseconds stallLimit = kStallLimit);

    // How a stop that may take the uploader's grace time is run: a window
    // passes its way of running work while it keeps painting.
    using StopRunner = void (*)(const std::function<void()>& stop);

    // Reads what the log has gained; true while the uploader runs. Once it
    // returns false the whole log has been read. An uploader that has made
    // no step forward for the stall limit is stopped here, through
    // `runStop` when one is given.
    bool Poll(StopRunner runStop = nullptr);

    const std::string& Log() const { return log_; }
    UploadProgress Progress() const { return ReadProgress(log_); }
    // Once Poll() has returned false.
    UploadVerdict Verdict() const;

private:
    using Clock = std::chrono::steady_clock;

    void ReadMore();

    UploaderProcess& uploader_;
    const std::string logPath_;
    const std::chrono::milliseconds stallLimit_;
    std::string log_;
    std::string lastStep_; // the progress as last seen, as its text tells it
    Clock::time_point lastStepAt_;
    bool stalled_ = false;
};

} // namespace upload
