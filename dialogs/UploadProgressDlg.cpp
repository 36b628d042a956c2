// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploadProgressDlg.h"

#include "DialogTemplates.h"
#include "LiveWait.h"
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
                                     const std::string &what, dialogkit::Dialog *parent)
    : Dialog(res::UploadProgressDialogTemplate(), parent), Uploader(uploader), Watch(watch), WhatText(what)
{
    On(dialogkit::IDCANCEL, [this] { Cancel(); });
}

UploadProgressDlg::~UploadProgressDlg() = default;

void UploadProgressDlg::DoDataExchange(dialogkit::DataExchange &dx)
{
    dx.Text(res::upload_progress::What, WhatText);
    dx.Text(res::upload_progress::Progress, ProgressText);
}

bool UploadProgressDlg::OnInitDialog()
{
    ProgressText = upload::ProgressText(Watch.Progress());
    Dialog::OnInitDialog();
    SetProgress(res::upload_progress::Bar, Watch.Progress().percent);
    // The end is only seen from the timer, once the modal run has begun.
    StartTimer(kFollowInterval, [this] { Follow(); });
    return true;
}

void UploadProgressDlg::Follow()
{
    // A stalled uploader is stopped here, up to its grace time: the windows
    // keep painting meanwhile.
    const bool running = Watch.Poll(dialogkit::RunKeepingWindowsLive);
    const upload::UploadProgress progress = Watch.Progress();
    const std::string text = upload::ProgressText(progress);
    if (text != ProgressText) {
        ProgressText = text;
        UpdateData(false);
        SetProgress(res::upload_progress::Bar, progress.percent);
    }
    if (!running) {
        StopTimer();
        EndDialog(dialogkit::IDOK);
    }
}

void UploadProgressDlg::Cancel()
{
    StopTimer();
    // Up to the uploader's grace time: the windows keep painting meanwhile.
    dialogkit::RunKeepingWindowsLive([this] { Uploader.Stop(); });
    while (Watch.Poll()) {
    }
    EndDialog(dialogkit::IDCANCEL);
}
