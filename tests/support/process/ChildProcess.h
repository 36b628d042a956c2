// SPDX-License-Identifier: GPL-3.0-or-later
// A program as a child process of a test or a benchmark, through QProcess:
// the simulated safe, the simulated board and avrdude run this way.
#pragma once

#include <QProcess>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

// The time from now to `deadline`, never negative.
std::chrono::milliseconds TimeLeft(std::chrono::steady_clock::time_point deadline);

// Starts `argv` (the program first) and waits until it runs. The child dies
// with the thread that started it (PR_SET_PDEATHSIG, `deathSignal`), so a test
// that is killed leaves nothing behind: start it from a thread that outlives it.
bool StartChild(QProcess &child, const std::vector<std::string> &argv, int deathSignal);

// One line of the child's current read channel, without its line end; false
// when none came within `timeout`.
bool ReadLine(QProcess &child, std::string &line, std::chrono::milliseconds timeout);

// SIGTERM, then SIGKILL after `grace`, unless it has ended already. Returns
// the exit code, -1 when it ended by a signal (0 when it never ran).
int StopChild(QProcess &child, std::chrono::milliseconds grace = std::chrono::seconds(3));

} // namespace testsupport
