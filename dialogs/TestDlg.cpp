// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestDlg.h"

#include "CVersion.h"
#include "DefaultTools.h"
#include "DialogTemplates.h"
#include "DialogWindow.h"
#include "base/Files.h"
#include "MessageBox.h"
#include "PortAccess.h"
#include "PortChoices.h"
#include "PortNames.h"
#include "Resource.h"
#include "SafeCommands.h"
#include "SafeCall.h"
#include "SafeText.h"
#include "Settings.h"
#include "UploadLogViewer.h"
#include "UploadProgressDlg.h"
#include "UploadWatch.h"
#include "Uploader.h"
#include "UploaderWords.h"

#include <string>
#include <vector>

using dialogkit::ShowMessage;

namespace {

const char kFailed[] = "Failed";

} // namespace

TestDlg::TestDlg(dialogkit::Dialog *parent)
    : Dialog(res::TestDialogTemplate(), parent), WorkDir(settings::WorkDir()),
      LogPath(upload::UploadLogPath(WorkDir))
{
    On(res::test::Send, [this] { SendCommand(); });
    On(dialogkit::IDCANCEL, [this] { SaveAndClose(); });
    On(res::test::UploadBlink, [this] { UploadBlink(); });
    On(res::test::UploadCadrelle, [this] { UploadCadrelle(); });
    On(res::test::TestLock, [this] { TestLock(); });
    On(res::test::TestUnlock, [this] { TestUnlock(); });
    On(res::test::ViewUploadLog, [this] { ViewUploadLog(); });
    On(res::test::GetVersion, [this] { ShowVersion(); });
}

TestDlg::~TestDlg() = default;

void TestDlg::DoDataExchange(dialogkit::DataExchange &dx)
{
    dx.Text(res::test::CommandText, CommandText);
    dx.Text(res::test::ArduinoFolder, ArduinoFolder);
    dx.ListText(res::test::PortList, PortText);
}

bool TestDlg::OnInitDialog()
{
    Dialog::OnInitDialog();
    ArduinoFolder = settings::GetArduinoPath();
    PortText = settings::GetSerialPort();
    // A board just plugged in is the likely port; it is stored, as any
    // choice, only when a button is pressed.
    const std::vector<SerialDevice> devices = PresentSerialDevices();
    if (!settings::SerialPortStored())
        PortText = PortWithNothingStored(devices, PortText);

    for (int n = kFirstComPort; n <= kLastComPort; ++n)
        AddListItem(res::test::PortList, "COM" + std::to_string(n));
    for (const PortChoice &port : ExtraPortChoices(devices, PortText))
        AddListItem(res::test::PortList, port.name);
    ShowPortDescriptions(devices);

    SelectListItem(res::test::PortList, 0, PortText);
    UpdateData(false);
    return true;
}

void TestDlg::ShowPortDescriptions(const std::vector<SerialDevice> &devices)
{
    const dialogkit::DialogWindow &window = Window();
    const int count = window.ListCount(res::test::PortList);
    for (int index = 0; index < count; ++index) {
        const std::string item = window.ListItem(res::test::PortList, index);
        for (const SerialDevice &device : devices)
            if (!device.description.empty() && (device.path == item || device.path == SerialDeviceName(item))) {
                SetListItemDescription(res::test::PortList, index, device.description);
                break;
            }
    }
}

void TestDlg::SaveSettings()
{
    UpdateData(true);
    settings::SetArduinoPath(ArduinoFolder);
    settings::SetSerialPort(PortText);
}

void TestDlg::SendCommand()
{
    SaveSettings();
    UpdateData(true);
    std::string reply;
    if (ExchangeShowingWait(ToSafeText(CommandText), reply))
        ShowMessage(*this, FromSafeText(reply));
    else
        ShowMessage(*this, FailureText(kFailed, FailurePlace::MessageBox));
}

void TestDlg::RunTest(const char *command, const std::string &success, const std::string &refused)
{
    SaveSettings();
    UpdateData(true);
    std::string reply;
    if (!ExchangeShowingWait(command, reply))
        ShowMessage(*this, FailureText(kFailed, FailurePlace::MessageBox));
    else if (!refused.empty() && reply == safecmd::kRefused)
        ShowMessage(*this, refused);
    else
        ShowMessage(*this, success);
}

void TestDlg::TestLock()
{
    RunTest(safecmd::kTestLock, "Lock succeeded");
}

void TestDlg::TestUnlock()
{
    RunTest(safecmd::kTestUnlock, "Unlock succeeded", "Unlock refused");
}

void TestDlg::ShowVersion()
{
    CVersion version(this);
    SaveSettings();
    version.DoModal();
}

void TestDlg::UploadBlink()
{
    UploadSketch(upload::kBlinkSketch);
}

void TestDlg::UploadCadrelle()
{
    UploadSketch(upload::kCadrelleSketch);
}

void TestDlg::UploadSketch(const std::string &name)
{
    SaveSettings();
    UpdateData(true);
    upload::PrepareDefaultTools(name, ArduinoFolder, WorkDir);
    upload::UploaderProcess uploader;
    const upload::UploadReport report = upload::UploadSketch(name, ArduinoFolder, PortText, WorkDir, uploader);
    if (report.outcome != upload::UploadOutcome::Started) {
        ShowMessage(*this, report.message);
        return;
    }
    upload::UploadWatch watch(uploader, LogPath);
    UploadProgressDlg progress(uploader, watch, "Uploading " + report.firmwareFile + " to " + report.port, this);
    progress.DoModal();
    // A modal run ended from outside (the program asked to quit) leaves the
    // uploader running: it is stopped here, and the log read to its end.
    uploader.Stop();
    while (watch.Poll()) {
    }
    ShowMessage(*this, upload::UploadEndMessage(watch.Verdict(), report.port, report.firmwareFile,
                                                safeexchange::PermissionFix(report.port)));
}

void TestDlg::ViewUploadLog()
{
    SaveSettings();
    if (upload::OpenUploadLog(LogPath))
        return;
    // Not met with silence: the user can still open the file by hand.
    if (!files::Exists(LogPath))
        ShowMessage(*this, "No upload has written its log yet. It will be the file\n" + LogPath);
    else
        ShowMessage(*this, "Nothing on this computer opens the upload log. It is the file\n" + LogPath);
}

void TestDlg::SaveAndClose()
{
    SaveSettings();
    EndDialog(dialogkit::IDCANCEL);
}
