// SPDX-License-Identifier: GPL-3.0-or-later
// A temporary home for the per-user settings store and data folder, so that
// tests never read or write the real ones.
//
// While one exists, QSettings in this process and the processes it starts
// (their XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_DATA_DIRS) use folders inside a fresh
// temporary folder; settings::WorkDir() lies inside it too. Qt reads
// XDG_CONFIG_HOME only once per process, so this also sets QSettings::setPath
// for the native and INI formats. Homes nest: when one ends, the one before
// it is back in force; after the last one, the store and the data folder
// (also for programs started later) point at a place that cannot be written,
// never at the real home.
//
// Use one per test (a fixture member). Needs a QCoreApplication for the
// application's name, like the store itself.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class TempSettingsHome {
public:
    TempSettingsHome();
    ~TempSettingsHome();
    TempSettingsHome(const TempSettingsHome &) = delete;
    TempSettingsHome &operator=(const TempSettingsHome &) = delete;

    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    QString configHome() const { return path() + QStringLiteral("/config"); } // XDG_CONFIG_HOME
    QString dataHome() const { return path() + QStringLiteral("/data"); }     // XDG_DATA_HOME
    QString dataDirs() const { return path() + QStringLiteral("/share"); }    // XDG_DATA_DIRS (not made)

    // The file that holds the settings of the application with this name
    // (default: this program's): configHome()/Vandrel/<name>.conf.
    QString storeFile(const QString &applicationName = QString()) const;

private:
    QTemporaryDir dir_;
    TempSettingsHome *outer_ = nullptr;
};

} // namespace testsupport
