#pragma once

#include "Dialog.h"

class SubDlg : public dialogkit::Dialog {
    Q_OBJECT

public:
    explicit SubDlg(QWidget *parent = nullptr);
};
