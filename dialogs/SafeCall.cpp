// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafeCall.h"

#include "LiveWait.h"
#include "PortAccess.h"
#include "SafeExchange.h"
#include "Settings.h"

#include <optional>

bool ExchangeShowingWait(const std::string &command, std::string &reply)
{
    // The exchange's thread is the only one that talks to the port: the
    // windows start no other exchange until it has ended.
    bool answered = false;
    dialogkit::RunKeepingWindowsLive([&] { answered = SafeExchange(command, reply); });
    return answered;
}

std::string FailureText(const std::string &usual, FailurePlace place)
{
    const std::optional<safeexchange::NoAccess> refused =
        safeexchange::PortRefusesThisUser(settings::GetSerialPort());
    if (!refused)
        return usual;
    switch (place) {
    case FailurePlace::MessageBox:
        return safeexchange::NoAccessMessage(*refused);
    case FailurePlace::StatusLines:
        return safeexchange::NoAccessStatus(*refused);
    case FailurePlace::OneLine:
        break;
    }
    return safeexchange::NoAccessLine(*refused);
}
