// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt widget of a dialog, for what only Linux has (the application's
// icon on the main window) and for tests that look at the widgets.
#pragma once

class QWidget;

namespace dialogkit {

class Dialog;

QWidget *WidgetOf(Dialog &dialog);

} // namespace dialogkit
