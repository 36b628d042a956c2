// SPDX-License-Identifier: GPL-3.0-or-later
// One serial port, open for one exchange. Each system has its own side:
// qt/SerialPort.cpp (QSerialPort, and the DTR line through the port's
// HUPCL flag, PortLine.h) and win/SerialPort.cpp (CreateFileW and the
// communications functions).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

class SerialPort {
public:
    SerialPort();
    ~SerialPort(); // closes the port
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    // Opens the device for reading and writing, for this program alone, and
    // sets 9600 bit/s, 8 data bits, no parity, 1 stop bit and no flow
    // control. Linux leaves DTR and RTS as the system has them (up from the
    // opening on); Windows sets both on at every opening, whatever the last
    // program left in the driver, with abort-on-error off (a line error is
    // cleared, and the exchange goes on). False when the device cannot be
    // opened (missing, busy, not this user's) or refuses a setting; the port
    // is closed then.
    bool Open(const std::string &device);

    // True when this opening raised DTR after a close that had dropped it,
    // so a board as sold is now in its bootloader (Linux tells by the port's
    // HUPCL flag, and keeps DTR up after this port closes). Windows cannot
    // tell: always false there, and the exchange's rules find such a reset
    // by the silence it causes.
    bool OpeningResetTheBoard() const;

    // Throws away what has arrived and not been read.
    bool DiscardInput();

    // Sends the bytes, waiting at most `timeout` for them to go. Running out
    // of time is not an error (the count of bytes a write reports is not
    // examined); an error of the port is.
    bool Write(const std::string &bytes, std::chrono::milliseconds timeout);

    enum class ReadResult {
        Bytes,    // some bytes were appended
        TimedOut, // nothing came within the wait
        Failed,   // an error of the port: it must not be waited on again
    };

    // Appends what has arrived, at most `max` bytes, waiting at most `wait`
    // for the first of them.
    ReadResult Read(std::string &bytes, std::size_t max, std::chrono::milliseconds wait);

    // Closes the port (also done by the destructor).
    void Close();

    // Before an upload: makes the uploader's opening find a board as sold
    // in its bootloader. Linux drops DTR until the next opening, the
    // uploader's, which raises it (PortLine.h); Windows drops DTR and RTS for
    // a moment and raises them again itself, as the Arduino software did,
    // since avrdude opens a COM port with DTR disabled. A port without modem
    // lines (a pseudo-terminal) has nothing to drop. False when the device
    // cannot be opened.
    static bool DropDtrUntilNextOpening(const std::string &device);

private:
    struct Open_;
    std::unique_ptr<Open_> open_;
};
