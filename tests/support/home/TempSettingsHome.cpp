// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempSettingsHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace testsupport {

namespace {

TempSettingsHome *innermost = nullptr;

// Where the store and the data folder point, for this process and the ones
// it starts, once no temporary home is in force: below a file, so no folder
// can be made there and nothing is ever written.
const QString kNowhere = QStringLiteral("/dev/null/vandrel-no-settings-home");

void PointStoreAt(const QString &configHome)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configHome);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configHome);
}

} // namespace

TempSettingsHome::TempSettingsHome()
    : dir_(QDir::tempPath() + QStringLiteral("/vandrel-home-XXXXXX"))
{
    outer_ = innermost;
    innermost = this;
    // Without a folder, point everything nowhere rather than at the real home.
    const QString config = dir_.isValid() ? configHome() : kNowhere;
    const QString data = dir_.isValid() ? dataHome() : kNowhere;
    if (dir_.isValid()) {
        QDir().mkpath(config);
        QDir().mkpath(data);
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    // Nothing installed on this machine (firmware under /usr/share) is found.
    qputenv("XDG_DATA_DIRS", QFile::encodeName(dir_.isValid() ? dataDirs() : kNowhere));
    PointStoreAt(config);
}

TempSettingsHome::~TempSettingsHome()
{
    innermost = outer_;
    const QString config = outer_ ? outer_->configHome() : kNowhere;
    const QString data = outer_ ? outer_->dataHome() : kNowhere;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(outer_ ? outer_->dataDirs() : kNowhere));
    PointStoreAt(config);
}

QString TempSettingsHome::dataDirs() const
{
    return dir_.path() + QStringLiteral("/share");
}

QString TempSettingsHome::configHome() const
{
    return dir_.path() + QStringLiteral("/config");
}

QString TempSettingsHome::dataHome() const
{
    return dir_.path() + QStringLiteral("/data");
}

QString TempSettingsHome::storeFile(const QString &applicationName) const
{
    const QString name =
        applicationName.isEmpty() ? QCoreApplication::applicationName() : applicationName;
    return configHome() + QStringLiteral("/Vandrel/") + name + QStringLiteral(".conf");
}

} // namespace testsupport
