// SPDX-License-Identifier: GPL-3.0-or-later
// A serial device through QSerialPort, with the DTR line kept up after the
// port closes (PortLine.h).
#include "SerialPort.h"

#include "PortLine.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <algorithm>
#include <climits>

namespace {

// QSerialPort counts whole milliseconds.
int WholeMilliseconds(std::chrono::milliseconds wait)
{
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, INT_MAX));
}

} // namespace

struct SerialPort::Open_ {
    // `dtr` ends after `port`: it makes the last close, once QSerialPort has
    // put back the settings it found.
    portline::DtrAfterClose dtr;
    QSerialPort port;
    bool resetTheBoard = false;
};

SerialPort::SerialPort() = default;
SerialPort::~SerialPort() = default;

bool SerialPort::Open(const std::string &device)
{
    Close();
    // An empty name would make QSerialPort try the folder /dev/ itself.
    if (device.empty())
        return false;
    auto open = std::make_unique<Open_>();
    QSerialPort &port = open->port;
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
    // Opening a port whose DTR had dropped has just reset a board as sold.
    // The flag shows it once after plugging in or an upload; DTR stays up
    // from now on.
    open->resetTheBoard = portline::OpeningResetTheBoard(port);
    open->dtr.Hold(port, true);
    open_ = std::move(open);
    return true;
}

bool SerialPort::OpeningResetTheBoard() const
{
    return open_ && open_->resetTheBoard;
}

bool SerialPort::DiscardInput()
{
    return open_ && open_->port.clear(QSerialPort::Input);
}

bool SerialPort::Write(const std::string &bytes, std::chrono::milliseconds timeout)
{
    if (!open_)
        return false;
    QSerialPort &port = open_->port;
    const QByteArray message = QByteArray::fromStdString(bytes);
    // write() only buffers; waitForBytesWritten sends.
    if (port.write(message) != message.size())
        return false;
    if (port.waitForBytesWritten(WholeMilliseconds(timeout)))
        return true;
    if (port.error() != QSerialPort::TimeoutError)
        return false;
    port.clearError();
    return true;
}

SerialPort::ReadResult SerialPort::Read(std::string &bytes, std::size_t max, std::chrono::milliseconds wait)
{
    if (!open_)
        return ReadResult::Failed;
    QSerialPort &port = open_->port;
    if (port.bytesAvailable() == 0 && !port.waitForReadyRead(WholeMilliseconds(wait))) {
        // A device that has gone away reports an error on every wait.
        if (port.error() != QSerialPort::TimeoutError)
            return ReadResult::Failed;
        port.clearError();
        return ReadResult::TimedOut;
    }
    const QByteArray read = port.read(qint64(max));
    if (port.error() != QSerialPort::NoError)
        return ReadResult::Failed;
    bytes.append(read.constData(), std::size_t(read.size()));
    return ReadResult::Bytes;
}

void SerialPort::Close()
{
    open_.reset();
}

bool SerialPort::DropDtrUntilNextOpening(const std::string &device)
{
    return portline::DropDtrUntilNextOpening(QString::fromStdString(device));
}
