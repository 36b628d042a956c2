#include "PtyPort.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

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
    if (master_ >= 0)
        close(master_);
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
    return true;
}

PtyPort::Change PtyPort::PollOpenState()
{
    pollfd p{master_, 0, 0};
    poll(&p, 1, 0);
    const bool nowOpen = (p.revents & POLLHUP) == 0;
    if (nowOpen == open_)
        return Change::None;
    open_ = nowOpen;
    if (!open_)
        pending_.clear();
    return open_ ? Change::Opened : Change::Closed;
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
