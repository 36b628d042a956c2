// SPDX-License-Identifier: GPL-3.0-or-later
// Work that holds the windows' thread for seconds (an exchange with a silent
// safe, stopping an uploader) runs on a thread of its own, while the windows'
// thread waits for it, handling only what keeps the windows alive: painting,
// and answering the system and assistive tools. For the code that asked, it
// is still a plain call that runs to its end; the windows show its result
// only once it has returned.
//
// Meanwhile nothing else starts: the user's keys and clicks wait in the
// system's queue and reach the windows once the work has ended, as they did
// when the work held the thread; and a command or a timer tick of a Dialog
// that arrives by another way (an assistive tool's press, the window
// manager's close request, a timer) is refused, so no second exchange can
// start on the port and no window can end under the handler that waits.
//
// The thread and the wait are each system's own (qt/: a QThread and a Qt
// event loop that leaves out user input; win/: a thread and a Win32
// message wait that dispatches only paint and sent messages). Called on the
// windows' thread only.
#pragma once

#include <functional>

namespace dialogkit {

// Runs `work` on a thread of its own and returns when it has ended, with the
// busy pointer shown meanwhile. An exception from `work` comes out here.
void RunKeepingWindowsLive(const std::function<void()> &work);

// True while RunKeepingWindowsLive waits: no command and no timer tick runs.
bool WindowsWaiting();

// The system's side: runs `work` on a new thread and returns when it has
// ended; meanwhile the calling (windows') thread handles only what keeps the
// windows alive.
void RunOnAWorkerKeepingWindowsLive(const std::function<void()> &work);

} // namespace dialogkit
