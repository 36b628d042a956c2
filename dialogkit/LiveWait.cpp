// SPDX-License-Identifier: GPL-3.0-or-later
#include "LiveWait.h"

#include "BusyPointer.h"

#include <exception>

namespace dialogkit {

namespace {
// Touched by the windows' thread only.
int waiting = 0;
} // namespace

bool WindowsWaiting()
{
    return waiting > 0;
}

void RunKeepingWindowsLive(const std::function<void()> &work)
{
    const BusyPointer busy;
    ++waiting;
    std::exception_ptr failure;
    // The work's thread starts after, and is joined before, everything this
    // thread does around it: what the work touches (the settings, what the
    // exchange has learned of the port) is never touched by two threads at
    // once.
    RunOnAWorkerKeepingWindowsLive([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    --waiting;
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace dialogkit
