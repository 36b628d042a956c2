// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small helpers shared by the upload tests: files written and read whole, and
// bounded waits for something a detached process does.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTest>

#include <signal.h>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>

namespace uploadtest {

// A serial port of the test's own: a pseudo-terminal, whose name the uploads
// under test are given instead of a COM port, since an upload resets the port
// it names (a board on the machine's own port would restart, and a lock on it
// would last longer). It starts as the exchange leaves a port, HUPCL cleared
// so that DTR stays up: an upload must set it again, so that the uploader's
// opening raises DTR and resets a board as sold.
class OwnPort {
public:
    OwnPort()
    {
        int device = -1;
        std::array<char, 128> name{};
        if (::openpty(&line_, &device, name.data(), nullptr, nullptr) == 0) {
            termios line{};
            if (::tcgetattr(device, &line) == 0) {
                line.c_cflag &= ~tcflag_t(HUPCL);
                ::tcsetattr(device, TCSANOW, &line);
            }
            ::close(device);
            path_ = QString::fromLocal8Bit(name.data());
        }
    }
    ~OwnPort()
    {
        if (line_ >= 0)
            ::close(line_);
    }
    OwnPort(const OwnPort&) = delete;
    OwnPort& operator=(const OwnPort&) = delete;

    // Empty when no pseudo-terminal could be made.
    const QString& path() const { return path_; }
    // Whether DTR drops when the port's last opener closes it.
    bool HangsUpOnClose() const
    {
        termios t{};
        return ::tcgetattr(line_, &t) == 0 && (t.c_cflag & HUPCL) != 0;
    }

private:
    int line_ = -1; // the other side, which keeps the port in being
    QString path_;
};

inline constexpr auto kProcessWait = std::chrono::milliseconds(15000);

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

inline bool WaitForFile(const QString& path)
{
    return QTest::qWaitFor([&] { return QFileInfo::exists(path); }, int(kProcessWait.count()));
}

// Whether the process whose id the record holds still runs.
inline bool ProcessRuns(const QByteArray& pidRecord)
{
    const long long pid = pidRecord.toLongLong();
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

} // namespace uploadtest
