// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploadWatch.h"

#include <filesystem>
#include <fstream>
#include <iterator>
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
    // The path is UTF-8: as a plain string, Windows would read it in the ANSI
    // code page, and a user's folder with other letters would hide the log.
    std::ifstream in(std::filesystem::path(std::u8string(logPath_.begin(), logPath_.end())), std::ios::binary);
    if (!in || log_.size() >= kLongestLog)
        return;
    in.seekg(static_cast<std::streamoff>(log_.size()));
    std::string more((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    log_ += more.substr(0, kLongestLog - log_.size());
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
