#include "SimSafeProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
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

} // namespace

std::string SimSafeProcess::programPath()
{
    return VANDREL_SIMSAFE_PATH;
}

SimSafeProcess::~SimSafeProcess()
{
    stop();
}

bool SimSafeProcess::start(const std::vector<std::string> &args, std::chrono::milliseconds timeout)
{
    stop();
    error_.clear();
    portPath_.clear();
    buffered_.clear();

    const std::string program = programPath();
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    // A socket for the control lines, so that writing to a safe that has died
    // gives an error instead of SIGPIPE in the test.
    int control[2];
    int output[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, control) != 0) {
        error_ = std::string("socketpair: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(output, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        ::close(control[0]);
        ::close(control[1]);
        return false;
    }

    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        error_ = std::string("fork: ") + std::strerror(errno);
        for (int fd : {control[0], control[1], output[0], output[1]})
            ::close(fd);
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here to exec: the test may have threads.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        dup2(control[1], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        // Descriptors the test holds (an open port above all) stay with the test.
        close_range(3, ~0U, 0);
        execv(argv[0], argv.data());
        _exit(127);
    }
    ::close(control[1]);
    ::close(output[1]);
    pid_ = child;
    controlFd_ = control[0];
    outputFd_ = output[0];

    std::string line;
    if (!readLine(line, timeout) || line.empty() || line[0] != '/') {
        const std::string said = line;
        const int code = stop(std::chrono::milliseconds(500));
        error_ = "simsafe (" + program + ") did not report its port";
        if (!said.empty())
            error_ += "; it said \"" + said + "\"";
        error_ += "; exit code " + std::to_string(code);
        return false;
    }
    portPath_ = line;
    return true;
}

bool SimSafeProcess::readLine(std::string &line, std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    while (true) {
        const std::size_t end = buffered_.find('\n');
        if (end != std::string::npos) {
            line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return true;
        }
        if (outputFd_ < 0)
            return false;
        pollfd p{outputFd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char chunk[512];
        const ssize_t n = ::read(outputFd_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // the safe has ended
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string SimSafeProcess::control(const std::string &line, std::chrono::milliseconds timeout)
{
    if (controlFd_ < 0)
        return {};
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(controlFd_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        done += static_cast<std::size_t>(n);
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    std::string answer;
    while (readLine(answer, std::chrono::milliseconds(RemainingMs(deadline)))) {
        // "port PATH" announces the new terminal after a hang-up; it is no answer.
        if (answer.rfind("port ", 0) != 0)
            return answer;
    }
    return {};
}

int SimSafeProcess::stop(std::chrono::milliseconds grace)
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
    closePipes();
    return done > 0 ? ExitCode(status) : -1;
}

void SimSafeProcess::closePipes()
{
    for (int *fd : {&controlFd_, &outputFd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

} // namespace testsupport
