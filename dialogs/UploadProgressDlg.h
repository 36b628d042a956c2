// SPDX-License-Identifier: GPL-3.0-or-later
// Shown over the Test window while the uploader runs: what goes where, how
// far avrdude has come (read from its log as it grows: in words, and on a
// progress bar for the stage it is in), and Cancel. The
// window stays responsive; being modal, it keeps a second upload or an
// exchange from competing with the uploader for the port. It ends by itself
// when the uploader ends (IDOK); Cancel, Escape and the close box stop the
// uploader first and end it with IDCANCEL. Either way the whole log has been
// read when it ends.
#pragma once

#include "Dialog.h"

#include <string>

namespace upload {
class UploadWatch;
class UploaderProcess;
} // namespace upload

class UploadProgressDlg : public dialogkit::Dialog {
public:
    // "Uploading Cadrelle.hex to /dev/ttyUSB0".
    UploadProgressDlg(upload::UploaderProcess &uploader, upload::UploadWatch &watch,
                      const std::string &what, dialogkit::Dialog *parent);
    ~UploadProgressDlg() override;

protected:
    void DoDataExchange(dialogkit::DataExchange &dx) override;
    bool OnInitDialog() override;

private:
    void Follow();
    void Cancel();

    upload::UploaderProcess &Uploader;
    upload::UploadWatch &Watch;
    std::string WhatText;
    std::string ProgressText;
};
