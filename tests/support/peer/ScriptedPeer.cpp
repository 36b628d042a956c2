#include "ScriptedPeer.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

namespace {

void CloseFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool AddFlags(int fd, int statusFlags, int descriptorFlags)
{
    const int status = ::fcntl(fd, F_GETFL);
    const int descriptor = ::fcntl(fd, F_GETFD);
    return status >= 0 && descriptor >= 0 && ::fcntl(fd, F_SETFL, status | statusFlags) == 0 &&
           ::fcntl(fd, F_SETFD, descriptor | descriptorFlags) == 0;
}

// Position just past the n-th full stop, or npos.
std::size_t PastNthStop(const std::string &bytes, std::size_t n)
{
    std::size_t at = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t stop = bytes.find('.', at);
        if (stop == std::string::npos)
            return std::string::npos;
        at = stop + 1;
    }
    return at;
}

} // namespace

ScriptedPeer::ScriptedPeer(std::size_t stopsPerCommand)
    : stopsPerCommand_(stopsPerCommand == 0 ? 1 : stopsPerCommand)
{
    if (::openpty(&controller_, &port_, nullptr, nullptr, nullptr) != 0)
        return;
    // Raw, so the terminal neither echoes nor edits what passes through, also
    // between exchanges when no one else has the port open. Without HUPCL: a
    // peer never restarts, so it stands for a board whose port has been in
    // use before (DTR already up) and the exchange does not wait for one.
    termios raw{};
    char name[PATH_MAX] = {};
    const auto makeRaw = [](termios &t) {
        ::cfmakeraw(&t);
        t.c_cflag &= ~tcflag_t(HUPCL);
    };
    if (::tcgetattr(port_, &raw) != 0 || (makeRaw(raw), ::tcsetattr(port_, TCSANOW, &raw)) != 0 ||
        !AddFlags(controller_, O_NONBLOCK, FD_CLOEXEC) || !AddFlags(port_, 0, FD_CLOEXEC) ||
        ::ptsname_r(controller_, name, sizeof name) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        CloseFd(controller_);
        CloseFd(port_);
        CloseFd(wake_[0]);
        CloseFd(wake_[1]);
        return;
    }
    path_ = name;
    thread_ = std::thread([this] { serve(); });
}

ScriptedPeer::~ScriptedPeer()
{
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        const char wake = 'x';
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &wake, 1);
        thread_.join();
    }
    closeTerminal();
    CloseFd(wake_[0]);
    CloseFd(wake_[1]);
}

void ScriptedPeer::answer(std::vector<PeerReply> replies)
{
    std::lock_guard lock(mutex_);
    for (PeerReply &reply : replies)
        queued_.push_back(std::move(reply));
}

void ScriptedPeer::answerAlways(PeerReply reply)
{
    std::lock_guard lock(mutex_);
    always_ = std::move(reply);
}

std::string ScriptedPeer::received() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<std::string> ScriptedPeer::commands() const
{
    std::lock_guard lock(mutex_);
    return commands_;
}

bool ScriptedPeer::hungUp() const
{
    std::lock_guard lock(mutex_);
    return hungUp_;
}

bool ScriptedPeer::waitUntilAnswered(std::size_t count, std::chrono::milliseconds limit) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return answered_ >= count; });
}

void ScriptedPeer::serve()
{
    std::string pending;
    char buffer[512];
    for (;;) {
        pollfd fds[2] = {{controller_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return; // only the destructor wakes the thread
        const ssize_t n = ::read(controller_, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        // The peer holds the port side open, so the terminal cannot close
        // under it; an error here means it is unusable: stop serving rather
        // than poll it again and again.
        if (n <= 0)
            return;
        pending.append(buffer, std::size_t(n));
        {
            std::lock_guard lock(mutex_);
            received_.append(buffer, std::size_t(n));
        }

        for (std::size_t end; (end = PastNthStop(pending, stopsPerCommand_)) != std::string::npos;) {
            PeerReply reply;
            {
                std::lock_guard lock(mutex_);
                commands_.push_back(pending.substr(0, end));
                if (queued_.empty()) {
                    reply = always_;
                } else {
                    reply = std::move(queued_.front());
                    queued_.pop_front();
                }
            }
            pending.erase(0, end);
            const bool goOn = play(reply);
            {
                std::lock_guard lock(mutex_);
                ++answered_;
            }
            changed_.notify_all();
            if (!goOn)
                return;
        }
    }
}

// False when the peer is to stop: it hung up, or it is being destroyed.
bool ScriptedPeer::play(const PeerReply &reply)
{
    for (const PeerReply::Chunk &chunk : reply.chunks) {
        if (!pause(chunk.pause) || !send(chunk.bytes))
            return false;
    }
    if (reply.hangUp) {
        closeTerminal();
        std::lock_guard lock(mutex_);
        hungUp_ = true;
        return false;
    }
    return true;
}

bool ScriptedPeer::pause(std::chrono::milliseconds pause)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + pause;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0)
            return true;
        pollfd wake = {wake_[0], POLLIN, 0};
        const int r = ::poll(&wake, 1, int(left.count()));
        if (r > 0)
            return false;
        if (r < 0 && errno != EINTR)
            return false;
    }
}

bool ScriptedPeer::send(const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(controller_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // The port side is not reading and the terminal is full: wait for
        // room, or for the destructor.
        pollfd fds[2] = {{controller_, POLLOUT, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return false;
        if (fds[1].revents != 0)
            return false;
    }
    return true;
}

void ScriptedPeer::closeTerminal()
{
    CloseFd(controller_);
    CloseFd(port_);
}

} // namespace testsupport
