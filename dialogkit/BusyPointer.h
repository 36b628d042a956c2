// SPDX-License-Identifier: GPL-3.0-or-later
// The pointer shows the program busy while one of these lives (while the
// windows wait for an exchange or an uploader's stop: LiveWait.h). Each
// system's side (qt/, win/) sets and restores it.
#pragma once

namespace dialogkit {

class BusyPointer {
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

} // namespace dialogkit
