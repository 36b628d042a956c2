#include "SimSafeProcess.h"

namespace testsupport {

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

    const std::string program = programPath();
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess::Options options;
    options.writableInput = true;
    options.errors = ChildProcess::Stream::Inherit; // --verbose goes to the test's log
    options.deathSignal = SIGTERM;
    if (!child_.start(argv, options)) {
        error_ = child_.errorText();
        return false;
    }

    std::string line;
    if (!child_.readLine(line, timeout) || line.empty() || line[0] != '/') {
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

std::string SimSafeProcess::control(const std::string &line, std::chrono::milliseconds timeout)
{
    if (!child_.send(line + "\n"))
        return {};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string answer;
    while (child_.readLine(answer, TimeLeft(deadline))) {
        // "port PATH" announces the new terminal after a hang-up; it is no answer.
        if (answer.rfind("port ", 0) != 0)
            return answer;
    }
    return {};
}

std::string SimSafeProcess::received()
{
    const std::string answer = control("received");
    std::string bytes;
    for (std::size_t i = 9; i + 1 < answer.size(); i += 2)
        bytes += static_cast<char>(std::stoi(answer.substr(i, 2), nullptr, 16));
    return bytes;
}

int SimSafeProcess::stop(std::chrono::milliseconds grace)
{
    return child_.stop(grace);
}

} // namespace testsupport
