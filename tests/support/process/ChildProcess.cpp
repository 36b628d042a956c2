// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChildProcess.h"

#include <algorithm>
#include <sys/prctl.h>

namespace testsupport {

std::chrono::milliseconds TimeLeft(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

bool StartChild(QProcess &child, const std::vector<std::string> &argv, int deathSignal)
{
    QStringList arguments;
    for (std::size_t i = 1; i < argv.size(); ++i)
        arguments << QString::fromStdString(argv[i]);
    child.setProgram(QString::fromStdString(argv.at(0)));
    child.setArguments(arguments);
    child.setChildProcessModifier([deathSignal] { ::prctl(PR_SET_PDEATHSIG, deathSignal); });
    child.start();
    return child.waitForStarted(5000);
}

bool ReadLine(QProcess &child, std::string &line, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!child.canReadLine()) {
        if (!child.waitForReadyRead(static_cast<int>(TimeLeft(deadline).count())))
            return false;
    }
    line = child.readLine().chopped(1).toStdString();
    return true;
}

int StopChild(QProcess &child, std::chrono::milliseconds grace)
{
    if (child.state() != QProcess::NotRunning) {
        child.terminate();
        if (!child.waitForFinished(static_cast<int>(grace.count()))) {
            child.kill();
            child.waitForFinished(-1);
        }
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

} // namespace testsupport
