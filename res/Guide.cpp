// SPDX-License-Identifier: GPL-3.0-or-later
#include "Guide.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace res {

QString GuidePath()
{
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/" VANDREL_INSTALLED_GUIDE));
    if (QFileInfo::exists(installed))
        return installed;
    const QString source = QStringLiteral(VANDREL_SOURCE_GUIDE);
    if (QFileInfo::exists(source))
        return source;
    return installed;
}

QString GuideAddress()
{
    return QUrl::fromLocalFile(GuidePath()).toString();
}

} // namespace res
