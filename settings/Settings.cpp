// SPDX-License-Identifier: GPL-3.0-or-later
#include "Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

namespace settings {

namespace {

const QString kOrganisation = QStringLiteral("Vandrel");
const QString kSection = QStringLiteral("Setting");
const QString kSerialPortValue = QStringLiteral("SerialPort");
const QString kArduinoPathValue = QStringLiteral("ArduinoPath");
const QString kDefaultSerialPort = QStringLiteral("COM4");

// A fresh QSettings for every read and write: a new one re-reads the store
// when another copy of the program changed it, and sync() after a write puts
// the value on disk (or into the registry) at once.
class SettingSection {
public:
    SettingSection() : store_(QSettings::NativeFormat, QSettings::UserScope, kOrganisation,
                              ApplicationName())
    {
        // Only the program's own store: never the organisation-wide file
        // ("Vandrel.conf") nor the system-wide ones, which Qt would otherwise
        // read for values missing here.
        store_.setFallbacksEnabled(false);
        store_.beginGroup(kSection);
    }

    QString Read(const QString &name, const QString &fallback) const
    {
        // A value that is present but empty is the empty text, not the default.
        if (!store_.contains(name))
            return fallback;
        return store_.value(name).toString();
    }

    bool Write(const QString &name, const QString &text)
    {
        const bool hadValue = store_.contains(name);
        const QVariant previous = store_.value(name);
        store_.setValue(name, text);
        store_.sync();
        if (store_.status() == QSettings::NoError)
            return true;

        // Qt keeps the values of a file it could not write in a per-process
        // cache that every later QSettings on the same file shares: left
        // there, the unsaved text would be read back as if stored, and would
        // be written out by whichever later access finds the store writable
        // again. Put back what the store held, so the cache agrees with it.
        if (hadValue)
            store_.setValue(name, previous);
        else
            store_.remove(name);
        store_.sync();
        return false;
    }

private:
    QSettings store_;
};

} // namespace

QString ApplicationName()
{
    return QCoreApplication::applicationName();
}

QString WorkDir()
{
    return QDir::toNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/Vandrel"));
}

QString DefaultArduinoPath()
{
    return QDir::toNativeSeparators(WorkDir() + QStringLiteral("/arduino-0012X"));
}

QString GetSerialPort()
{
    return SettingSection().Read(kSerialPortValue, kDefaultSerialPort);
}

bool SetSerialPort(QString port)
{
    return SettingSection().Write(kSerialPortValue, port);
}

QString GetArduinoPath()
{
    return SettingSection().Read(kArduinoPathValue, DefaultArduinoPath());
}

bool SetArduinoPath(QString folder)
{
    return SettingSection().Write(kArduinoPathValue, folder);
}

} // namespace settings
