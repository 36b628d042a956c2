// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Program.h"

#include <QCoreApplication>

namespace program {

std::string Name()
{
    return QCoreApplication::applicationName().toStdString();
}

std::string Folder()
{
    return QCoreApplication::applicationDirPath().toStdString();
}

} // namespace program
