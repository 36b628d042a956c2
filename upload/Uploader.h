// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Starting the Arduino uploader for the Test window (text in UTF-8). The uploader runs as a
// process of its own with no window; its standard error goes to the upload
// log in the working folder, its standard input and output to nothing. The
// window then follows it (UploadWatch) and judges its end from the log
// (UploadLog.h).
//
// The Test window's upload handler is, after saving its settings:
//     upload::UploaderProcess uploader;
//     const upload::UploadReport report =
//         upload::UploadSketch(name, ArduinoFolder, PortText, WorkDir, uploader);
//     if (report.outcome != upload::UploadOutcome::Started) ShowMessage(report.message);
//     else ... follow it to its end ...

#include "UploaderProcess.h"

#include <string>
#include <vector>

namespace upload {

// <workDir>/upload_out.txt, spelt with this system's separators.
std::string UploadLogPath(const std::string& workDir);

// <workDir>/<firmwareFile>: where the uploader, running in workDir, looks for
// the bare file name it is given.
std::string FirmwareFilePath(const std::string& workDir, const std::string& firmwareFile);

enum class UploadOutcome {
    Started,     // the uploader runs
    NoUploader,  // nothing at the uploader path; nothing started, log untouched
    NoFirmware,  // no firmware file in workDir; nothing started, log untouched
    NotStarted,  // the system refused to start the uploader
};

struct UploadReport {
    UploadOutcome outcome = UploadOutcome::NotStarted;
    std::string message;     // the text the Test window shows; empty when started
    long long processId = 0; // the uploader's, when it started
    std::string port;      // the port as the user knows it: COM12, /dev/ttyUSB0
    std::string firmwareFile;
};

// One upload of a sketch ("Blink" or "Cadrelle") with the Test window's
// values as they stand: the two existence tests, then the port's DTR line
// dropped (SerialPort::DropDtrUntilNextOpening) so that the uploader's opening
// resets a board as sold, then the start in `uploader`.
UploadReport UploadSketch(const std::string& sketch, const std::string& arduinoFolder,
                          const std::string& portText, const std::string& workDir,
                          UploaderProcess& uploader);

} // namespace upload
