// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploadLogViewer.h"

#include "base/Files.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace upload {

bool OpenUploadLog(const std::string& logPath)
{
    if (!files::Exists(logPath))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(logPath)));
}

} // namespace upload
