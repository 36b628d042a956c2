#pragma once

#include "Dialog.h"

class TestDlg : public dialogkit::Dialog {
    Q_OBJECT

public:
    explicit TestDlg(QWidget *parent = nullptr);
};
