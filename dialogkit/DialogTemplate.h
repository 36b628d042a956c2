// SPDX-License-Identifier: GPL-3.0-or-later
// Windows as data: a dialog template lists its controls with their numeric
// ids, kinds, captions, styles and positions in dialog units, in creation
// order (which is also the keyboard order).
#pragma once

#include <vector>

namespace dialogkit {

// Identifiers that every dialog shares.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_STATIC = -1;

enum class ControlKind {
    PushButton,
    DefPushButton, // the default button: Enter away from other push buttons presses it
    AutoRadioButton,
    AutoCheckBox,
    EditText,
    StaticText,
    DropDownList, // drop-down list without an edit field
    ProgressBar,  // a bar from 0 to 100, which assistive tools know as a progress bar
};

// Control styles, as flags.
enum ControlStyle : unsigned {
    TabStop = 1u << 0,
    Group = 1u << 1,      // starts a group (ends the radio group before it)
    Hidden = 1u << 2,     // created invisible
    Disabled = 1u << 3,   // created disabled
    AlignCenter = 1u << 4,
    AutoHScroll = 1u << 5,
    Border = 1u << 6,
    Sort = 1u << 7,
    VScroll = 1u << 8,
    // A static text that ends in an address (after its last space): the text
    // can be selected and copied, and a click that selects nothing opens the
    // address where something can.
    EndsInAddress = 1u << 9,
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char *caption;
    int x, y, cx, cy; // dialog units
    unsigned style;
    int labelFor = 0; // a label: the id of the box or list it names (0: none)
};

enum DialogStyle : unsigned {
    SysMenu = 1u << 0,      // caption bar with a system menu and close box
    ModalFrame = 1u << 1,
    AppWindow = 1u << 2,    // shown in the task bar
};

struct DialogTemplate {
    int id;
    const char *caption;
    int cx, cy;           // client size in dialog units
    const char *fontName; // "MS Shell Dlg" is mapped to the system's sans-serif font
    int pointSize;
    unsigned style;
    std::vector<ControlTemplate> controls;
};

} // namespace dialogkit
