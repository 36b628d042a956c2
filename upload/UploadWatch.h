// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Following one upload while it runs: what its log has gained and whether
// the uploader still runs. The log is read as it grows, so it stays exactly
// the uploader's standard error, on every system. Plain C++: the window that
// shows the progress calls Poll() from its timer.

#include "UploadLog.h"
#include "UploaderProcess.h"

#include <string>

namespace upload {

class UploadWatch {
public:
    UploadWatch(UploaderProcess& uploader, std::string logPath);

    // Reads what the log has gained; true while the uploader runs. Once it
    // returns false the whole log has been read.
    bool Poll();

    const std::string& Log() const { return log_; }
    UploadProgress Progress() const { return ReadProgress(log_); }
    // Once Poll() has returned false.
    UploadVerdict Verdict() const;

private:
    void ReadMore();

    UploaderProcess& uploader_;
    const std::string logPath_;
    std::string log_;
};

} // namespace upload
