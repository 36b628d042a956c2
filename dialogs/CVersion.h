#pragma once

#include "Dialog.h"

class CVersion : public dialogkit::Dialog {
    Q_OBJECT

public:
    explicit CVersion(QWidget *parent = nullptr);
};
