// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What an installed program needs for its first upload with the default
// settings, put in place when it is first needed: the default Arduino folder
// as a tree of links to the system's uploader and its configuration, and the
// firmware files, installed with the program, linked into the working folder.
// Nothing that is already there (a file, a folder, even a broken link) is
// ever replaced, and a folder the user chose is never touched.
//
// Linux only, for Debian's avrdude and the package's firmware; on Windows the
// installer puts avrdude.exe in the default Arduino folder beside the program
// (win/DefaultTools.cpp only copies the firmware). PrepareDefaultTools
// (the shared upload/DefaultTools.h) puts these together.

#include "upload/DefaultTools.h"

#include <QString>

#include <optional>

namespace upload {

// The system's own uploader, which a default Arduino folder links to.
struct SystemUploader {
    QString program; // avrdude
    QString config;  // its configuration file
};

// Debian's avrdude (found on the PATH) and /etc/avrdude.conf, when both are
// there.
std::optional<SystemUploader> FindSystemUploader();

// Makes `folder` an Arduino folder whose uploader and configuration
// (hardware/tools/avr/bin/avrdude, hardware/tools/avr/etc/avrdude.conf) are
// links to the system's: only when nothing of that name exists, built beside
// its place and moved in whole, so no half-made folder is ever left there.
// Returns whether it made the folder.
bool MakeArduinoFolderOfLinks(const QString& folder, const SystemUploader& uploader);

// The firmware file installed with the program: "vandrel/firmware/<file>" in
// the first data folder that has it ($XDG_DATA_HOME, then $XDG_DATA_DIRS:
// /usr/local/share, /usr/share). Empty when none has it.
QString InstalledFirmware(const QString& firmwareFile);

// When nothing of the name <workDir>/<firmwareFile> exists, links it to the
// installed firmware file, so it follows the installed program's updates.
// Returns whether it made the link.
bool LinkInstalledFirmware(const QString& workDir, const QString& firmwareFile);

} // namespace upload
