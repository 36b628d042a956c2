// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploadProgressDlg.h"

#include "DialogTemplates.h"
#include "Resource.h"
#include "UploadWatch.h"
#include "UploaderProcess.h"

#include <chrono>

namespace {

// Often enough that the figure follows avrdude's bar (a '#' every 0.15 s
// while writing Cadrelle), seldom enough to cost nothing.
constexpr auto kFollowInterval = std::chrono::milliseconds(100);

} // namespace

UploadProgressDlg::UploadProgressDlg(upload::UploaderProcess &uploader, upload::UploadWatch &watch,
                                     const QString &what, QWidget *parent)
    : Dialog(res::UploadProgressDialogTemplate(), parent), Uploader(uploader), Watch(watch), WhatText(what)
{
    On(dialogkit::IDCANCEL, [this] { Cancel(); });
    Timer.setInterval(kFollowInterval);
    connect(&Timer, &QTimer::timeout, this, [this] { Follow(); });
}

UploadProgressDlg::~UploadProgressDlg() = default;

void UploadProgressDlg::DoDataExchange(dialogkit::DataExchange &dx)
{
    dx.Text(res::upload_progress::What, WhatText);
    dx.Text(res::upload_progress::Progress, ProgressText);
}

bool UploadProgressDlg::OnInitDialog()
{
    ProgressText = QString::fromStdString(upload::ProgressText(Watch.Progress()));
    Dialog::OnInitDialog();
    // The end is only seen from the timer, once the modal run has begun.
    Timer.start();
    return true;
}

void UploadProgressDlg::Follow()
{
    const bool running = Watch.Poll();
    const QString text = QString::fromStdString(upload::ProgressText(Watch.Progress()));
    if (text != ProgressText) {
        ProgressText = text;
        UpdateData(false);
    }
    if (!running) {
        Timer.stop();
        EndDialog(dialogkit::IDOK);
    }
}

void UploadProgressDlg::Cancel()
{
    Timer.stop();
    Uploader.Stop();
    while (Watch.Poll()) {
    }
    EndDialog(dialogkit::IDCANCEL);
}
