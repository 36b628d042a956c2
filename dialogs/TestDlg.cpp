#include "TestDlg.h"

#include "DialogTemplates.h"

TestDlg::TestDlg(QWidget *parent) : Dialog(res::TestDialogTemplate(), parent) {}
