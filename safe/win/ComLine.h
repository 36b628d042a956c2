// SPDX-License-Identifier: GPL-3.0-or-later
// The line settings of one exchange in a COM port's DCB. Windows side only.
#pragma once

#include <windows.h>

namespace comline {

// Sets 9600 bit/s, 8 data bits, no parity, 1 stop bit, no flow control, DTR
// and RTS on, and abort-on-error off, whatever the last program that had the
// port left in the driver's DCB (avrdude leaves DTR and RTS disabled). Every
// other setting stays as the driver reports it.
void SetExchangeLine(DCB &line);

} // namespace comline
