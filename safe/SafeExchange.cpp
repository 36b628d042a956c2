// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafeExchange.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <thread>

#include "ExchangeRules.h"
#include "Framing.h"
#include "PortLine.h"
#include "PortNames.h"
#include "SafeCommands.h"
#include "SafeExchangeDetail.h"
#include "Settings.h"

namespace safeexchange::detail {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCopies = 3;

// QSerialPort counts whole milliseconds; round up so a wait never ends
// before its time-out.
int WholeMilliseconds(Clock::duration d)
{
    return static_cast<int>(std::chrono::ceil<milliseconds>(d).count());
}

// One write of one copy. A write that runs out of time is not an error: the
// time-out only bounds how long the exchange waits for the port, and the
// byte count a write reports is not examined. Any other error ends the
// exchange.
bool WriteCopy(QSerialPort &port, const QByteArray &message)
{
    if (port.write(message) != message.size())
        return false;
    if (port.waitForBytesWritten(WholeMilliseconds(WriteTimeout(std::size_t(message.size())))))
        return true;
    if (port.error() != QSerialPort::TimeoutError)
        return false;
    port.clearError();
    return true;
}

// One read of up to kReplyBufferSize bytes. It ends by the total time-out,
// by the interval time-out once bytes have come, when the buffer is full, or
// (with AtThirdStop) as soon as the reply is complete: past the third full
// stop nothing can change the result. Ending by a time-out is not a failure;
// a read error is, and ends the exchange at once: a device that has gone away
// reports an error on every wait, so it must not be waited on again.
bool ReadReply(QSerialPort &port, QByteArray &bytes, ReadEnd readEnd)
{
    const Clock::time_point deadline = Clock::now() + kReadTotalTimeout;
    const qsizetype capacity = qsizetype(kReplyBufferSize);
    bytes.reserve(capacity);
    while (bytes.size() < capacity) {
        if (readEnd == ReadEnd::AtThirdStop && HasThreeStops(bytes.constData(), std::size_t(bytes.size())))
            break;
        if (port.bytesAvailable() == 0) {
            const Clock::duration left = deadline - Clock::now();
            if (left <= Clock::duration::zero())
                break;
            const Clock::duration wait =
                bytes.isEmpty() ? left : std::min<Clock::duration>(left, kReadIntervalTimeout);
            if (!port.waitForReadyRead(WholeMilliseconds(wait))) {
                if (port.error() != QSerialPort::TimeoutError)
                    return false;
                port.clearError();
                break;
            }
        }
        bytes += port.read(capacity - bytes.size());
    }
    return port.error() == QSerialPort::NoError;
}

// Clears what is waiting, writes the three copies and reads the reply.
bool Attempt(QSerialPort &port, const QByteArray &message, QByteArray &bytes, ReadEnd readEnd)
{
    // The safe only ever answers a command, so whatever is waiting now is
    // left over from an earlier exchange (such as bytes that came after it
    // had ended) and must not be taken as part of this reply.
    if (!port.clear(QSerialPort::Input))
        return false;
    for (int copy = 0; copy < kCopies; ++copy) {
        if (!WriteCopy(port, message))
            return false;
    }
    bytes.clear();
    return ReadReply(port, bytes, readEnd);
}

} // namespace

bool Exchange(const std::string &command, std::string &reply, ReadEnd readEnd, milliseconds handOver)
{
    const std::string device = SerialDeviceName(settings::GetSerialPort());
    // An empty name would make QSerialPort try the folder /dev/ itself.
    if (device.empty())
        return false;

    if (LearnPortFirst(command, KnownOpenings(device))) {
        std::string answer;
        if (!Exchange(safecmd::kTime, answer, readEnd, handOver))
            return false;
    }
    const Openings known = KnownOpenings(device);

    // The port closes when `port` goes out of scope, on every path below,
    // and DTR stays up after it (`dtr` ends after `port`).
    portline::DtrAfterClose dtr;
    QSerialPort port;
    port.setPortName(QString::fromStdString(device));
    // Applied when the port opens; DTR and RTS stay as the system has them.
    port.setBaudRate(QSerialPort::Baud9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    // Exclusive: QSerialPort takes the port's lock file and TIOCEXCL, so a
    // port that another program holds fails here at once.
    if (!port.open(QIODevice::ReadWrite))
        return false;
    const Clock::time_point opened = Clock::now();
    // Opening a port whose DTR had dropped has just reset a board as sold:
    // what is sent before its firmware listens again is lost. The flag shows
    // it once after plugging in or an upload; DTR stays up from now on.
    const bool flagged = portline::OpeningResetTheBoard(port);
    dtr.Hold(port, true);
    const bool waited = WaitAfterOpening(flagged, known, command);
    if (waited)
        std::this_thread::sleep_until(opened + handOver);

    const QByteArray message = QByteArray::fromStdString(FrameCommand(command));
    QByteArray bytes;
    if (!Attempt(port, message, bytes, readEnd))
        return false;
    const bool repeated = RepeatAfterSilence(waited, command, std::size_t(bytes.size()));
    if (repeated) {
        // A reset that nothing showed: the read has outlasted the hand-over
        // almost always, so this rarely waits.
        std::this_thread::sleep_until(opened + handOver);
        if (!Attempt(port, message, bytes, readEnd))
            return false;
    }
    port.close();

    const bool answered = SplitAgreedReply(bytes.constData(), std::size_t(bytes.size()), reply);
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
