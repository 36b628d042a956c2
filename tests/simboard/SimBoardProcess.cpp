#include "SimBoardProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

int ExitCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// Starts `argv` with its standard output and error on the given descriptors
// (-1: /dev/null) and standard input from /dev/null. Only async-signal-safe
// calls in the child: the caller may have threads.
pid_t Spawn(const std::vector<std::string> &args, int out, int err, const char *workDir, bool dieWithParent)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child != 0)
        return child;
    if (dieWithParent) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
    }
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(out >= 0 ? out : null, STDOUT_FILENO);
    dup2(err >= 0 ? err : null, STDERR_FILENO);
    close_range(3, ~0U, 0);
    if (workDir != nullptr && chdir(workDir) != 0)
        _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
}

} // namespace

std::string FirmwarePath(const std::string &name)
{
    return std::string(VANDREL_FIRMWARE_DIR) + "/" + name + ".hex";
}

int RunAvrdude(const std::string &port, const std::string &hexFile, const std::string &workDir, std::string &log)
{
    log.clear();
    int errPipe[2];
    if (pipe2(errPipe, O_CLOEXEC) != 0)
        return -1;
    const std::vector<std::string> args = {"/usr/bin/avrdude", "-v", "-C", "/etc/avrdude.conf", "-p", "atmega168",
                                           "-P", port, "-c", "stk500v1", "-b19200", "-U", "flash:w:" + hexFile};
    const pid_t child = Spawn(args, -1, errPipe[1], workDir.c_str(), true);
    ::close(errPipe[1]);
    if (child < 0) {
        ::close(errPipe[0]);
        return -1;
    }
    // avrdude gives up after ten sync attempts of five seconds each.
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(90);
    char chunk[4096];
    while (true) {
        pollfd p{errPipe[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            ::kill(child, SIGKILL);
            log += "\n[killed: avrdude did not end in time]\n";
            break;
        }
        const ssize_t n = ::read(errPipe[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        log.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(errPipe[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return ExitCode(status);
}

std::string SimBoardProcess::programPath()
{
    return VANDREL_SIMBOARD_PATH;
}

SimBoardProcess::~SimBoardProcess()
{
    stop();
}

bool SimBoardProcess::start(const std::vector<std::string> &args, std::chrono::milliseconds timeout)
{
    stop();
    error_.clear();
    portPath_.clear();
    buffered_.clear();
    stderr_.clear();
    events_.clear();
    next_ = 0;

    int output[2];
    int errors[2];
    if (pipe2(output, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> argv = {programPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t child = Spawn(argv, output[1], errors[1], nullptr, true);
    ::close(output[1]);
    ::close(errors[1]);
    if (child < 0) {
        error_ = std::string("fork: ") + std::strerror(errno);
        ::close(output[0]);
        ::close(errors[0]);
        return false;
    }
    pid_ = child;
    outputFd_ = output[0];
    errorFd_ = errors[0];
    fcntl(errorFd_, F_SETFL, fcntl(errorFd_, F_GETFL) | O_NONBLOCK);

    const Clock::time_point deadline = Clock::now() + timeout;
    std::size_t end;
    while ((end = buffered_.find('\n')) == std::string::npos) {
        if (!readMore(RemainingMs(deadline)))
            break;
    }
    if (end == std::string::npos || buffered_[0] != '/') {
        const std::string said = buffered_;
        const int code = stop(std::chrono::milliseconds(500));
        error_ = "simboard (" + programPath() + ") did not report its port";
        if (!said.empty())
            error_ += "; it said \"" + said + "\"";
        if (!stderr_.empty())
            error_ += "; on its error output: " + stderr_;
        error_ += "; exit code " + std::to_string(code);
        return false;
    }
    portPath_ = buffered_.substr(0, end);
    buffered_.erase(0, end + 1);
    takeEvents();
    return true;
}

bool SimBoardProcess::readMore(int timeoutMs)
{
    if (outputFd_ < 0)
        return false;
    pollfd p{outputFd_, POLLIN, 0};
    int ready;
    while ((ready = ::poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    if (ready <= 0)
        return false;
    char chunk[1024];
    ssize_t n;
    while ((n = ::read(outputFd_, chunk, sizeof chunk)) < 0 && errno == EINTR) {
    }
    if (n <= 0) {
        ::close(outputFd_);
        outputFd_ = -1;
        return false;
    }
    buffered_.append(chunk, static_cast<std::size_t>(n));
    takeEvents();
    return true;
}

void SimBoardProcess::takeEvents()
{
    if (portPath_.empty())
        return;
    std::size_t end;
    while ((end = buffered_.find('\n')) != std::string::npos) {
        const std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        BoardEvent event;
        char *rest = nullptr;
        event.seconds = std::strtod(line.c_str(), &rest);
        event.what = (rest != nullptr && *rest == ' ') ? std::string(rest + 1) : line;
        events_.push_back(event);
    }
}

std::optional<BoardEvent> SimBoardProcess::waitFor(const std::string &prefix, std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    while (true) {
        for (; next_ < events_.size(); ++next_) {
            if (events_[next_].what.rfind(prefix, 0) == 0)
                return events_[next_++];
        }
        const int left = RemainingMs(deadline);
        if (left == 0 || !readMore(left))
            return std::nullopt;
    }
}

const std::vector<BoardEvent> &SimBoardProcess::events()
{
    while (readMore(0)) {
    }
    return events_;
}

void SimBoardProcess::pressReset()
{
    if (pid_ > 0)
        ::kill(pid_, SIGUSR1);
}

int SimBoardProcess::stop(std::chrono::milliseconds grace)
{
    if (pid_ <= 0) {
        closePipes();
        return -1;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    const Clock::time_point deadline = Clock::now() + grace;
    pid_t done = 0;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done == 0) {
        ::kill(pid_, SIGKILL);
        done = waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    // The last events and the error output.
    while (readMore(0)) {
    }
    if (errorFd_ >= 0) {
        char chunk[1024];
        ssize_t n;
        while ((n = ::read(errorFd_, chunk, sizeof chunk)) > 0)
            stderr_.append(chunk, static_cast<std::size_t>(n));
    }
    closePipes();
    return done > 0 ? ExitCode(status) : -1;
}

void SimBoardProcess::closePipes()
{
    for (int *fd : {&outputFd_, &errorFd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

} // namespace testsupport
