// SPDX-License-Identifier: GPL-3.0-or-later
// The host end of the simulated board's USB-serial link: a pseudo-terminal
// whose other end programs open as they would open the board's serial device.
#ifndef VANDREL_SIMBOARD_PTYPORT_H
#define VANDREL_SIMBOARD_PTYPORT_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace simboard {

class PtyPort {
public:
    PtyPort() = default;
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Makes the pseudo-terminal; false with a reason on failure.
    bool Create(std::string& error);
    const std::string& Path() const { return path_; }

    enum class Change { None, Opened, Closed };
    struct LineChange {
        Change change = Change::None;
        // With Closed: whether that closing dropped DTR (the port's HUPCL
        // flag, as its last user left it).
        bool dtrDropped = false;
    };
    // The next change, in the order they happened. A pseudo-terminal has no
    // DTR line: every opening and closing of its other end is watched, so a
    // close followed at once by the next opening is seen as both, as a real
    // port's DTR would show them.
    LineChange NextChange();
    bool IsOpen() const { return open_; }

    // The line speed that the program at the other end has set.
    std::uint32_t HostBaud() const;

    // Reads what the other end wrote, without waiting; 0 when nothing is there.
    std::size_t Read(std::uint8_t* buffer, std::size_t size);
    // Sends to the other end as far as it takes it now; what does not fit
    // waits for Flush. Bytes sent while nobody holds the port are lost, as
    // they are on a real USB-serial link.
    void Write(const std::uint8_t* bytes, std::size_t n);
    void Flush();

    // Waits up to the given time for bytes from the other end or a change.
    void Wait(int milliseconds) const;

private:
    bool HangUpOnClose() const;
    // Whether anyone holds the port now: the master reports a hang-up
    // exactly while nobody does.
    bool Held() const;
    bool NothingPending() const;
    void Watch();

    int master_ = -1;
    bool open_ = false;
    std::string path_;
    std::string pending_;

    // The watcher thread reads the port's HUPCL flag as soon as it learns
    // that the last user has closed the port. An opener that changes the
    // flag within that moment is taken for the closer; real programs leave
    // more time (the controller holds DTR down for 100 ms before the
    // uploader opens the port).
    int notify_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::thread watcher_;
    std::mutex mutex_;
    std::deque<LineChange> changes_;
};

} // namespace simboard

#endif
