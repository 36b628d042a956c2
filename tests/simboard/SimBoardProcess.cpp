// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimBoardProcess.h"

#include "SafeExchange.h"

#include <csignal>
#include <cstdlib>

namespace testsupport {

using Clock = std::chrono::steady_clock;

std::string Ask(const std::string &command)
{
    std::string reply = "<no reply>";
    SafeExchange(command, reply);
    return reply;
}

std::string FirmwarePath(const std::string &name)
{
    return std::string(VANDREL_FIRMWARE_DIR) + "/" + name + ".hex";
}

int RunAvrdude(const std::string &port, const std::string &hexFile, const std::string &workDir, std::string &log)
{
    QProcess avrdude;
    avrdude.setStandardOutputFile(QProcess::nullDevice());
    avrdude.setWorkingDirectory(QString::fromStdString(workDir));
    if (!StartChild(avrdude, {"/usr/bin/avrdude", "-v", "-C", "/etc/avrdude.conf", "-p", "atmega168", "-P", port,
                              "-c", "stk500v1", "-b19200", "-U", "flash:w:" + hexFile},
                    SIGKILL)) {
        log.clear();
        return -1;
    }
    // avrdude gives up after ten sync attempts of five seconds each.
    const bool ended = avrdude.waitForFinished(90000);
    const int code = StopChild(avrdude, std::chrono::milliseconds(0));
    log = avrdude.readAllStandardError().toStdString();
    if (!ended)
        log += "\n[killed: avrdude did not end in time]\n";
    return code;
}

SimBoardProcess::~SimBoardProcess()
{
    stop();
}

bool SimBoardProcess::start(const std::vector<std::string> &args, std::chrono::milliseconds timeout)
{
    stop();
    error_.clear();
    errorOutput_.clear();
    portPath_.clear();
    events_.clear();
    next_ = 0;

    std::vector<std::string> argv = {VANDREL_SIMBOARD_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string line;
    const bool gotLine = StartChild(child_, argv, SIGKILL) && ReadLine(child_, line, timeout);
    if (!gotLine || line.empty() || line[0] != '/') {
        const std::string said = line + child_.readAll().toStdString();
        const int code = stop(std::chrono::milliseconds(500));
        error_ = "simboard (" VANDREL_SIMBOARD_PATH ") did not report its port";
        if (!said.empty())
            error_ += "; it said \"" + said + "\"";
        if (!errorOutput().empty())
            error_ += "; on its error output: " + errorOutput();
        error_ += "; exit code " + std::to_string(code);
        return false;
    }
    portPath_ = line;
    takeEvents();
    return true;
}

bool SimBoardProcess::readMore(std::chrono::milliseconds timeout)
{
    if (!child_.canReadLine() && !child_.waitForReadyRead(static_cast<int>(timeout.count())))
        return false;
    takeEvents();
    return true;
}

void SimBoardProcess::takeEvents()
{
    if (portPath_.empty())
        return;
    while (child_.canReadLine()) {
        const std::string line = child_.readLine().chopped(1).toStdString();
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
        const std::chrono::milliseconds left = TimeLeft(deadline);
        if (left.count() == 0 || !readMore(left))
            return std::nullopt;
    }
}

bool SimBoardProcess::waitUntilPortClosed(std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    while (true) {
        long openings = 0;
        for (const BoardEvent &e : events_)
            openings += e.what == "open" ? 1 : e.what == "close" ? -1 : 0;
        if (openings == 0)
            return true;
        const std::chrono::milliseconds left = TimeLeft(deadline);
        if (left.count() == 0 || !readMore(left))
            return false;
    }
}

const std::vector<BoardEvent> &SimBoardProcess::events()
{
    while (readMore(std::chrono::milliseconds(0))) {
    }
    return events_;
}

void SimBoardProcess::pressReset()
{
    if (child_.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(child_.processId()), SIGUSR1);
}

void SimBoardProcess::dropDtr()
{
    if (child_.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(child_.processId()), SIGUSR2);
}

int SimBoardProcess::stop(std::chrono::milliseconds grace)
{
    const int code = StopChild(child_, grace);
    // The last events came in as it stopped.
    takeEvents();
    errorOutput_ += child_.readAllStandardError().toStdString();
    return code;
}

} // namespace testsupport
