// SPDX-License-Identifier: GPL-3.0-or-later
// The work on a thread of its own; the wait a message wait on its end that
// takes only paint messages from the queue and lets PeekMessage deliver the
// messages other threads and programs send (WM_NULL from the system's hang
// check, WM_GETOBJECT and WM_GETTEXT from assistive tools). Input and posted
// messages (keys, clicks, BM_CLICK, WM_TIMER, WM_SYSCOMMAND) stay queued
// until the work has ended, as they did when the work held the thread.
#include "LiveWait.h"

#include <windows.h>

#include <thread>

namespace dialogkit {

namespace {

// Windows calls a window whose thread has not looked at its queue for five
// seconds "Not Responding"; looking more often than that keeps it from
// doing so even while only input is waiting.
constexpr DWORD kLookInterval = 100;

} // namespace

void RunOnAWorkerKeepingWindowsLive(const std::function<void()> &work)
{
    const HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        work();
        SetEvent(ended);
    });
    // Without the event (no handle), the join below waits as a plain call.
    for (bool waiting = ended != nullptr; waiting;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE))
            DispatchMessageW(&message);
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &ended, kLookInterval, QS_PAINT | QS_SENDMESSAGE, 0);
        waiting = woke != WAIT_OBJECT_0 && woke != WAIT_FAILED;
    }
    worker.join();
    if (ended != nullptr)
        CloseHandle(ended);
}

} // namespace dialogkit
