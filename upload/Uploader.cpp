// SPDX-License-Identifier: GPL-3.0-or-later
#include "Uploader.h"

#include "PortLine.h"
#include "PortNames.h"
#include "UploaderWords.h"
#include "WindowsCommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace upload {

namespace {

QString FromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

// The only place where the systems differ. Windows hands the program one
// command line that its C runtime splits again, so the words are quoted into
// it; elsewhere the words reach the program as they are.
void SetUploaderWords(QProcess& process, const std::vector<std::string>& words)
{
#ifdef Q_OS_WIN
    process.setNativeArguments(FromUtf8(WindowsCommandLine(words)));
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* args) {
        args->flags |= CREATE_NO_WINDOW;
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_HIDE;
    });
#else
    QStringList arguments;
    arguments.reserve(static_cast<qsizetype>(words.size()));
    for (const std::string& word : words)
        arguments << FromUtf8(word);
    process.setArguments(arguments);
#endif
}

bool MakeFolder(const QString& folder, QString& reason)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(folder.toStdU16String()), error);
    if (error) {
        reason = QString::fromLocal8Bit(error.message());
        return false;
    }
    return true;
}

bool CreateOrEmptyLog(const QString& logPath)
{
    QFile log(logPath);
    return log.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

// QProcess reports a failed start as "<call>: <system's words>" ("execv: No
// such file or directory"); the user needs only the system's words.
QString SystemReason(const QString& processError)
{
    static const QRegularExpression call(QStringLiteral("^[a-z_]+: "));
    QString reason = processError;
    reason.remove(call);
    return reason;
}

bool TryStart(QProcess& process, const QString& errorFile, LaunchResult& result)
{
    // Appending, with the log emptied beforehand, keeps two uploaders that run
    // at once from writing over each other's text with holes.
    process.setStandardErrorFile(errorFile, QIODevice::Append);
    result.started = process.startDetached(&result.processId);
    if (!result.started) {
        result.processId = 0;
        result.reason = SystemReason(process.errorString());
    }
    return result.started;
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

LaunchResult StartUploader(const QString& program, const std::vector<std::string>& words,
                           const QString& workDir, const QString& logPath)
{
    LaunchResult result;
    // Made here rather than left to QProcess, which would refuse the start
    // with its own words about changing folder.
    if (!MakeFolder(workDir, result.reason))
        return result;

    QProcess process;
    process.setProgram(program);
    SetUploaderWords(process, words);
    process.setWorkingDirectory(workDir);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());

    // QProcess refuses to start anything when it cannot open the error file,
    // so the log is tried first; without it the uploader still runs, its
    // error output going nowhere. Should the log become unusable between the
    // two opens, the start is made again without it.
    if (!CreateOrEmptyLog(logPath)) {
        TryStart(process, QProcess::nullDevice(), result);
        return result;
    }
    if (!TryStart(process, logPath, result) && !CreateOrEmptyLog(logPath))
        TryStart(process, QProcess::nullDevice(), result);
    return result;
}

UploadReport UploadSketch(const QString& sketch, const QString& arduinoFolder,
                          const QString& portText, const QString& workDir)
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

    const LaunchResult launch =
        StartUploader(FromUtf8(uploaderPath), UploaderWords(folder, portText.toStdString(), firmwareFile),
                      workDir, UploadLogPath(workDir));
    if (!launch.started) {
        report.outcome = UploadOutcome::NotStarted;
        report.message = FromUtf8(NotStartedMessage(uploaderPath, launch.reason.toStdString()));
        return report;
    }
    report.outcome = UploadOutcome::Started;
    report.message = QString::fromLatin1(kCompletedUploadMessage);
    report.processId = launch.processId;
    return report;
}

} // namespace upload
