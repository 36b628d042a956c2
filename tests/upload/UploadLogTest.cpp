// SPDX-License-Identifier: GPL-3.0-or-later
// Reading avrdude's log, over real logs of Debian's avrdude 7.1 run with the
// Test window's words (logs/): a Cadrelle upload to the simulated board, a
// port that does not exist, a port this user may not open (run as nobody), a
// pseudo-terminal nobody answers on, a verify-only run of Blink.hex against a
// board holding Cadrelle, and an upload stopped with SIGTERM while writing.
// logs/windows/ holds the same from avrdude.exe as the Windows build makes it,
// run under Wine on a COM port (CR LF line ends, and CR CR LF after the
// system's words), and a port refused by the device's rights (Wine's "Access
// denied.") and held by another opener (Wine's "Lock violation.").

#include "UploadLog.h"
#include "base/ThisSystem.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

using namespace upload;

namespace {

std::string Log(const char* name)
{
    std::ifstream in(std::string(VANDREL_UPLOAD_LOGS "/") + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The log as Windows itself words the system's text where Wine words it
// otherwise.
std::string InWindowsWords(std::string log, const std::string& wine, const std::string& windows)
{
    const std::size_t at = log.find(wine);
    EXPECT_NE(at, std::string::npos) << wine;
    return log.replace(at, wine.size(), windows);
}

// The log as it stood just after `mark` (and `more` characters after it).
std::string Until(const std::string& log, const std::string& mark, std::size_t more = 0)
{
    const std::size_t at = log.find(mark);
    EXPECT_NE(at, std::string::npos) << mark;
    return log.substr(0, at + mark.size() + more);
}

TEST(UploadLog, ProgressWhileTheUploadRuns)
{
    const std::string completed = Log("completed.txt");
    const std::string silent = Log("silent-port.txt");
    const struct {
        std::string log;
        std::string shown;
    } rows[] = {
        {"", "Connecting to the board"},
        {Until(completed, "Using Port"), "Connecting to the board"},
        {Until(silent, "attempt 3 of 10: not in sync: resp=0x00\n"), "The board does not answer yet (attempt 3 of 10)"},
        {Until(completed, "accept instructions\n"), "Connected to the board"},
        {Until(completed, "erasing chip\n"), "Erasing the flash"},
        {Until(completed, "bytes flash ...\n"), "Writing the flash: 0%"},
        // Away from a terminal avrdude prints its bar a '#' at a time, and
        // its figure only at the end: 23 of 50.
        {Until(completed, "Writing | ", 23), "Writing the flash: 46%"},
        {Until(completed, "bytes of flash written\n"), "Writing the flash: 100%"},
        // A build that redraws its bar in place on a line of its own.
        {Until(completed, "bytes flash ...\n") + "\rWriting | ###     |   6% 0.05s\rWriting | ####################  |  40% 0.50s",
         "Writing the flash: 40%"},
        {Until(completed, "Reading | ", 10), "Verifying the flash: 20%"},
        {completed, "Verifying the flash: 100%"},
        {Log("verification-mismatch.txt"), "Verifying the flash: 100%"},
        {Log("cancelled.txt"), "Writing the flash: 28%"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.log.substr(row.log.size() > 80 ? row.log.size() - 80 : 0));
        EXPECT_EQ(ProgressText(ReadProgress(row.log)), row.shown);
    }
}

// Only an uploader that ended well with the flash verified is a success; the
// cause otherwise comes from the log, whatever its last line says.
TEST(UploadLog, TheEndIsJudgedFromTheExitAndTheLog)
{
    const std::string completed = Log("completed.txt");
    const std::string silent = Log("silent-port.txt");
    // A board that answered only at the second attempt (its reset button
    // pressed late): the first attempt's lines before the whole upload.
    const std::size_t firstAttempt = silent.find("avrdude stk500_recv");
    const std::string lateAnswer = Until(completed, "Overriding Baud Rate          : 19200\n") +
                                   silent.substr(firstAttempt, silent.find("attempt 2 of 10") - firstAttempt) +
                                   completed.substr(completed.find("avrdude: input file"));
    const struct {
        const char* what;
        std::string log;
        bool endedWell, stopped;
        UploadCause cause;
        std::string messageHas;
        bool touched = false;
        // Rows in one system's words for a refused port, which only its build
        // knows (upload/PortRefusal.h).
        std::optional<System> wordsOf = std::nullopt;
    } rows[] = {
        {"completed", completed, true, false, UploadCause::Completed, "Completed upload", true},
        {"answered at the second attempt", lateAnswer, true, false, UploadCause::Completed,
         "Completed upload", true},
        {"verified, but avrdude failed", completed, false, false, UploadCause::Failed,
         "avrdude ended with an error", true},
        {"ended well, not verified", Until(completed, "bytes of flash written\n"), true, false,
         UploadCause::NotVerified, "does not show the flash verified", true},
        {"no such port", Log("no-port.txt"), false, false, UploadCause::NoSuchPort,
         "there is no port /dev/ttyUSB9", false, System::Linux},
        {"no permission", Log("no-permission.txt"), false, false, UploadCause::NoPermission,
         "no permission to open the port /dev/ttyUSB9.\n\n(how to get the right)", false, System::Linux},
        {"busy port", "avrdude ser_open() OS error: cannot open port /dev/ttyUSB0: Device or resource busy\n",
         false, false, UploadCause::PortNotOpened, "(Device or resource busy)", false, System::Linux},
        {"silent port", silent, false, false, UploadCause::BoardNotAnswering,
         "press its reset button just as the upload starts"},
        {"verification mismatch", Log("verification-mismatch.txt"), false, false,
         UploadCause::VerificationFailed, "verification failed"},
        {"stopped while writing", Log("cancelled.txt"), false, true, UploadCause::Cancelled,
         "may hold only part of Cadrelle.hex", true},
        {"stopped while the board did not answer", Until(silent, "attempt 2 of 10"), false, true,
         UploadCause::Cancelled, "before anything was written"},
        {"Windows: completed", Log("windows/completed.txt"), true, false, UploadCause::Completed,
         "Completed upload", true},
        {"Wine: no such port", Log("windows/no-port.txt"), false, false, UploadCause::NoSuchPort,
         "there is no port /dev/ttyUSB9.", false, System::Windows},
        {"Windows: no such port",
         InWindowsWords(Log("windows/no-port.txt"), "File not found.", "The system cannot find the file specified."),
         false, false, UploadCause::NoSuchPort, "there is no port /dev/ttyUSB9.", false, System::Windows},
        // Wine's text for a device this user has no right to.
        {"Wine: port denied", Log("windows/port-denied.txt"), false, false, UploadCause::NoPermission,
         "permission to open the port /dev/ttyUSB9.\n\n(how to get the right)", false, System::Windows},
        // Windows' text for a port another program holds.
        {"Windows: port held", InWindowsWords(Log("windows/port-denied.txt"), "Access denied.", "Access is denied."),
         false, false, UploadCause::PortNotOpened, "(Access is denied).\n\nClose any other program", false, System::Windows},
        {"Wine: port busy", Log("windows/port-busy.txt"), false, false, UploadCause::PortNotOpened,
         "(Lock violation).\n\nClose any other program", false, System::Windows},
        {"a refusal in words not known", InWindowsWords(Log("windows/no-port.txt"), "File not found.", "Datei fehlt."),
         false, false, UploadCause::PortNotOpened, "(Datei fehlt).\n\nPlug the board in, choose"},
        {"Windows: silent port", Log("windows/silent-port.txt"), false, false, UploadCause::BoardNotAnswering,
         "does not answer"},
        {"Windows: verification mismatch", Log("windows/verification-mismatch.txt"), false, false,
         UploadCause::VerificationFailed, "verification failed"},
        {"Windows: stopped while writing", Log("windows/cancelled.txt"), false, true, UploadCause::Cancelled,
         "may hold only part of Cadrelle.hex", true},
    };
    for (const auto& row : rows) {
        if (row.wordsOf && *row.wordsOf != ThisSystem())
            continue;
        SCOPED_TRACE(row.what);
        const UploadVerdict verdict = JudgeUpload(row.endedWell, row.stopped, row.log);
        EXPECT_EQ(verdict.cause, row.cause);
        EXPECT_EQ(verdict.flashTouched, row.touched);
        const std::string message = UploadEndMessage(verdict, "/dev/ttyUSB9", "Cadrelle.hex", "(how to get the right)");
        EXPECT_NE(message.find(row.messageHas), std::string::npos) << message;
        if (row.cause == UploadCause::Completed)
            continue;
        EXPECT_EQ(message.find("Completed"), std::string::npos) << message;
        EXPECT_NE(message.find("See 'View last upload log'."), std::string::npos) << message;
        for (const char* doubled : {"..", ".)", "\r"})
            EXPECT_EQ(message.find(doubled), std::string::npos) << message;
        EXPECT_FALSE(row.cause == UploadCause::NoSuchPort && message.find("Close any") != std::string::npos);
    }
}

} // namespace
