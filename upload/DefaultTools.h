// SPDX-License-Identifier: GPL-3.0-or-later
// What an upload with the default settings needs, put in place when it is
// first needed. Each system has its own side: qt/ makes the default
// Arduino folder a tree of links to Debian's avrdude and links the
// package's firmware into the working folder; win/ copies the firmware
// installed beside the program into the working folder (the default Arduino
// folder, with avrdude.exe, is installed beside the program and used where
// it lies). Nothing already there is replaced,
// and a folder the user chose is never touched.
#pragma once

#include <string>

namespace upload {

// Before an upload of `sketch` ("Blink", "Cadrelle") with the uploader below
// `arduinoFolder`, into the working folder `workDir`.
void PrepareDefaultTools(const std::string &sketch, const std::string &arduinoFolder,
                         const std::string &workDir);

} // namespace upload
