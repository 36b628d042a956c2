// SPDX-License-Identifier: GPL-3.0-or-later
#include "BusyPointer.h"

#include <QApplication>
#include <QCursor>

namespace dialogkit {

BusyPointer::BusyPointer()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyPointer::~BusyPointer()
{
    QApplication::restoreOverrideCursor();
}

} // namespace dialogkit
