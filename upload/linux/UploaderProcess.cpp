// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux side of starting and watching the uploader: posix_spawn, which
// reports a program that cannot be run (missing, not executable, a folder)
// with the system's own error, before anything has run.
#include "UploaderProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

extern char** environ;

namespace upload {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(10);

std::string SystemWords(int error)
{
    return std::strerror(error);
}

// Closes a descriptor at the end of the scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

struct UploaderProcess::State {
    pid_t pid = 0;
    bool ended = false;
    int status = 0;
    bool stopped = false;

    // Reaps the child when it has ended; waits for it when `block`.
    bool Reap(bool block)
    {
        if (pid <= 0 || ended)
            return true;
        for (;;) {
            const pid_t r = ::waitpid(pid, &status, block ? 0 : WNOHANG);
            if (r == pid) {
                ended = true;
                return true;
            }
            if (r == 0)
                return false;
            if (errno != EINTR) {
                // Reaped elsewhere: it has ended, how is not known.
                ended = true;
                status = -1;
                return true;
            }
        }
    }

    void Signal(int signal) const
    {
        // The uploader leads a process group of its own, so a wrapper
        // script and what it started end together.
        if (::kill(-pid, signal) != 0)
            ::kill(pid, signal);
    }
};

UploaderProcess::UploaderProcess() : state_(std::make_unique<State>()) {}

UploaderProcess::~UploaderProcess()
{
    if (Running())
        Stop();
}

LaunchResult UploaderProcess::Start(const std::string& program, const std::vector<std::string>& words,
                                    const std::string& workDir, const std::string& logPath)
{
    LaunchResult result;
    std::error_code made;
    std::filesystem::create_directories(std::filesystem::path(workDir), made);
    if (made) {
        result.reason = made.message();
        return result;
    }

    // Emptied, then written at its end only: two uploaders that run at once
    // (from two copies of the program) do not write over each other's text.
    Descriptor log;
    log.fd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (log.fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, log.fd, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    // The program's own handling of signals is not the uploader's.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigfillset(&defaults);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.reserve(words.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        result.reason = SystemWords(error);
        return result;
    }
    state_->pid = pid;
    result.started = true;
    result.processId = pid;
    return result;
}

bool UploaderProcess::Running()
{
    return state_->pid > 0 && !state_->Reap(false);
}

bool UploaderProcess::WaitForEnd(std::chrono::milliseconds limit)
{
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (Running()) {
        if (std::chrono::steady_clock::now() >= giveUp)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

void UploaderProcess::Stop()
{
    if (!Running())
        return;
    state_->stopped = true;
    state_->Signal(SIGTERM);
    if (!WaitForEnd(std::chrono::duration_cast<std::chrono::milliseconds>(kStopGrace))) {
        state_->Signal(SIGKILL);
        state_->Reap(true);
    }
}

bool UploaderProcess::EndedWell() const
{
    return state_->ended && state_->status != -1 && WIFEXITED(state_->status) &&
           WEXITSTATUS(state_->status) == 0;
}

bool UploaderProcess::WasStopped() const
{
    return state_->stopped;
}

} // namespace upload
