// SPDX-License-Identifier: GPL-3.0-or-later
#include "Uploader.h"

#include "base/Files.h"
#include "PortNames.h"
#include "SerialPort.h"
#include "UploaderWords.h"

namespace upload {

// WorkDir is spelt with this system's separators, and so are these paths.
std::string UploadLogPath(const std::string& workDir)
{
    return paths::Join(workDir, kUploadLogName);
}

std::string FirmwareFilePath(const std::string& workDir, const std::string& firmwareFile)
{
    return paths::Join(workDir, firmwareFile);
}

UploadReport UploadSketch(const std::string& sketch, const std::string& folder, const std::string& portText,
                          const std::string& workDir, UploaderProcess& uploader)
{
    const std::string firmwareFile = FirmwareFileName(sketch);
    const std::string uploaderPath = UploaderPath(folder);

    UploadReport report;
    if (!files::Exists(uploaderPath)) {
        report.outcome = UploadOutcome::NoUploader;
        report.message = NoUploaderMessage(folder, uploaderPath);
        return report;
    }
    // The uploader resolves the bare file name in its own current folder.
    if (!files::Exists(FirmwareFilePath(workDir, firmwareFile))) {
        report.outcome = UploadOutcome::NoFirmware;
        report.message = NoFirmwareMessage(firmwareFile);
        return report;
    }

    // A board as sold goes into its bootloader when DTR rises, and the
    // exchange keeps DTR up between exchanges: dropping it here resets the
    // board for the uploader (SerialPort.h tells how on each system). A port
    // that cannot be opened (absent, busy) does not stop the upload; the
    // uploader then tells in its log.
    if (const std::string device = SerialDeviceName(portText); !device.empty())
        SerialPort::DropDtrUntilNextOpening(device);

    const std::vector<std::string> words = UploaderWords(folder, portText, firmwareFile);
    const LaunchResult launch = uploader.Start(uploaderPath, words, workDir, UploadLogPath(workDir));
    if (!launch.started) {
        report.outcome = UploadOutcome::NotStarted;
        report.message = NotStartedMessage(uploaderPath, launch.reason);
        return report;
    }
    report.outcome = UploadOutcome::Started;
    report.processId = launch.processId;
    // As the user knows it (COM12), not as the uploader is given it.
    report.port = SerialDeviceName(portText);
    report.firmwareFile = firmwareFile;
    return report;
}

} // namespace upload
