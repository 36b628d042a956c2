// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploadWatch.h"

#include "Files.h"

#include <utility>

namespace upload {

namespace {

// avrdude's log of a whole upload is a few kilobytes; a log that grows past
// this is no upload's, and what comes after is not kept.
constexpr std::size_t kLongestLog = 1 << 20;

} // namespace

UploadWatch::UploadWatch(UploaderProcess& uploader, std::string logPath)
    : uploader_(uploader), logPath_(std::move(logPath))
{
}

void UploadWatch::ReadMore()
{
    if (log_.size() < kLongestLog)
        files::ReadFrom(logPath_, log_.size(), kLongestLog - log_.size(), log_);
}

bool UploadWatch::Poll()
{
    // Looked at before reading, so that after the end the read takes all.
    const bool running = uploader_.Running();
    ReadMore();
    return running;
}

UploadVerdict UploadWatch::Verdict() const
{
    return JudgeUpload(uploader_.EndedWell(), uploader_.WasStopped(), log_);
}

} // namespace upload
