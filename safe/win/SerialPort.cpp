// SPDX-License-Identifier: GPL-3.0-or-later
// A COM port through the Win32 communications functions: synchronous
// CreateFileW/ReadFile/WriteFile on the device \\.\<name>, with the line
// settings in its DCB and each wait set in its COMMTIMEOUTS.
#include "SerialPort.h"

#include "Framing.h"
#include "win/ComLine.h"
#include "base/win/WideText.h"

#include <windows.h>

#include <algorithm>

namespace {

// The room asked of the driver each way: the most an exchange reads
// (kReplyBufferSize, 260 bytes; a longer reply fails anyway), and far more
// than it writes.
constexpr DWORD kDriverBuffer = kReplyBufferSize;

// How long DTR stays down before an upload: far more than the board's reset
// capacitor needs, short beside an upload (as on Linux, qt/PortLine.h).
constexpr DWORD kDtrDropMilliseconds = 100;

DWORD WholeMilliseconds(std::chrono::milliseconds wait)
{
    // MAXDWORD means "no time-out" to the driver; one less is about 49 days.
    return DWORD(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, MAXDWORD - 1));
}

HANDLE OpenDevice(const std::string &device)
{
    // The device namespace reaches COM10 and above as well as COM1 to COM9.
    const std::wstring name = L"\\\\.\\" + windows::Utf16(device);
    return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// A read or write that a driver ended because of a line error (a framing
// error, an overrun): the error is cleared and the call made once more.
// The bytes that came stay; a damaged reply fails its agreement check.
template <typename Call>
bool PastLineErrors(HANDLE handle, Call call)
{
    if (call())
        return true;
    DWORD errors = 0;
    return GetLastError() == ERROR_OPERATION_ABORTED && ClearCommError(handle, &errors, nullptr) && call();
}

} // namespace

void comline::SetExchangeLine(DCB &line)
{
    line.BaudRate = CBR_9600;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fBinary = TRUE;
    line.fParity = FALSE;
    // A line error must not stop the exchange: it is cleared as it comes.
    line.fAbortOnError = FALSE;
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDsrSensitivity = FALSE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    // Most drivers raise DTR at an opening whatever the program asks next,
    // and a board as sold resets on that rise; keeping DTR up from then on
    // means no further reset while the port is open. RTS goes up too, as an
    // opening on Linux raises both lines: no board of ours uses RTS, and one
    // that resets on RTS sees one rise at the same moment, not a second one.
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fRtsControl = RTS_CONTROL_ENABLE;
}

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
    port->handle = OpenDevice(device);
    if (port->handle == INVALID_HANDLE_VALUE)
        return false;
    // Advisory, and its result is ignored: a driver that keeps buffers of
    // its own sizes serves as well, since the exchange reads and writes as
    // the bytes go.
    SetupComm(port->handle, kDriverBuffer, kDriverBuffer);

    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(port->handle, &line))
        return false;
    comline::SetExchangeLine(line);
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
    // A line error left from before is cleared with what came with it.
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
    return PastLineErrors(open_->handle, [&] {
        return WriteFile(open_->handle, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    });
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
        const bool ok = open_->SetTimeouts(timeouts) && PastLineErrors(open_->handle, [&] {
                            return ReadFile(open_->handle, bytes.data() + start, DWORD(count), &read, nullptr);
                        });
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

bool SerialPort::DropDtrUntilNextOpening(const std::string &device)
{
    const HANDLE handle = OpenDevice(device);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    // DTR and RTS down for the drop time and up again, as the Arduino
    // software did before it started the uploader: the rise resets a board
    // as sold into its bootloader, which then waits for the uploader. The
    // uploader's own opening may not raise DTR (avrdude opens with DTR
    // disabled). A port with no modem lines (Wine's pseudo-terminal refuses
    // with error 50) has nothing to drop. RTS goes first: usbser.sys tells
    // the board of a change only when DTR changes.
    EscapeCommFunction(handle, CLRRTS);
    if (EscapeCommFunction(handle, CLRDTR)) {
        Sleep(kDtrDropMilliseconds);
        EscapeCommFunction(handle, SETRTS);
        EscapeCommFunction(handle, SETDTR);
    }
    CloseHandle(handle);
    return true;
}
