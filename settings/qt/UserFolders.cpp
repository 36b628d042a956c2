// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace settings {

std::string ApplicationName()
{
    return QCoreApplication::applicationName().toStdString();
}

std::string UserDataFolder()
{
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .toStdString();
}

std::string ProgramFolder()
{
    return QCoreApplication::applicationDirPath().toStdString();
}

} // namespace settings
