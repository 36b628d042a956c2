// SPDX-License-Identifier: GPL-3.0-or-later
#include "Uploader.h"

#include "PortLine.h"
#include "PortNames.h"
#include "UploaderWords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace upload {

namespace {

QString FromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

bool PathExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

// WorkDir comes from QStandardPaths, which writes "/" on every system; these
// two paths are made whole in this system's own spelling.
QString UploadLogPath(const QString& workDir)
{
    return QDir::toNativeSeparators(FromUtf8(JoinPath(workDir.toStdString(), kUploadLogName)));
}

QString FirmwareFilePath(const QString& workDir, const QString& firmwareFile)
{
    return QDir::toNativeSeparators(FromUtf8(JoinPath(workDir.toStdString(), firmwareFile.toStdString())));
}

UploadReport UploadSketch(const QString& sketch, const QString& arduinoFolder,
                          const QString& portText, const QString& workDir,
                          UploaderProcess& uploader)
{
    const std::string folder = arduinoFolder.toStdString();
    const std::string firmwareFile = FirmwareFileName(sketch.toStdString());
    const std::string uploaderPath = UploaderPath(folder);

    UploadReport report;
    if (!PathExists(FromUtf8(uploaderPath))) {
        report.outcome = UploadOutcome::NoUploader;
        report.message = FromUtf8(NoUploaderMessage(folder, uploaderPath));
        return report;
    }
    // The uploader resolves the bare file name in its own current folder.
    if (!PathExists(FirmwareFilePath(workDir, FromUtf8(firmwareFile)))) {
        report.outcome = UploadOutcome::NoFirmware;
        report.message = FromUtf8(NoFirmwareMessage(firmwareFile));
        return report;
    }

    // A board as sold goes into its bootloader when DTR rises, and the
    // exchange keeps DTR up between exchanges: dropping it here makes the
    // uploader's own opening of the port reset the board. A port that cannot
    // be opened (absent, busy) does not stop the upload; the uploader then
    // tells in its log.
    if (const std::string device = SerialDeviceName(portText.toStdString()); !device.empty())
        portline::DropDtrUntilNextOpening(FromUtf8(device));

    const std::vector<std::string> words = UploaderWords(folder, portText.toStdString(), firmwareFile);
    const LaunchResult launch = uploader.Start(uploaderPath, words, workDir.toStdString(),
                                               UploadLogPath(workDir).toStdString());
    if (!launch.started) {
        report.outcome = UploadOutcome::NotStarted;
        report.message = FromUtf8(NotStartedMessage(uploaderPath, launch.reason));
        return report;
    }
    report.outcome = UploadOutcome::Started;
    report.processId = launch.processId;
    report.port = words[6];
    report.firmwareFile = firmwareFile;
    return report;
}

} // namespace upload
