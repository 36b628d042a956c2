// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestDlg.h"

#include "CVersion.h"
#include "DefaultTools.h"
#include "DialogTemplates.h"
#include "MessageBox.h"
#include "PortChoices.h"
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

#include <QComboBox>
#include <QStyledItemDelegate>

#include <optional>
#include <string>
#include <vector>

using dialogkit::ShowMessage;

namespace {

const QString kFailed = QStringLiteral("Failed");

// The open list shows a device's description beside its name; the item's
// text, which is what the window selects and stores, stays the name alone.
class DescribedPorts : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString description = index.data(Qt::ToolTipRole).toString();
        if (!description.isEmpty())
            option->text += QStringLiteral(" - ") + description;
    }
};

} // namespace

TestDlg::TestDlg(QWidget *parent)
    : Dialog(res::TestDialogTemplate(), parent),
      WorkDir(QString::fromStdString(settings::WorkDir())),
      LogPath(QString::fromStdString(upload::UploadLogPath(WorkDir.toStdString())))
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
    if (PortList == nullptr)
        PortList = ItemAs<QComboBox>(res::test::PortList);
    dx.ListText(res::test::PortList, PortText);
}

bool TestDlg::OnInitDialog()
{
    Dialog::OnInitDialog();
    ArduinoFolder = QString::fromStdString(settings::GetArduinoPath());
    PortText = QString::fromStdString(settings::GetSerialPort());
    // A board just plugged in is the likely port; it is stored, as any
    // choice, only when a button is pressed.
    const std::vector<SerialDevice> devices = PresentSerialDevices();
    if (!settings::SerialPortStored())
        PortText = QString::fromStdString(PortWithNothingStored(devices, PortText.toStdString()));

    for (int n = kFirstComPort; n <= kLastComPort; ++n)
        AddListItem(res::test::PortList, QStringLiteral("COM%1").arg(n));
    const std::vector<PortChoice> extra = ExtraPortChoices(devices, PortText.toStdString());
    for (const PortChoice &port : extra)
        AddListItem(res::test::PortList, QString::fromStdString(port.name));
    ShowPortDescriptions(extra);

    SelectListItem(res::test::PortList, 0, PortText);
    UpdateData(false);
    return true;
}

void TestDlg::ShowPortDescriptions(const std::vector<PortChoice> &ports)
{
    for (const PortChoice &port : ports) {
        const int index = PortList->findText(QString::fromStdString(port.name), Qt::MatchExactly);
        if (index >= 0 && !port.description.empty())
            PortList->setItemData(index, QString::fromStdString(port.description), Qt::ToolTipRole);
    }
    PortList->setItemDelegate(new DescribedPorts(PortList));
}

void TestDlg::SaveSettings()
{
    UpdateData(true);
    settings::SetArduinoPath(ArduinoFolder.toStdString());
    settings::SetSerialPort(PortText.toStdString());
}

void TestDlg::SendCommand()
{
    SaveSettings();
    UpdateData(true);
    std::string reply;
    if (ExchangeShowingWait(ToSafeText(CommandText.toStdString()), reply))
        ShowMessage(this, QString::fromStdString(FromSafeText(reply)));
    else
        ShowMessage(this, FailureText(kFailed, FailurePlace::MessageBox));
}

void TestDlg::RunTest(const char *command, const QString &success, const QString &refused)
{
    SaveSettings();
    UpdateData(true);
    std::string reply;
    if (!ExchangeShowingWait(command, reply))
        ShowMessage(this, FailureText(kFailed, FailurePlace::MessageBox));
    else if (!refused.isEmpty() && reply == safecmd::kRefused)
        ShowMessage(this, refused);
    else
        ShowMessage(this, success);
}

void TestDlg::TestLock()
{
    RunTest(safecmd::kTestLock, QStringLiteral("Lock succeeded"));
}

void TestDlg::TestUnlock()
{
    RunTest(safecmd::kTestUnlock, QStringLiteral("Unlock succeeded"), QStringLiteral("Unlock refused"));
}

void TestDlg::ShowVersion()
{
    CVersion version(this);
    SaveSettings();
    version.DoModal();
}

void TestDlg::UploadBlink()
{
    UploadSketch(QString::fromLatin1(upload::kBlinkSketch));
}

void TestDlg::UploadCadrelle()
{
    UploadSketch(QString::fromLatin1(upload::kCadrelleSketch));
}

void TestDlg::UploadSketch(const QString &name)
{
    SaveSettings();
    UpdateData(true);
    PrepareDefaultTools(name);
    upload::UploaderProcess uploader;
    const upload::UploadReport report =
        upload::UploadSketch(name.toStdString(), ArduinoFolder.toStdString(), PortText.toStdString(),
                             WorkDir.toStdString(), uploader);
    if (report.outcome != upload::UploadOutcome::Started) {
        ShowMessage(this, QString::fromStdString(report.message));
        return;
    }
    upload::UploadWatch watch(uploader, LogPath.toStdString());
    UploadProgressDlg progress(uploader, watch,
                               QStringLiteral("Uploading %1 to %2")
                                   .arg(QString::fromStdString(report.firmwareFile),
                                        QString::fromStdString(report.port)),
                               this);
    progress.DoModal();
    // A modal run ended from outside (the program asked to quit) leaves the
    // uploader running: it is stopped here, and the log read to its end.
    uploader.Stop();
    while (watch.Poll()) {
    }
    ShowMessage(this, QString::fromStdString(
                          upload::UploadEndMessage(watch.Verdict(), report.port, report.firmwareFile)));
}

void TestDlg::PrepareDefaultTools(const QString &name)
{
    if (ArduinoFolder.toStdString() == settings::DefaultArduinoPath()) {
        if (const std::optional<upload::SystemUploader> system = upload::FindSystemUploader())
            upload::MakeArduinoFolderOfLinks(ArduinoFolder, *system);
    }
    upload::LinkInstalledFirmware(
        WorkDir, QString::fromStdString(upload::FirmwareFileName(name.toStdString())));
}

void TestDlg::ViewUploadLog()
{
    SaveSettings();
    // Where the desktop has no viewer for the log, nothing is shown.
    upload::OpenUploadLog(LogPath.toStdString());
}

void TestDlg::SaveAndClose()
{
    SaveSettings();
    EndDialog(dialogkit::IDCANCEL);
}
