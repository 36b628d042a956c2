// The host end of the simulated board's USB-serial link: a pseudo-terminal
// whose other end programs open as they would open the board's serial device.
#ifndef VANDREL_SIMBOARD_PTYPORT_H
#define VANDREL_SIMBOARD_PTYPORT_H

#include <cstddef>
#include <cstdint>
#include <string>

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
    // A pseudo-terminal has no DTR line; the opening of its other end is seen
    // as the end of the hang-up that the master reports while nobody holds it.
    Change PollOpenState();
    bool IsOpen() const { return open_; }

    // The line speed that the program at the other end has set.
    std::uint32_t HostBaud() const;
    // Whether a closing drops DTR (the port's HUPCL flag, as its last user
    // left it).
    bool HangUpOnClose() const;

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
    int master_ = -1;
    bool open_ = false;
    std::string path_;
    std::string pending_;
};

} // namespace simboard

#endif
