// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The uploader as a process of its own, started and then watched: whether it
// still runs, how it ended, and stopping it when the user cancels. One header
// for every system; the build picks the side (posix/UploaderProcess.cpp with
// fork and exec, win/UploaderProcess.cpp with CreateProcessW).
//
// What every side keeps: no window; standard input and output lead nowhere;
// standard error goes to the log, which is opened so that the program can
// read it while the uploader writes (the Test window follows the upload by
// reading it); the uploader runs in workDir, which is made when missing; the
// words reach it in order, each one whole.
//
// The log: a workDir that cannot be made fails the start and leaves the log
// as it was. Otherwise the log is created or emptied before the uploader is
// started, so a start that then fails (a missing program, say) leaves it
// empty, not holding the last upload's text. A log that cannot be created
// does not stop the start: the error output then goes nowhere.
//
//     upload::UploaderProcess uploader;
//     const upload::LaunchResult launch = uploader.Start(program, words, workDir, logPath);
//     while (launch.started && uploader.Running()) { ... read the log ... }
//     if (uploader.EndedWell()) ...

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace upload {

struct LaunchResult {
    bool started = false;
    std::string reason;        // the system's words when it did not start
    long long processId = 0;   // when it started
};

// How long Stop() leaves the uploader to end by itself before ending it.
inline constexpr auto kStopGrace = std::chrono::seconds(2);

class UploaderProcess {
public:
    UploaderProcess();
    // One that still runs is stopped and awaited: it never goes on alone
    // after the window that watched it has gone.
    ~UploaderProcess();
    UploaderProcess(const UploaderProcess&) = delete;
    UploaderProcess& operator=(const UploaderProcess&) = delete;

    // Paths and words in UTF-8. Returns as soon as the program has started.
    // Once per object. Call it on the windows' thread, never from work run
    // off it: on Linux the uploader is tied to the life of the thread that
    // starts it (PR_SET_PDEATHSIG follows the thread, not the process).
    LaunchResult Start(const std::string& program, const std::vector<std::string>& words,
                       const std::string& workDir, const std::string& logPath);

    // Looks without waiting. False once it has ended (or never started).
    bool Running();

    // Waits up to `limit` for the end; true when it has ended.
    bool WaitForEnd(std::chrono::milliseconds limit);

    // Asks it to end, waits up to kStopGrace, then ends it outright, and
    // waits for that. Its log is complete and closed afterwards.
    void Stop();

    // After the end: exit code 0 of its own accord.
    bool EndedWell() const;
    // After the end: whether Stop() ended it.
    bool WasStopped() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace upload
