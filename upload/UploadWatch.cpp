// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploadWatch.h"

#include "base/Files.h"

#include <utility>

namespace upload {

namespace {

// avrdude's log of a whole upload is a few kilobytes; a log that grows past
// this is no upload's, and what comes after is not kept.
constexpr std::size_t kLongestLog = 1 << 20;

} // namespace

UploadWatch::UploadWatch(UploaderProcess& uploader, std::string logPath, std::chrono::milliseconds stallLimit)
    : uploader_(uploader), logPath_(std::move(logPath)), stallLimit_(stallLimit),
      lastStep_(ProgressText(UploadProgress{})), lastStepAt_(Clock::now())
{
}

void UploadWatch::ReadMore()
{
    if (log_.size() < kLongestLog)
        files::ReadFrom(logPath_, log_.size(), kLongestLog - log_.size(), log_);
}

bool UploadWatch::Poll(StopRunner runStop)
{
    // Looked at before reading, so that after the end the read takes all.
    const bool running = uploader_.Running();
    ReadMore();
    if (!running)
        return false;
    // A log that only grows (error after error on a dead port) is no step:
    // only a new stage, figure or attempt is.
    const std::string step = ProgressText(Progress());
    const Clock::time_point now = Clock::now();
    if (step != lastStep_) {
        lastStep_ = step;
        lastStepAt_ = now;
        return true;
    }
    if (now - lastStepAt_ < stallLimit_)
        return true;
    stalled_ = true;
    if (runStop)
        runStop([this] { uploader_.Stop(); });
    else
        uploader_.Stop();
    ReadMore();
    return false;
}

UploadVerdict UploadWatch::Verdict() const
{
    UploadVerdict verdict = JudgeUpload(uploader_.EndedWell(), uploader_.WasStopped(), log_);
    if (stalled_)
        verdict.cause = UploadCause::Stalled;
    return verdict;
}

} // namespace upload
