// SPDX-License-Identifier: GPL-3.0-or-later
// The port's DTR line, which a board as sold turns into a reset of its chip.
//
// An Arduino Diecimila-class board resets whenever DTR rises on its
// USB-serial port, and then spends a while in its bootloader before the
// firmware runs again. Linux raises DTR when a port is opened and drops it at
// the last close only while the port's HUPCL flag is set: a port that has
// just been plugged in has it set, and so does one that the uploader has just
// closed. The exchange clears it, so that DTR stays up after its close and
// later openings neither reset the board nor wait; the upload sets it, so
// that the uploader's own opening resets the board into its bootloader.
//
// Linux only: Windows sets DTR at every opening and pulses it before an
// upload (win/SerialPort.cpp).
#pragma once

#include <QString>

#include <chrono>

class QSerialPort;

namespace portline {

// How long DTR is held down before anything may raise it again: far more
// than the board's reset capacitor needs to recharge (about a millisecond
// through its pull-up), short beside an upload.
inline constexpr std::chrono::milliseconds kDtrDropTime{100};

// For a port that has just been opened: true when this opening raised DTR
// after a close that had dropped it, so a board with auto-reset is now in its
// bootloader.
bool OpeningResetTheBoard(const QSerialPort &port);

// Where DTR is to be once a port has closed. QSerialPort puts back, as it
// closes, the settings it found on opening (HUPCL among them); this keeps
// the port open a moment longer, sets HUPCL as asked, and then makes the
// last close. Declare it before the QSerialPort, so that it ends after it.
class DtrAfterClose {
public:
    DtrAfterClose() = default;
    ~DtrAfterClose();
    DtrAfterClose(const DtrAfterClose &) = delete;
    DtrAfterClose &operator=(const DtrAfterClose &) = delete;

    // For an open port: keep DTR up after closing (true) or drop it (false).
    // False when the port cannot be held.
    bool Hold(const QSerialPort &port, bool dtrUp);

private:
    int descriptor_ = -1;
    bool dtrUp_ = true;
};

// Opens the device, closes it with HUPCL set and waits kDtrDropTime: DTR
// drops as unplugging would drop it, and the next opening of the port raises
// it again. False, at once, when the device cannot be opened (absent or busy).
bool DropDtrUntilNextOpening(const QString &device);

} // namespace portline
