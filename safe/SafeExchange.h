// SPDX-License-Identifier: GPL-3.0-or-later
// One command/reply exchange with the safe over the serial port.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "Framing.h"

// Opens the port named by settings::GetSerialPort() (read anew at every call,
// mapped by SerialDeviceName), sends the command three times, each copy
// followed by ".", reads one reply and closes the port again. True when a
// reply came and its three copies agree; `reply` is then the first copy. On
// false `reply` is left as it was, whatever the cause: a missing or busy port,
// a line setting the port refused, a write or read error, no reply, a cut or
// disagreeing reply. Blocks for at most about three seconds, and for
// kBootloaderHandOver more when the opening has reset the board. Where a
// reset may have swallowed the command (no reply, or only a stray byte), "T"
// and "V" are sent once more, and a code goes only to a port this run knows
// (ExchangeRules.h): up to about six seconds then, seven after a wait.
// On Linux it needs a QCoreApplication.
bool SafeExchange(const std::string &command, std::string &reply);

namespace safeexchange {

using std::chrono::milliseconds;

// The port's time-outs. Each copy of the command must be written within
// kPerByteTimeout per byte + kTimeoutMargin. The read of up to
// kReplyBufferSize bytes ends after kReadTotalTimeout at the latest, after
// kReadIntervalTimeout without a new byte once bytes have come, and as soon
// as the reply is complete (three full stops).
inline constexpr milliseconds kPerByteTimeout{10};
inline constexpr milliseconds kTimeoutMargin{50};
inline constexpr milliseconds kReadIntervalTimeout{50};
inline constexpr milliseconds kReadTotalTimeout =
    kPerByteTimeout * static_cast<milliseconds::rep>(kReplyBufferSize) + kTimeoutMargin;
static_assert(kReadTotalTimeout == milliseconds{2650});

// How long a board as sold needs, from the reset that opening its port
// causes, until its firmware listens again: the Diecimila bootloader waits
// for an upload, hands over, and the firmware turns its receiver on within a
// millisecond. On the simulated board that takes 1.33 s; a loaded machine,
// whose simulation lags the clock, can stretch it past 1.4 s
// (bench_firmware tries each wait). 1600 ms keeps a quarter of a second for
// a slower link or clock.
inline constexpr milliseconds kBootloaderHandOver{1600};

constexpr milliseconds WriteTimeout(std::size_t bytes)
{
    return kPerByteTimeout * static_cast<milliseconds::rep>(bytes) + kTimeoutMargin;
}

} // namespace safeexchange
