// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploadLog.h"

#include "PortRefusal.h"
#include "UploaderWords.h"

#include <vector>

namespace upload {

namespace {

constexpr int kBarWidth = 50; // avrdude's bar: fifty '#' make 100%

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The log's lines, the one still being written included. avrdude on Windows
// ends its lines with '\r'; a build that redraws its bar in place writes each
// state of it after a '\r' on the same line: only the last state counts.
std::vector<std::string_view> Lines(std::string_view log)
{
    std::vector<std::string_view> lines;
    while (!log.empty()) {
        const std::size_t end = log.find('\n');
        std::string_view line = log.substr(0, end);
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (const std::size_t redrawn = line.rfind('\r'); redrawn != std::string_view::npos)
            line.remove_prefix(redrawn + 1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        log.remove_prefix(end + 1);
    }
    return lines;
}

// "Writing | ######    " while it runs, "Writing | #####...# | 100% 7.70s"
// once done: the figure after the bar when there is one.
int BarPercent(std::string_view line)
{
    std::string_view bar = line.substr(line.find('|') + 1);
    const std::size_t close = bar.find('|');
    if (close != std::string_view::npos) {
        int figure = 0;
        bool digits = false;
        for (const char c : bar.substr(close + 1)) {
            if (c >= '0' && c <= '9') {
                figure = figure * 10 + (c - '0');
                digits = true;
            } else if (digits || c != ' ') {
                break;
            }
        }
        if (digits && figure <= 100)
            return figure;
        bar = bar.substr(0, close);
    }
    int marks = 0;
    for (const char c : bar)
        marks += c == '#';
    return marks >= kBarWidth ? 100 : marks * 100 / kBarWidth;
}

// "... attempt 3 of 10: not in sync: resp=0x00"
void ReadAttempt(std::string_view line, UploadProgress& progress)
{
    const std::size_t at = line.find("attempt ");
    if (at == std::string_view::npos)
        return;
    int numbers[2] = {0, 0};
    int n = 0;
    bool inNumber = false;
    for (const char c : line.substr(at + 8)) {
        if (c >= '0' && c <= '9') {
            numbers[n] = numbers[n] * 10 + (c - '0');
            inNumber = true;
        } else if (inNumber) {
            inNumber = false;
            if (++n == 2)
                break;
        }
    }
    if (numbers[0] > 0 && numbers[1] >= numbers[0]) {
        progress.attempt = numbers[0];
        progress.attempts = numbers[1];
    }
}

// avrdude 7: "avrdude ser_open() OS error: cannot open port /dev/ttyUSB0: No
// such file or directory", on Windows "avrdude ser_open() error: cannot open
// port \\.\COM9: File not found."; avrdude 6: "avrdude: ser_open(): can't
// open device "/dev/ttyUSB0": No such file or directory". The system's words
// follow the last ": ", without the full stop and the line end (CR CR LF)
// that Windows' texts bring.
bool FindPortRefusal(std::string_view log, std::string& systemWords)
{
    for (const std::string_view line : Lines(log)) {
        if (!Contains(line, "cannot open port") && !Contains(line, "can't open device"))
            continue;
        const std::size_t colon = line.rfind(": ");
        std::string_view words = colon == std::string_view::npos ? line : line.substr(colon + 2);
        while (!words.empty() && (words.back() == '\r' || words.back() == ' ' || words.back() == '.'))
            words.remove_suffix(1);
        systemWords = std::string(words);
        return true;
    }
    return false;
}

} // namespace

UploadProgress ReadProgress(std::string_view log)
{
    UploadProgress progress;
    for (const std::string_view line : Lines(log)) {
        if (StartsWith(line, "Writing |")) {
            progress.stage = UploadStage::Writing;
            progress.percent = BarPercent(line);
        } else if (StartsWith(line, "Reading |")) {
            if (progress.stage != UploadStage::Verifying)
                progress.stage = UploadStage::Reading;
            progress.percent = BarPercent(line);
        } else if (Contains(line, "not in sync")) {
            if (progress.stage == UploadStage::Starting)
                ReadAttempt(line, progress);
        } else if (Contains(line, "device initialized")) {
            progress = UploadProgress{UploadStage::Connected};
        } else if (Contains(line, "erasing chip")) {
            progress = UploadProgress{UploadStage::Erasing};
        } else if (StartsWith(line, "avrdude: writing ") && Contains(line, "flash")) {
            progress = UploadProgress{UploadStage::Writing, 0};
        } else if (Contains(line, "verifying flash memory")) {
            progress = UploadProgress{UploadStage::Verifying, 0};
        }
    }
    return progress;
}

std::string ProgressText(const UploadProgress& progress)
{
    const auto withPercent = [&](const char* what) {
        std::string text = what;
        if (progress.percent >= 0)
            text += ": " + std::to_string(progress.percent) + "%";
        return text;
    };
    switch (progress.stage) {
    case UploadStage::Starting:
        if (progress.attempt > 0)
            return "The board does not answer yet (attempt " + std::to_string(progress.attempt) + " of " +
                   std::to_string(progress.attempts) + ")";
        return "Connecting to the board";
    case UploadStage::Connected:
        return "Connected to the board";
    case UploadStage::Erasing:
        return "Erasing the flash";
    case UploadStage::Writing:
        return withPercent("Writing the flash");
    case UploadStage::Verifying:
        return withPercent("Verifying the flash");
    case UploadStage::Reading:
        return withPercent("Reading");
    }
    return {};
}

UploadVerdict JudgeUpload(bool endedWell, bool stopped, std::string_view log)
{
    UploadVerdict verdict;
    verdict.flashTouched = Contains(log, "erasing chip") || Contains(log, "Writing |") ||
                           Contains(log, "bytes flash ...");
    const bool mismatch = Contains(log, "verification mismatch") || Contains(log, "verification error");
    const bool verified = Contains(log, "bytes of flash verified") && !mismatch;

    if (stopped) {
        verdict.cause = UploadCause::Cancelled;
    } else if (endedWell && verified) {
        verdict.cause = UploadCause::Completed;
    } else if (mismatch) {
        verdict.cause = UploadCause::VerificationFailed;
    } else if (FindPortRefusal(log, verdict.systemWords)) {
        switch (SortPortRefusal(verdict.systemWords)) {
        case PortRefusal::NotThere:
            verdict.cause = UploadCause::NoSuchPort;
            break;
        case PortRefusal::NoRight:
            verdict.cause = UploadCause::NoPermission;
            break;
        case PortRefusal::Held:
        case PortRefusal::Unknown:
            verdict.cause = UploadCause::PortNotOpened;
            break;
        }
    } else if (Contains(log, "not responding") || Contains(log, "not in sync")) {
        verdict.cause = UploadCause::BoardNotAnswering;
    } else if (endedWell) {
        verdict.cause = UploadCause::NotVerified;
    } else {
        verdict.cause = UploadCause::Failed;
    }
    return verdict;
}

std::string UploadEndMessage(const UploadVerdict& verdict, const std::string& port,
                             const std::string& firmwareFile, const std::string& permissionFix)
{
    const std::string seeLog = "\n\nSee 'View last upload log'.";
    switch (verdict.cause) {
    case UploadCause::Completed:
        return kCompletedUploadMessage;
    case UploadCause::NoSuchPort:
        return "Upload failed: there is no port " + port +
               ".\n\nPlug the board in and choose its port in the list." + seeLog;
    case UploadCause::NoPermission:
        return "Upload failed: you have no permission to open the port " + port + ".\n\n" +
               permissionFix + seeLog;
    case UploadCause::PortNotOpened: {
        // Words this program does not know (Windows in another language, say)
        // may as well mean that the port is not there.
        const std::string advice =
            SortPortRefusal(verdict.systemWords) == PortRefusal::Held
                ? "Close any other program that uses it."
                : "Plug the board in, choose its port in the list, and close any other program that uses it.";
        return "Upload failed: the port " + port + " could not be opened (" + verdict.systemWords + ").\n\n" +
               advice + seeLog;
    }
    case UploadCause::BoardNotAnswering:
        return "Upload failed: the board does not answer on " + port +
               ".\n\nCheck that this is the board's port. On a board without auto-reset, press its "
               "reset button just as the upload starts." +
               seeLog;
    case UploadCause::VerificationFailed:
        return "Upload failed: verification failed, the flash does not hold " + firmwareFile +
               ".\n\nUpload it again." + seeLog;
    case UploadCause::NotVerified:
        return "Upload not confirmed: the log does not show the flash verified." + seeLog;
    case UploadCause::Failed:
        return "Upload failed: avrdude ended with an error." + seeLog;
    case UploadCause::Cancelled:
        if (verdict.flashTouched)
            return "Upload cancelled: the board may hold only part of " + firmwareFile +
                   ".\n\nUpload it again before using the safe." + seeLog;
        return "Upload cancelled before anything was written to the board." + seeLog;
    case UploadCause::Stalled:
        return "Upload failed: the board stopped answering on " + port +
               ". Was it unplugged?\n\nPlug it in, choose its port and upload " + firmwareFile + " again" +
               (verdict.flashTouched ? ": until then the board may hold only part of it." : ".") + seeLog;
    }
    return {};
}

} // namespace upload
