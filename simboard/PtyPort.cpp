// SPDX-License-Identifier: GPL-3.0-or-later
#include "PtyPort.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

namespace simboard {
namespace {

std::uint32_t SpeedToBaud(speed_t speed)
{
    switch (speed) {
    case B300: return 300;
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
    }
}

} // namespace

PtyPort::~PtyPort()
{
    if (watcher_.joinable()) {
        const char stop = 's';
        [[maybe_unused]] const ssize_t n = write(stopPipe_[1], &stop, 1);
        watcher_.join();
    }
    for (int fd : {stopPipe_[0], stopPipe_[1], notify_, master_}) {
        if (fd >= 0)
            close(fd);
    }
}

bool PtyPort::Create(std::string& error)
{
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    // HUPCL as on a freshly plugged-in USB-serial port.
    raw.c_cflag |= CLOCAL | CREAD | HUPCL;
    if (openpty(&master_, &slave, name, &raw, nullptr) != 0) {
        error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    // Only programs that open the port hold its other end, so that their
    // opening and closing can be seen.
    close(slave);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    path_ = name;

    notify_ = inotify_init1(IN_CLOEXEC);
    if (notify_ < 0 || inotify_add_watch(notify_, name, IN_OPEN | IN_CLOSE) < 0 ||
        pipe2(stopPipe_, O_CLOEXEC) != 0) {
        error = std::string("cannot watch ") + name + ": " + std::strerror(errno);
        return false;
    }
    watcher_ = std::thread([this] { Watch(); });
    return true;
}

void PtyPort::Watch()
{
    // inotify merges an event with an identical one still unread (two
    // openings, or two closings, in a row), so the count of openers is
    // checked against the pseudo-terminal itself: when the count falls to
    // zero while someone still holds the port and no opening follows, and
    // whenever no event is waiting.
    int openers = 0;
    const auto push = [this](Change what, bool dtrDropped) {
        std::lock_guard<std::mutex> lock(mutex_);
        changes_.push_back(LineChange{what, dtrDropped});
    };
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        pollfd p[2] = {{notify_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(p, 2, 10) < 0 && errno != EINTR)
            return;
        if (p[1].revents != 0)
            return;
        if ((p[0].revents & POLLIN) != 0) {
            const ssize_t n = read(notify_, buffer, sizeof buffer);
            std::vector<std::uint32_t> masks;
            for (ssize_t at = 0; n > 0 && at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                masks.push_back(event->mask);
            }
            for (std::size_t i = 0; i < masks.size(); ++i) {
                if ((masks[i] & IN_OPEN) != 0 && openers++ == 0) {
                    push(Change::Opened, false);
                } else if ((masks[i] & IN_CLOSE) != 0 && openers > 0 && --openers == 0) {
                    // Two openings merged into one: someone still holds the
                    // port, unless the next opening is already on its way.
                    bool reopening = !NothingPending();
                    for (std::size_t j = i + 1; j < masks.size(); ++j)
                        reopening = reopening || (masks[j] & IN_OPEN) != 0;
                    if (!reopening && Held()) {
                        openers = 1;
                        continue;
                    }
                    push(Change::Closed, HangUpOnClose());
                }
            }
            continue;
        }
        const bool held = Held();
        if (!NothingPending())
            continue;
        if (openers > 0 && !held) {
            openers = 0;
            push(Change::Closed, HangUpOnClose());
        } else if (openers == 0 && held) {
            openers = 1;
            push(Change::Opened, false);
        }
    }
}

bool PtyPort::Held() const
{
    pollfd master{master_, 0, 0};
    poll(&master, 1, 0);
    return (master.revents & POLLHUP) == 0;
}

bool PtyPort::NothingPending() const
{
    pollfd pending{notify_, POLLIN, 0};
    return poll(&pending, 1, 0) == 0;
}

PtyPort::LineChange PtyPort::NextChange()
{
    LineChange change;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (changes_.empty())
            return change;
        change = changes_.front();
        changes_.pop_front();
    }
    open_ = change.change == Change::Opened;
    if (!open_)
        pending_.clear();
    return change;
}

std::uint32_t PtyPort::HostBaud() const
{
    termios t{};
    if (tcgetattr(master_, &t) != 0)
        return 0;
    return SpeedToBaud(cfgetospeed(&t));
}

bool PtyPort::HangUpOnClose() const
{
    termios t{};
    return tcgetattr(master_, &t) == 0 && (t.c_cflag & HUPCL) != 0;
}

std::size_t PtyPort::Read(std::uint8_t* buffer, std::size_t size)
{
    if (!open_)
        return 0;
    const ssize_t n = read(master_, buffer, size);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

void PtyPort::Write(const std::uint8_t* bytes, std::size_t n)
{
    if (!open_)
        return;
    pending_.append(reinterpret_cast<const char*>(bytes), n);
    Flush();
}

void PtyPort::Flush()
{
    while (open_ && !pending_.empty()) {
        const ssize_t n = write(master_, pending_.data(), pending_.size());
        if (n <= 0)
            return;
        pending_.erase(0, static_cast<std::size_t>(n));
    }
}

void PtyPort::Wait(int milliseconds) const
{
    if (open_) {
        pollfd p{master_, POLLIN, 0};
        poll(&p, 1, milliseconds);
    } else {
        // The master reports a hang-up at once while nobody holds the port.
        timespec t{0, milliseconds * 1'000'000L};
        nanosleep(&t, nullptr);
    }
}

} // namespace simboard
