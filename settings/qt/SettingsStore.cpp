// SPDX-License-Identifier: GPL-3.0-or-later
// QSettings(NativeFormat, UserScope, "Vandrel", <application name>), group
// "Setting": $XDG_CONFIG_HOME/Vandrel/<name>.conf, the file Vandrel has
// always kept its settings in.
#include "SettingsStore.h"

#include "base/Program.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace settings::store {

namespace {

// A fresh QSettings for every read and write: a new one re-reads the store
// when another copy of the program changed it, and sync() after a write puts
// the value on disk at once.
class SettingSection {
public:
    SettingSection()
        : store_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vandrel"),
                 QString::fromStdString(program::Name()))
    {
        // Only the program's own store: never the organisation-wide file
        // ("Vandrel.conf") nor the system-wide ones, which Qt would otherwise
        // read for values missing here.
        store_.setFallbacksEnabled(false);
        store_.beginGroup(QStringLiteral("Setting"));
    }

    std::optional<std::string> Read(const QString &name) const
    {
        if (!store_.contains(name))
            return std::nullopt;
        return store_.value(name).toString().toStdString();
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

std::optional<std::string> Read(const std::string &name)
{
    return SettingSection().Read(QString::fromStdString(name));
}

bool Write(const std::string &name, const std::string &text)
{
    return SettingSection().Write(QString::fromStdString(name), QString::fromStdString(text));
}

} // namespace settings::store
