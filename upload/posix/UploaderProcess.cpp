// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux side of starting and watching the uploader: fork and exec, so
// that the child can be tied to the program's life before it runs anything.
// A program that cannot be run (missing, not executable, a folder) is
// reported with the system's own error, sent back through a pipe that the
// exec closes, before anything has run.
//
// The uploader never outlives the program, however the program ends:
// - it asks the kernel for SIGKILL when the program dies (PR_SET_PDEATHSIG),
//   which covers a crash and SIGKILL too;
// - it leads a process group of its own, and the program's SIGTERM, SIGHUP
//   and SIGINT (a log-off, a closed terminal, Ctrl+C) end that whole group
//   before they end the program, so a wrapper script and what it started go
//   with it.
// It inherits nothing of the program but its three standard streams: every
// other descriptor is closed at the exec.
#include "UploaderProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
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

// The process group of the uploader that runs now (0: none), for the
// signal handler below.
std::atomic<pid_t> runningGroup{0};

const int kEndingSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Ends the uploader's group, then lets the signal end the program as it
// would have (the handler was reset when it ran).
void EndUploaderWithProgram(int signal)
{
    const int savedErrno = errno;
    if (const pid_t group = runningGroup.load(); group > 0)
        ::kill(-group, SIGKILL);
    ::raise(signal);
    errno = savedErrno;
}

// Once, and only for signals that would end the program by default: a
// handler the program set for itself stays.
void EndUploaderOnEndingSignals()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : kEndingSignals) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
                continue;
            struct sigaction ending {};
            ending.sa_handler = EndUploaderWithProgram;
            sigemptyset(&ending.sa_mask);
            ending.sa_flags = SA_RESETHAND;
            ::sigaction(signal, &ending, nullptr);
        }
    });
}

// In the child, between fork and exec: async-signal-safe calls only. Returns
// only on failure, with the errno to report.
int BecomeUploader(pid_t parent, const char* program, char* const* argv, int nullIn, int nullOut, int log,
                   const char* workDir)
{
    ::setpgid(0, 0);
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        return errno;
    if (::getppid() != parent) // the program died before the line above
        ::_exit(127);
    // The program's own handling of signals is not the uploader's.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal)
        if (signal != SIGKILL && signal != SIGSTOP)
            ::sigaction(signal, &byDefault, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    if (::dup2(nullIn, 0) < 0 || ::dup2(nullOut, 1) < 0 || ::dup2(log >= 0 ? log : nullOut, 2) < 0)
        return errno;
    if (::chdir(workDir) != 0)
        return errno;
    // Everything above the standard streams closes at the exec (the error
    // pipe too, which is how the program learns that the exec succeeded).
    if (::close_range(3, ~0u, CLOSE_RANGE_CLOEXEC) != 0) {
        const long open = ::sysconf(_SC_OPEN_MAX);
        for (int fd = 3; fd < (open > 0 && open < 65536 ? open : 65536); ++fd)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::execve(program, argv, environ);
    return errno;
}

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
                Ended();
                return true;
            }
            if (r == 0)
                return false;
            if (errno != EINTR) {
                // Reaped elsewhere: it has ended, how is not known.
                Ended();
                status = -1;
                return true;
            }
        }
    }

    void Ended()
    {
        ended = true;
        pid_t mine = pid;
        runningGroup.compare_exchange_strong(mine, 0);
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

    // Created or emptied here, before the fork: a start that fails below
    // leaves it empty. O_APPEND: every write lands at the file's end, so when
    // another copy of the program empties the log while this uploader runs,
    // the text that follows starts at the top, with no hole before it, and
    // two uploaders that run at once never write over each other's text.
    Descriptor log;
    log.fd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    Descriptor nullIn, nullOut;
    nullIn.fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    nullOut.fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    int errorPipe[2] = {-1, -1};
    if (nullIn.fd < 0 || nullOut.fd < 0 || ::pipe2(errorPipe, O_CLOEXEC) != 0) {
        result.reason = SystemWords(errno);
        return result;
    }
    Descriptor errorIn, errorOut;
    errorIn.fd = errorPipe[0];
    errorOut.fd = errorPipe[1];

    std::vector<char*> argv;
    argv.reserve(words.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);

    EndUploaderOnEndingSignals();
    // Held until the handler knows the new group: an ending signal that
    // came between the fork and that would leave a wrapper's children.
    sigset_t ending, before;
    sigemptyset(&ending);
    for (const int signal : kEndingSignals)
        sigaddset(&ending, signal);
    ::pthread_sigmask(SIG_BLOCK, &ending, &before);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        result.reason = SystemWords(errno);
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
        return result;
    }
    if (pid == 0) {
        const int error = BecomeUploader(parent, program.c_str(), argv.data(), nullIn.fd, nullOut.fd, log.fd,
                                         workDir.c_str());
        (void)!::write(errorOut.fd, &error, sizeof error);
        ::_exit(127);
    }
    // Both sides set the group, so that it exists before anyone signals it.
    ::setpgid(pid, pid);
    state_->pid = pid;
    runningGroup.store(pid);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ::close(errorOut.fd);
    errorOut.fd = -1;
    int error = 0;
    ssize_t got = 0;
    do
        got = ::read(errorIn.fd, &error, sizeof error);
    while (got < 0 && errno == EINTR);
    if (got == sizeof error) {
        state_->Reap(true);
        state_->pid = 0;
        result.reason = SystemWords(error);
        return result;
    }
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
