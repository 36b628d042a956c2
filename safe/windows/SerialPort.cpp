// SPDX-License-Identifier: GPL-3.0-or-later
// A COM port through the Win32 communications functions: synchronous
// CreateFileW/ReadFile/WriteFile on the device \\.\<name>, with the line
// settings in its DCB and each wait set in its COMMTIMEOUTS.
#include "SerialPort.h"

#include "windows/WideText.h"

#include <windows.h>

#include <algorithm>

namespace {

// The driver's buffers: far more than one command or reply needs.
constexpr DWORD kDriverBuffer = 128;

DWORD WholeMilliseconds(std::chrono::milliseconds wait)
{
    // MAXDWORD means "no time-out" to the driver; one less is about 49 days.
    return DWORD(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, MAXDWORD - 1));
}

} // namespace

struct SerialPort::Open_ {
    HANDLE handle = INVALID_HANDLE_VALUE;
    COMMTIMEOUTS timeouts{};

    ~Open_()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }

    bool SetTimeouts(const COMMTIMEOUTS &wanted)
    {
        if (wanted.ReadIntervalTimeout == timeouts.ReadIntervalTimeout &&
            wanted.ReadTotalTimeoutMultiplier == timeouts.ReadTotalTimeoutMultiplier &&
            wanted.ReadTotalTimeoutConstant == timeouts.ReadTotalTimeoutConstant &&
            wanted.WriteTotalTimeoutMultiplier == timeouts.WriteTotalTimeoutMultiplier &&
            wanted.WriteTotalTimeoutConstant == timeouts.WriteTotalTimeoutConstant)
            return true;
        COMMTIMEOUTS copy = wanted;
        if (!SetCommTimeouts(handle, &copy))
            return false;
        timeouts = wanted;
        return true;
    }
};

SerialPort::SerialPort() = default;
SerialPort::~SerialPort() = default;

bool SerialPort::Open(const std::string &device)
{
    Close();
    auto port = std::make_unique<Open_>();
    // The device namespace reaches COM10 and above as well as COM1 to COM9.
    const std::wstring name = L"\\\\.\\" + windows::Utf16(device);
    port->handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port->handle == INVALID_HANDLE_VALUE)
        return false;
    if (!SetupComm(port->handle, kDriverBuffer, kDriverBuffer))
        return false;

    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(port->handle, &line))
        return false;
    line.BaudRate = CBR_9600;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fBinary = TRUE;
    line.fParity = FALSE;
    // A line error stops reading and writing until it is cleared, so that
    // the exchange ends at once instead of taking damaged bytes.
    line.fAbortOnError = TRUE;
    // No flow control; DTR and RTS themselves stay as the driver has them.
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDsrSensitivity = FALSE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    if (line.fDtrControl == DTR_CONTROL_HANDSHAKE)
        line.fDtrControl = DTR_CONTROL_ENABLE;
    if (line.fRtsControl == RTS_CONTROL_HANDSHAKE || line.fRtsControl == RTS_CONTROL_TOGGLE)
        line.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(port->handle, &line))
        return false;

    if (!GetCommTimeouts(port->handle, &port->timeouts))
        return false;
    open_ = std::move(port);
    return true;
}

bool SerialPort::OpeningResetTheBoard() const
{
    return false;
}

bool SerialPort::DiscardInput()
{
    if (!open_)
        return false;
    DWORD errors = 0;
    // An error left from before this opening would otherwise stop the first
    // read (abort on error).
    return PurgeComm(open_->handle, PURGE_RXCLEAR) && ClearCommError(open_->handle, &errors, nullptr);
}

bool SerialPort::Write(const std::string &bytes, std::chrono::milliseconds timeout)
{
    if (!open_)
        return false;
    COMMTIMEOUTS wanted = open_->timeouts;
    wanted.WriteTotalTimeoutMultiplier = 0;
    wanted.WriteTotalTimeoutConstant = std::max<DWORD>(1, WholeMilliseconds(timeout));
    if (!open_->SetTimeouts(wanted))
        return false;
    DWORD written = 0;
    return WriteFile(open_->handle, bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

SerialPort::ReadResult SerialPort::Read(std::string &bytes, std::size_t max, std::chrono::milliseconds wait)
{
    if (!open_ || max == 0)
        return open_ ? ReadResult::TimedOut : ReadResult::Failed;
    // Drivers differ in how they take "return as soon as any byte is there,
    // or after a wait" (Wine's waits the whole time), so a read takes what
    // has arrived at once, and only when nothing has waits for one byte.
    COMMTIMEOUTS atOnce = open_->timeouts;
    atOnce.ReadIntervalTimeout = MAXDWORD;
    atOnce.ReadTotalTimeoutMultiplier = 0;
    atOnce.ReadTotalTimeoutConstant = 0;
    COMMTIMEOUTS waitForOne = open_->timeouts;
    waitForOne.ReadIntervalTimeout = 0;
    waitForOne.ReadTotalTimeoutMultiplier = 0;
    waitForOne.ReadTotalTimeoutConstant = std::max<DWORD>(1, WholeMilliseconds(wait));

    const auto readInto = [&](const COMMTIMEOUTS &timeouts, std::size_t count, DWORD &read) {
        const std::size_t start = bytes.size();
        bytes.resize(start + count);
        read = 0;
        const bool ok = open_->SetTimeouts(timeouts) &&
                        ReadFile(open_->handle, bytes.data() + start, DWORD(count), &read, nullptr);
        bytes.resize(start + (ok ? read : 0));
        return ok;
    };
    DWORD read = 0;
    if (!readInto(atOnce, max, read))
        return ReadResult::Failed;
    if (read > 0)
        return ReadResult::Bytes;
    if (!readInto(waitForOne, 1, read))
        return ReadResult::Failed;
    if (read == 0)
        return ReadResult::TimedOut;
    if (max > 1 && !readInto(atOnce, max - 1, read))
        return ReadResult::Failed;
    return ReadResult::Bytes;
}

void SerialPort::Close()
{
    open_.reset();
}

bool SerialPort::DropDtrUntilNextOpening(const std::string &)
{
    return true;
}
