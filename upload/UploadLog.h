// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading avrdude's log (its standard error, as the upload writes it to
// upload_out.txt): how far an upload has come while it runs, and at its end
// whether the flash was written and verified or what went wrong. Plain C++,
// shared by every system.
//
// avrdude ends every run, a failed one too, with "avrdude done.  Thank you.",
// so the last line says nothing; success is an exit code of 0 together with
// "<n> bytes of flash verified" and no verification mismatch.

#include <string>
#include <string_view>

namespace upload {

enum class UploadStage {
    Starting,   // nothing from the board yet
    Connected,  // the bootloader answered
    Erasing,
    Writing,
    Verifying,
    Reading,    // a read that is not the verification
};

struct UploadProgress {
    UploadStage stage = UploadStage::Starting;
    // Of the current stage's bar: avrdude's own figure when it printed one,
    // else two per '#' of its fifty; -1 before the bar begins.
    int percent = -1;
    // The last "not in sync" attempt, while the board has not answered.
    int attempt = 0;
    int attempts = 0;
};

UploadProgress ReadProgress(std::string_view log);

// One line for the progress window: "Writing the flash: 46%".
std::string ProgressText(const UploadProgress& progress);

enum class UploadCause {
    Completed,           // ended well and the flash verified
    NoSuchPort,
    NoPermission,        // the port exists, this user may not open it
    PortNotOpened,       // any other refusal (busy, ...), in the system's words
    BoardNotAnswering,
    VerificationFailed,
    NotVerified,         // ended well, but the log does not show the flash verified
    Failed,              // ended badly for a reason the log does not name
    Cancelled,           // stopped before its end
    Stalled,             // stopped after it made no step forward for long (UploadWatch)
};

struct UploadVerdict {
    UploadCause cause = UploadCause::Failed;
    std::string systemWords; // PortNotOpened: why, as avrdude quotes the system
    bool flashTouched = false; // the chip was erased or written
};

UploadVerdict JudgeUpload(bool endedWell, bool stopped, std::string_view log);

// The message that ends an upload: "Completed upload" for success; else the
// cause, what to do, and a pointer to 'View last upload log'. `port` is the
// uploader's -P word, `firmwareFile` the bare file name, `permissionFix` how
// this user gets the right to open that port (safeexchange::PermissionFix).
std::string UploadEndMessage(const UploadVerdict& verdict, const std::string& port,
                             const std::string& firmwareFile, const std::string& permissionFix);

} // namespace upload
