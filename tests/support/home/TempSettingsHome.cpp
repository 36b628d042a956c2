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

// Points this process's store and the environment of the processes it starts
// at the folders of `home`, or nowhere.
void PointAt(const TempSettingsHome *home)
{
    const QString config = home ? home->configHome() : kNowhere;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home ? home->dataHome() : kNowhere));
    // Nothing installed on this machine (firmware under /usr/share) is found.
    qputenv("XDG_DATA_DIRS", QFile::encodeName(home ? home->dataDirs() : kNowhere));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
}

} // namespace

TempSettingsHome::TempSettingsHome()
    : dir_(QDir::tempPath() + QStringLiteral("/vandrel-home-XXXXXX"))
{
    outer_ = innermost;
    innermost = this;
    // Without a folder, point everything nowhere rather than at the real home.
    if (dir_.isValid()) {
        QDir().mkpath(configHome());
        QDir().mkpath(dataHome());
    }
    PointAt(dir_.isValid() ? this : nullptr);
}

TempSettingsHome::~TempSettingsHome()
{
    innermost = outer_;
    PointAt(outer_);
}

QString TempSettingsHome::storeFile(const QString &applicationName) const
{
    const QString name =
        applicationName.isEmpty() ? QCoreApplication::applicationName() : applicationName;
    return configHome() + QStringLiteral("/Vandrel/") + name + QStringLiteral(".conf");
}

} // namespace testsupport
