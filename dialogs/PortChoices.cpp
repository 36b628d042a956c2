// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortChoices.h"

#include "PortNames.h"

#ifndef Q_OS_WIN
#include <QSerialPortInfo>
#endif

QStringList ExtraPortChoices([[maybe_unused]] const QString &storedPort)
{
    QStringList choices;
#ifndef Q_OS_WIN
    QStringList comDevices;
    for (int n = kFirstComPort; n <= kLastComPort; ++n)
        comDevices << QString::fromStdString(SerialDeviceName("COM" + std::to_string(n)));

    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        const QString device = port.systemLocation();
        if (!comDevices.contains(device) && !choices.contains(device))
            choices << device;
    }
    if (storedPort.startsWith(QLatin1Char('/')) && !choices.contains(storedPort))
        choices << storedPort;
#endif
    return choices;
}
