// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserFolders.h"

#include <QDir>
#include <QStandardPaths>

namespace settings {

std::string UserDataFolder()
{
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .toStdString();
}

} // namespace settings
