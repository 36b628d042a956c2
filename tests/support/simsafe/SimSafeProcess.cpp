// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimSafeProcess.h"

#include <csignal>

namespace testsupport {

SimSafeProcess::~SimSafeProcess()
{
    stop();
}

bool SimSafeProcess::start(const std::vector<std::string> &args, std::chrono::milliseconds timeout)
{
    stop();
    error_.clear();
    portPath_.clear();

    std::vector<std::string> argv = {VANDREL_SIMSAFE_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    child_.setProcessChannelMode(QProcess::ForwardedErrorChannel); // --verbose goes to the test's log
    std::string line;
    if (!StartChild(child_, argv, SIGTERM) || !ReadLine(child_, line, timeout) || line.empty() ||
        line[0] != '/') {
        const int code = stop(std::chrono::milliseconds(500));
        error_ = "simsafe (" VANDREL_SIMSAFE_PATH ") did not report its port";
        if (!line.empty())
            error_ += "; it said \"" + line + "\"";
        error_ += "; exit code " + std::to_string(code);
        return false;
    }
    portPath_ = line;
    return true;
}

std::string SimSafeProcess::control(const std::string &line, std::chrono::milliseconds timeout)
{
    if (!running() || child_.write(QByteArray::fromStdString(line + "\n")) < 0 ||
        !child_.waitForBytesWritten(static_cast<int>(timeout.count())))
        return {};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string answer;
    while (ReadLine(child_, answer, TimeLeft(deadline))) {
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
    return StopChild(child_, grace);
}

} // namespace testsupport
