// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafeExchange.h"

#include <algorithm>
#include <thread>

#include "ExchangeRules.h"
#include "Framing.h"
#include "PortNames.h"
#include "SafeCommands.h"
#include "SafeExchangeDetail.h"
#include "SerialPort.h"
#include "Settings.h"

namespace safeexchange::detail {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCopies = 3;

// Waits until `until` by the steady clock. A sleep alone may wake a
// fraction of a millisecond early where the system sleeps in ticks of a
// coarser timer (Windows, Wine).
void WaitUntil(Clock::time_point until)
{
    while (Clock::now() < until)
        std::this_thread::sleep_until(until);
}

// A wait never ends before its time-out.
milliseconds WholeMilliseconds(Clock::duration d)
{
    return std::max(milliseconds::zero(), std::chrono::ceil<milliseconds>(d));
}

// One read of up to kReplyBufferSize bytes. It ends by the total time-out,
// by the interval time-out once bytes have come, when the buffer is full, or
// (with AtThirdStop) as soon as the reply is complete: past the third full
// stop nothing can change the result. Ending by a time-out is not a failure;
// a read error is, and ends the exchange at once: a device that has gone away
// reports an error on every wait, so it must not be waited on again.
bool ReadReply(SerialPort &port, std::string &bytes, ReadEnd readEnd)
{
    const Clock::time_point deadline = Clock::now() + kReadTotalTimeout;
    bytes.reserve(kReplyBufferSize);
    while (bytes.size() < kReplyBufferSize) {
        if (readEnd == ReadEnd::AtThirdStop && HasThreeStops(bytes.data(), bytes.size()))
            break;
        const Clock::duration left = deadline - Clock::now();
        const Clock::duration wait = bytes.empty() ? left : std::min<Clock::duration>(left, kReadIntervalTimeout);
        switch (port.Read(bytes, kReplyBufferSize - bytes.size(), WholeMilliseconds(wait))) {
        case SerialPort::ReadResult::Bytes:
            continue;
        case SerialPort::ReadResult::TimedOut:
            return true;
        case SerialPort::ReadResult::Failed:
            return false;
        }
    }
    return true;
}

// Clears what is waiting, writes the three copies and reads the reply. A
// write that runs out of time is not an error: the time-out only bounds how
// long the exchange waits for the port, and the byte count a write reports
// is not examined. Any other error ends the exchange.
bool Attempt(SerialPort &port, const std::string &message, std::string &bytes, ReadEnd readEnd)
{
    // The safe only ever answers a command, so whatever is waiting now is
    // left over from an earlier exchange (such as bytes that came after it
    // had ended) and must not be taken as part of this reply.
    if (!port.DiscardInput())
        return false;
    for (int copy = 0; copy < kCopies; ++copy) {
        if (!port.Write(message, WriteTimeout(message.size())))
            return false;
    }
    bytes.clear();
    return ReadReply(port, bytes, readEnd);
}

} // namespace

bool Exchange(const std::string &command, std::string &reply, ReadEnd readEnd, milliseconds handOver)
{
    const std::string device = SerialDeviceName(settings::GetSerialPort());
    if (device.empty())
        return false;

    if (LearnPortFirst(command, KnownOpenings(device))) {
        std::string answer;
        if (!Exchange(safecmd::kTime, answer, readEnd, handOver))
            return false;
    }
    const Openings known = KnownOpenings(device);

    // The port closes when `port` goes out of scope, on every path below.
    SerialPort port;
    if (!port.Open(device))
        return false;
    const Clock::time_point opened = Clock::now();
    // Opening a port whose DTR had dropped has just reset a board as sold:
    // what is sent before its firmware listens again is lost. Where the
    // system shows it (Linux, once after plugging in or an upload), the
    // exchange waits for the hand-over; other resets are found by silence.
    const bool flagged = port.OpeningResetTheBoard();
    const bool waited = WaitAfterOpening(flagged, known, command);
    if (waited)
        WaitUntil(opened + handOver);

    const std::string message = FrameCommand(command);
    std::string bytes;
    if (!Attempt(port, message, bytes, readEnd))
        return false;
    const bool repeated = RepeatAfterSilence(command, bytes);
    if (repeated) {
        // A reset that nothing showed, or a wait too short for it. A silent
        // read has outlasted the hand-over; one ended early by a stray byte
        // from the reset has not.
        WaitUntil(opened + handOver);
        if (!Attempt(port, message, bytes, readEnd))
            return false;
    }
    port.Close();

    const bool answered = SplitAgreedReply(bytes.data(), bytes.size(), reply);
    RememberOpenings(device, LearnFrom(known, flagged, waited, repeated, answered));
    return answered;
}

} // namespace safeexchange::detail

bool SafeExchange(const std::string &command, std::string &reply)
{
    using safeexchange::detail::ReadEnd;
    return safeexchange::detail::Exchange(command, reply, ReadEnd::AtThirdStop,
                                          safeexchange::kBootloaderHandOver);
}
