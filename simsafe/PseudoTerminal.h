// SPDX-License-Identifier: GPL-3.0-or-later
// The pseudo-terminal the simulated safe serves, and who has it open.
#pragma once

#include <string>

namespace simsafe {

// Holds the master side, and one descriptor of the slave side of its own, so
// the master never sees the hang-up that comes each time the controller closes
// the port after an exchange (poll would report it again and again). Whether
// the controller has the port open is followed with inotify on the slave's
// device node instead.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;
    ~PseudoTerminal() { Close(); }

    // A new terminal in raw mode at 9600 bit/s; false with a reason.
    bool Open(std::string &error);
    void Close();

    const std::string &Path() const { return path_; }
    int MasterFd() const { return master_; }
    // -1 when inotify is not available: the controller then counts as present.
    int WatchFd() const { return notify_; }

    // Reads the open and close events queued so far; true when a controller
    // came or went since the last call (a close and the next exchange's open
    // often arrive together).
    bool ReadPeerEvents();
    bool PeerPresent() const { return notify_ < 0 || peers_ > 0; }

    // Throws away what is queued for the controller but not read by it, and
    // clears an exclusive-use flag the controller may have left behind.
    void DiscardUnread();

    // What the controller has set on its side of the terminal other than
    // 9600 bit/s, 8 data bits, no parity, 1 stop bit, raw, with no flow
    // control, such as "not 9600 bit/s, 2 stop bits"; empty when it is all
    // of these.
    std::string LineFault() const;

private:
    int master_ = -1;
    int slave_ = -1;
    int notify_ = -1;
    int peers_ = 0;
    std::string path_;
};

// Points `link` at `target`, replacing an older link but never anything else.
bool PlaceLink(const std::string &link, const std::string &target, std::string &error);
// Removes `link` when it still points at `target`.
void RemoveLink(const std::string &link, const std::string &target);

} // namespace simsafe
