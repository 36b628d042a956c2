// SPDX-License-Identifier: GPL-3.0-or-later
#include "DefaultTools.h"

#include "Settings.h"
#include "UploaderWords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace upload {

namespace {

// Anything of that name, a broken link included.
bool Occupied(const QString& path)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path.toStdU16String(), error);
    if (status.type() == std::filesystem::file_type::not_found)
        return false;
    return status.type() != std::filesystem::file_type::none || error.value() != 0;
}

bool Link(const QString& target, const QString& link)
{
    return QDir().mkpath(QFileInfo(link).path()) && QFile::link(target, link);
}

// The working folder's firmware follows the installed file: a link to it.
bool PlaceFirmware(const QString& installed, const QString& target)
{
    return Link(installed, target);
}

} // namespace

std::optional<SystemUploader> FindSystemUploader()
{
    SystemUploader uploader{QStandardPaths::findExecutable(QStringLiteral("avrdude")),
                            QStringLiteral("/etc/avrdude.conf")};
    if (uploader.program.isEmpty() || !QFileInfo(uploader.config).isFile())
        return std::nullopt;
    return uploader;
}

bool MakeArduinoFolderOfLinks(const QString& folder, const SystemUploader& uploader)
{
    if (folder.isEmpty() || Occupied(folder))
        return false;
    const QString parent = QFileInfo(folder).absolutePath();
    if (!QDir().mkpath(parent))
        return false;
    QTemporaryDir staging(parent + QStringLiteral("/.") + QFileInfo(folder).fileName() +
                          QStringLiteral(".XXXXXX"));
    if (!staging.isValid())
        return false;
    const QString tools = staging.path() + QStringLiteral("/hardware/tools/avr");
    if (!Link(uploader.program, tools + QStringLiteral("/bin/avrdude")) ||
        !Link(uploader.config, tools + QStringLiteral("/etc/avrdude.conf")))
        return false;
    QFile::setPermissions(staging.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                              QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                              QFileDevice::ExeOther);
    // rename() never replaces a folder that has come meanwhile and holds
    // anything; a check just before it leaves only an empty one at risk.
    if (Occupied(folder) || std::rename(QFile::encodeName(staging.path()).constData(),
                                        QFile::encodeName(folder).constData()) != 0)
        return false;
    staging.setAutoRemove(false);
    return true;
}

QString InstalledFirmware(const QString& firmwareFile)
{
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                  QStringLiteral("vandrel/firmware/") + firmwareFile);
}

void PrepareDefaultTools(const std::string& sketch, const std::string& arduinoFolder,
                         const std::string& workDir)
{
    if (arduinoFolder == settings::DefaultArduinoPath()) {
        if (const std::optional<SystemUploader> system = FindSystemUploader())
            MakeArduinoFolderOfLinks(QString::fromStdString(arduinoFolder), *system);
    }
    LinkInstalledFirmware(QString::fromStdString(workDir),
                          QString::fromStdString(FirmwareFileName(sketch)));
}

bool LinkInstalledFirmware(const QString& workDir, const QString& firmwareFile)
{
    const QString target = workDir + QStringLiteral("/") + firmwareFile;
    if (Occupied(target))
        return false;
    const QString installed = InstalledFirmware(firmwareFile);
    if (installed.isEmpty())
        return false;
    return PlaceFirmware(installed, target);
}

} // namespace upload
