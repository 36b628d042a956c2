#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

int PollMs(std::chrono::milliseconds timeout)
{
    return static_cast<int>(std::min<std::chrono::milliseconds::rep>(timeout.count(), INT_MAX));
}

int ExitCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

void CloseAll(std::initializer_list<int> fds)
{
    for (int fd : fds) {
        if (fd >= 0)
            ::close(fd);
    }
}

} // namespace

std::chrono::milliseconds TimeLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

ChildProcess::~ChildProcess()
{
    stop();
}

bool ChildProcess::start(const std::vector<std::string> &args, const Options &options)
{
    stop();
    pending_.clear();
    errors_.clear();
    error_.clear();
    if (args.empty()) {
        error_ = "no program to start";
        return false;
    }

    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    // [0] stays here, [1] goes to the child.
    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    int errors[2] = {-1, -1};
    const auto uses = [&](Stream s) { return options.output == s || options.errors == s; };
    const auto fail = [&](const char *what) {
        error_ = std::string(what) + ": " + std::strerror(errno);
        CloseAll({input[0], input[1], output[0], output[1], errors[0], errors[1]});
        return false;
    };
    if (options.writableInput && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) {
        input[0] = input[1] = -1;
        return fail("socketpair");
    }
    if (uses(Stream::Read) && pipe2(output, O_CLOEXEC) != 0) {
        output[0] = output[1] = -1;
        return fail("pipe");
    }
    if (uses(Stream::Collect) && pipe2(errors, O_CLOEXEC) != 0) {
        errors[0] = errors[1] = -1;
        return fail("pipe");
    }

    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0)
        return fail("fork");
    if (child == 0) {
        // Only async-signal-safe calls from here to exec: the caller may have threads.
        prctl(PR_SET_PDEATHSIG, options.deathSignal);
        if (getppid() != parent)
            _exit(127);
        int null = -1;
        const auto nullFd = [&null] {
            if (null < 0)
                null = open("/dev/null", O_RDWR);
            return null;
        };
        dup2(options.writableInput ? input[1] : nullFd(), STDIN_FILENO);
        for (const auto &[stream, fd] : {std::pair{options.output, STDOUT_FILENO},
                                         std::pair{options.errors, STDERR_FILENO}}) {
            switch (stream) {
            case Stream::Null:
                dup2(nullFd(), fd);
                break;
            case Stream::Inherit:
                break;
            case Stream::Read:
                dup2(output[1], fd);
                break;
            case Stream::Collect:
                dup2(errors[1], fd);
                break;
            }
        }
        // Descriptors the caller holds (an open port above all) stay with it.
        close_range(3, ~0U, 0);
        if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0)
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    CloseAll({input[1], output[1], errors[1]});
    pid_ = child;
    inputFd_ = input[0];
    outputFd_ = output[0];
    errorFd_ = errors[0];
    if (errorFd_ >= 0)
        fcntl(errorFd_, F_SETFL, fcntl(errorFd_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool ChildProcess::readMore(std::chrono::milliseconds timeout)
{
    if (outputFd_ < 0)
        return false;
    const Clock::time_point deadline = Clock::now() + timeout;
    pollfd p{outputFd_, POLLIN, 0};
    int ready;
    while ((ready = ::poll(&p, 1, PollMs(TimeLeft(deadline)))) < 0 && errno == EINTR) {
    }
    if (ready <= 0)
        return false;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(outputFd_, chunk, sizeof chunk)) < 0 && errno == EINTR) {
    }
    if (n <= 0) {
        ::close(outputFd_);
        outputFd_ = -1;
        return false;
    }
    pending_.append(chunk, static_cast<std::size_t>(n));
    return true;
}

bool ChildProcess::takeLine(std::string &line)
{
    const std::size_t end = pending_.find('\n');
    if (end == std::string::npos)
        return false;
    line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return true;
}

bool ChildProcess::readLine(std::string &line, std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    while (!takeLine(line)) {
        if (!readMore(TimeLeft(deadline)))
            return false;
    }
    return true;
}

bool ChildProcess::send(const std::string &text)
{
    if (inputFd_ < 0)
        return false;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(inputFd_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void ChildProcess::signal(int number) const
{
    if (pid_ > 0)
        ::kill(pid_, number);
}

int ChildProcess::wait()
{
    if (pid_ <= 0)
        return -1;
    int status = 0;
    pid_t done;
    while ((done = waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return done > 0 ? ExitCode(status) : -1;
}

int ChildProcess::stop(std::chrono::milliseconds grace)
{
    int code = -1;
    if (pid_ > 0) {
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
        code = done > 0 ? ExitCode(status) : -1;
        // What it wrote before it ended.
        while (readMore(std::chrono::milliseconds(0))) {
        }
        collectErrors();
    }
    closePipes();
    return code;
}

void ChildProcess::collectErrors()
{
    if (errorFd_ < 0)
        return;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(errorFd_, chunk, sizeof chunk)) > 0)
        errors_.append(chunk, static_cast<std::size_t>(n));
}

void ChildProcess::closePipes()
{
    for (int *fd : {&inputFd_, &outputFd_, &errorFd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

} // namespace testsupport
