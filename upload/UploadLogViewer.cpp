// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploadLogViewer.h"

#include "Uploader.h"

#include <QDesktopServices>
#include <QUrl>

namespace upload {

bool OpenUploadLog(const QString& logPath)
{
    if (!PathExists(logPath))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(logPath));
}

} // namespace upload
