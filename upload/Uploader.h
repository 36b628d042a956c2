// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Starting the Arduino uploader for the Test window. The uploader runs as a
// detached process with no window; its standard error goes to the upload log
// in the working folder, its standard input and output to nothing, and the
// program does not wait for it.
//
// The Test window's upload handler is, after saving its settings:
//     const upload::UploadReport report =
//         upload::UploadSketch(name, ArduinoFolder, PortText, WorkDir);
//     ShowMessage(report.message);

#include <QString>
#include <QtGlobal>

#include <string>
#include <vector>

namespace upload {

// Anything of that name, a folder included, counts as present.
bool PathExists(const QString& path);

// <workDir>/upload_out.txt, spelt with this system's separators.
QString UploadLogPath(const QString& workDir);

// <workDir>/<firmwareFile>: where the uploader, running in workDir, looks for
// the bare file name it is given.
QString FirmwareFilePath(const QString& workDir, const QString& firmwareFile);

struct LaunchResult {
    bool started = false;
    QString reason;        // the system's words when it did not start
    qint64 processId = 0;  // when it started
};

// Creates workDir when missing, creates or empties the log, and starts the
// program in workDir with the words as its arguments (each one whole). A log
// that cannot be created does not stop the start: the error output then goes
// nowhere. Returns as soon as the program has been started.
LaunchResult StartUploader(const QString& program, const std::vector<std::string>& words,
                           const QString& workDir, const QString& logPath);

enum class UploadOutcome {
    Started,     // "Completed upload"
    NoUploader,  // nothing at the uploader path; nothing started, log untouched
    NoFirmware,  // no firmware file in workDir; nothing started, log untouched
    NotStarted,  // the system refused to start the uploader
};

struct UploadReport {
    UploadOutcome outcome = UploadOutcome::NotStarted;
    QString message;       // the text the Test window shows
    qint64 processId = 0;  // the uploader's, when it started
};

// One upload of a sketch ("Blink" or "Cadrelle") with the Test window's
// values as they stand: the two existence tests, then the port's DTR line
// dropped (portline::DropDtrUntilNextOpening) so that the uploader's opening
// resets a board as sold, then the start.
UploadReport UploadSketch(const QString& sketch, const QString& arduinoFolder,
                          const QString& portText, const QString& workDir);

} // namespace upload
