// SPDX-License-Identifier: GPL-3.0-or-later
// The work on a QThread, and the wait as a nested Qt event loop that leaves
// out user input: Qt keeps the keys and clicks queued until an event loop
// takes them again, and delivers everything else (paint, the window system's
// events, the assistive tools' calls, which reach this thread as posted
// events). A QThread rather than a bare thread: the serial port makes socket
// notifiers, which Qt allows only in a thread with an event dispatcher (it
// warns at every exchange otherwise); the port itself only uses waitFor*.
#include "LiveWait.h"

#include <QEventLoop>
#include <QThread>

#include <memory>

namespace dialogkit {

void RunOnAWorkerKeepingWindowsLive(const std::function<void()> &work)
{
    const std::unique_ptr<QThread> worker(QThread::create(work));
    QEventLoop loop;
    // Queued to this thread, so the loop takes it even when the work ends
    // before the loop has begun.
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
}

} // namespace dialogkit
