// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated safe (program `simsafe`) as a child process of a test.
//
//     testsupport::SimSafeProcess safe;
//     ASSERT_TRUE(safe.start({"--misbehave", "junk,ok"})) << safe.errorText();
//     settings::SetSerialPort(safe.portPath());
//     ... exchanges with the safe ...
//     EXPECT_EQ(safe.control("status"), "status latch=closed lock=timed seconds=60 hidden=0");
//
// Options (see `simsafe --help` and docs/simulated-safe.md): --link PATH,
// --misbehave LIST (ok silent disagree slow split cut nul junk long hangup, one
// per reply in turn, the last one for all later replies), --gap MS, --reply TEXT,
// --locked SECONDS [--hidden] [--nonce HEX], --state-file PATH, --keep-unread,
// --verbose (to the test's standard error).
//
// Control lines (control()) change the safe while it runs, each answered by
// one line: "status", "misbehave LIST", "gap MS", "reply TEXT", "reply-off",
// "received" (what received() reads).
//
// The child is stopped by stop() or the destructor, and also dies with the
// thread that started it, so a test that is killed leaves no safe behind:
// start it from a thread that outlives it (normally the test's main thread).
// Not thread-safe; one object per child.
#pragma once

#include "ChildProcess.h"

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

class SimSafeProcess {
public:
    SimSafeProcess() = default;
    SimSafeProcess(const SimSafeProcess &) = delete;
    SimSafeProcess &operator=(const SimSafeProcess &) = delete;
    ~SimSafeProcess();

    // Starts the safe and waits for the path of its pseudo-terminal. False,
    // with errorText(), when it did not come up in time (it is then stopped).
    bool start(const std::vector<std::string> &args = {},
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // The pseudo-terminal's path, e.g. "/dev/pts/3" (not the --link path).
    const std::string &portPath() const { return portPath_; }

    // Sends one control line and returns the answer line ("ok", "error ...",
    // "status ..."); empty when none came in time or the safe is not running.
    std::string control(const std::string &line,
                        std::chrono::milliseconds timeout = std::chrono::seconds(2));

    // Every byte the safe received from controllers since the last call, such
    // as "T.T.T.": the commands exactly as they went out on the wire.
    std::string received();

    // SIGTERM, then SIGKILL after `grace`. Returns the exit code, -1 when it
    // ended by a signal.
    int stop(std::chrono::milliseconds grace = std::chrono::seconds(3));

    bool running() const { return child_.state() != QProcess::NotRunning; }
    pid_t pid() const { return static_cast<pid_t>(child_.processId()); }
    const std::string &errorText() const { return error_; }

private:
    // Control lines go to its standard input, answers come on its standard
    // output; its standard error is the test's.
    QProcess child_;
    std::string portPath_;
    std::string error_;
};

} // namespace testsupport
