// SPDX-License-Identifier: GPL-3.0-or-later
#include "BusyPointer.h"

#include <windows.h>

namespace dialogkit {

namespace {
// Nested waits (an exchange inside an exchange's handler) restore the
// pointer once, when the outermost ends.
int depth = 0;
HCURSOR before = nullptr;
} // namespace

BusyPointer::BusyPointer()
{
    if (depth++ == 0)
        before = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
}

BusyPointer::~BusyPointer()
{
    if (--depth == 0)
        SetCursor(before);
}

} // namespace dialogkit
