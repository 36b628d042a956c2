// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small helpers shared by the upload tests: files written and read whole, and
// bounded waits for something a detached process does.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QThread>

#include <signal.h>

#include <chrono>
#include <functional>

namespace uploadtest {

inline constexpr auto kProcessWait = std::chrono::seconds(15);

inline bool WriteFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = kProcessWait)
{
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= giveUp)
            return false;
        QThread::msleep(10);
    }
    return true;
}

inline bool WaitForFile(const QString& path, std::chrono::milliseconds limit = kProcessWait)
{
    return WaitUntil([&] { return QFileInfo::exists(path); }, limit);
}

// Whether the process whose id the record holds still runs.
inline bool ProcessRuns(const QByteArray& pidRecord)
{
    const long long pid = pidRecord.toLongLong();
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

} // namespace uploadtest
