// SPDX-License-Identifier: GPL-3.0-or-later
#include "PseudoTerminal.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace simsafe {

namespace {

std::string SystemError(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

bool PseudoTerminal::Open(std::string &error)
{
    Close();
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        error = SystemError("posix_openpt");
        return false;
    }
    char name[PATH_MAX];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        error = SystemError("preparing the pseudo-terminal");
        Close();
        return false;
    }
    path_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slave_ < 0) {
        error = SystemError(("opening " + path_).c_str());
        Close();
        return false;
    }
    termios tio{};
    if (tcgetattr(slave_, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        // The simulated safe has no bootloader and never restarts: its port
        // is one that has been in use before, whose DTR the controller keeps
        // up (HUPCL cleared), so the controller's first exchange does not
        // wait for a restart that a freshly plugged-in board would make.
        tio.c_cflag &= ~tcflag_t(HUPCL);
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tcsetattr(slave_, TCSANOW, &tio);
    }
    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError("fcntl");
        Close();
        return false;
    }
    // Without inotify the server still works; it only cannot drop what a
    // controller left unread when it closed the port.
    notify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notify_ >= 0 && inotify_add_watch(notify_, name, IN_OPEN | IN_CLOSE) < 0) {
        ::close(notify_);
        notify_ = -1;
    }
    peers_ = 0;
    return true;
}

void PseudoTerminal::Close()
{
    for (int *fd : {&notify_, &slave_, &master_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    peers_ = 0;
    path_.clear();
}

bool PseudoTerminal::ReadPeerEvents()
{
    if (notify_ < 0)
        return false;
    bool turnover = false;
    alignas(inotify_event) char buffer[4096];
    while (true) {
        const ssize_t n = ::read(notify_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->mask & IN_OPEN) {
                turnover = turnover || peers_ == 0;
                ++peers_;
            }
            if ((event->mask & IN_CLOSE) && peers_ > 0) {
                --peers_;
                turnover = turnover || peers_ == 0;
            }
            if (event->mask & IN_Q_OVERFLOW) {
                peers_ = 1; // lost count: better serve than drop a command
                turnover = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return turnover;
}

void PseudoTerminal::DiscardUnread()
{
    if (slave_ < 0)
        return;
    tcflush(slave_, TCIFLUSH);
    ioctl(slave_, TIOCNXCL);
}

std::string PseudoTerminal::LineFault() const
{
    termios tio{};
    if (slave_ < 0 || tcgetattr(slave_, &tio) != 0)
        return {};
    std::string fault;
    const auto add = [&fault](const std::string &what) { fault += (fault.empty() ? "" : ", ") + what; };
    if (cfgetospeed(&tio) != B9600 || cfgetispeed(&tio) != B9600)
        add("not 9600 bit/s");
    if ((tio.c_cflag & CSIZE) != CS8)
        add("not 8 data bits");
    if (tio.c_cflag & PARENB)
        add("parity");
    if (tio.c_cflag & CSTOPB)
        add("2 stop bits");
    if ((tio.c_cflag & CRTSCTS) || (tio.c_iflag & (IXON | IXOFF)))
        add("flow control");
    // A terminal that edits lines, echoes or changes bytes garbles the
    // exchange as surely as a wrong speed does.
    if ((tio.c_lflag & (ICANON | ECHO)) || (tio.c_iflag & (ISTRIP | INLCR | IGNCR | ICRNL)) ||
        (tio.c_oflag & OPOST))
        add("not raw");
    return fault;
}

bool PlaceLink(const std::string &link, const std::string &target, std::string &error)
{
    struct stat st{};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = link + " exists and is not a symbolic link; not replacing it";
        return false;
    }
    // A new link under a temporary name, renamed over the old one, so the
    // path never points nowhere while a controller may be opening it.
    const std::string temporary = link + ".simsafe-" + std::to_string(getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        error = SystemError(("making the link " + link).c_str());
        return false;
    }
    if (::rename(temporary.c_str(), link.c_str()) != 0) {
        error = SystemError(("making the link " + link).c_str());
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

void RemoveLink(const std::string &link, const std::string &target)
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n < 0)
        return;
    if (std::string(buffer, static_cast<std::size_t>(n)) == target)
        ::unlink(link.c_str());
}

} // namespace simsafe
