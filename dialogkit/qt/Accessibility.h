// SPDX-License-Identifier: GPL-3.0-or-later
// What screen readers and other assistive tools see of a dialog's radio
// buttons, check boxes and drop-down lists.
#pragma once

namespace dialogkit {

// Makes every radio button report the radio-button role and every check box
// the check-box role, with their checked state, and makes their accessible
// actions (toggle, press) act as a click, from the event loop once the call
// has returned: the button's command runs, as it does for the mouse and the
// keyboard. Qt's own interface only toggles the state, and reports a radio
// button whose group decides its exclusivity as a check box. Every one of
// these controls, drop-down lists included, also keeps the focus action that
// assistive tools use to move the focus (AT-SPI's grab-focus). Idempotent;
// needs a QApplication.
void InstallControlAccessibility();

} // namespace dialogkit
