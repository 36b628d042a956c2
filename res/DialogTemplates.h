// SPDX-License-Identifier: GPL-3.0-or-later
// The program's dialog templates.
#pragma once

#include "DialogTemplate.h"

namespace res {

const dialogkit::DialogTemplate &MainDialogTemplate();    // 102
const dialogkit::DialogTemplate &MasterDialogTemplate();  // 129
const dialogkit::DialogTemplate &SubDialogTemplate();     // 130
const dialogkit::DialogTemplate &TestDialogTemplate();    // 131
const dialogkit::DialogTemplate &VersionDialogTemplate(); // 132
const dialogkit::DialogTemplate &UploadProgressDialogTemplate(); // 133

} // namespace res
