#include "CVersion.h"

#include "DialogTemplates.h"

CVersion::CVersion(QWidget *parent) : Dialog(res::VersionDialogTemplate(), parent) {}
