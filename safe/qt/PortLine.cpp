// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortLine.h"

#include <QSerialPort>

#include <thread>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace portline {

bool OpeningResetTheBoard(const QSerialPort &port)
{
    termios settings{};
    return ::tcgetattr(port.handle(), &settings) == 0 && (settings.c_cflag & HUPCL) != 0;
}

DtrAfterClose::~DtrAfterClose()
{
    if (descriptor_ < 0)
        return;
    termios settings{};
    if (::tcgetattr(descriptor_, &settings) == 0) {
        if (dtrUp_)
            settings.c_cflag &= ~tcflag_t(HUPCL);
        else
            settings.c_cflag |= HUPCL;
        ::tcsetattr(descriptor_, TCSANOW, &settings);
    }
    ::close(descriptor_);
}

bool DtrAfterClose::Hold(const QSerialPort &port, bool dtrUp)
{
    if (descriptor_ < 0)
        descriptor_ = ::fcntl(port.handle(), F_DUPFD_CLOEXEC, 0);
    dtrUp_ = dtrUp;
    return descriptor_ >= 0;
}

bool DropDtrUntilNextOpening(const QString &device)
{
    {
        DtrAfterClose dtr;
        QSerialPort port;
        port.setPortName(device);
        if (!port.open(QIODevice::ReadWrite) || !dtr.Hold(port, false))
            return false;
    }
    std::this_thread::sleep_for(kDtrDropTime);
    return true;
}


} // namespace portline
