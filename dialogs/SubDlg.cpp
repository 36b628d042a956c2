#include "SubDlg.h"

#include "DialogTemplates.h"

SubDlg::SubDlg(QWidget *parent) : Dialog(res::SubDialogTemplate(), parent) {}
