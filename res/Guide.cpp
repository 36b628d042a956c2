// SPDX-License-Identifier: GPL-3.0-or-later
#include "Guide.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace res {

QString GuidePath()
{
    const QString below = QStringLiteral("/" VANDREL_GUIDE_BELOW_PREFIX);
    // No absolute path is built into the program: the same file serves an
    // installed tree, wherever it was unpacked, and a build tree.
    QDir dir(QCoreApplication::applicationDirPath());
    do {
        const QString guide = QDir::cleanPath(dir.absolutePath() + below);
        if (QFileInfo::exists(guide))
            return guide;
    } while (dir.cdUp());
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/..") + below);
}

QString GuideAddress()
{
    return QUrl::fromLocalFile(GuidePath()).toString();
}

} // namespace res
