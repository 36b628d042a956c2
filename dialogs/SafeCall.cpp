// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafeCall.h"

#include "PortAccess.h"
#include "SafeExchange.h"
#include "Settings.h"

#include <QApplication>
#include <QCursor>

#include <optional>

namespace {

class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

} // namespace

bool ExchangeShowingWait(const std::string &command, std::string &reply)
{
    const BusyPointer busy;
    return SafeExchange(command, reply);
}

QString FailureText(const QString &usual, FailurePlace place)
{
    const std::optional<safeexchange::NoAccess> refused =
        safeexchange::PortRefusesThisUser(settings::GetSerialPort());
    if (!refused)
        return usual;
    switch (place) {
    case FailurePlace::MessageBox:
        return QString::fromStdString(safeexchange::NoAccessMessage(*refused));
    case FailurePlace::StatusLines:
        return QString::fromStdString(safeexchange::NoAccessStatus(*refused));
    case FailurePlace::OneLine:
        break;
    }
    return QString::fromStdString(safeexchange::NoAccessLine(*refused));
}
