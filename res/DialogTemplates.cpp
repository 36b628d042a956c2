// SPDX-License-Identifier: GPL-3.0-or-later
// Each window as it is drawn: id, kind, caption, x, y, width, height in
// dialog units, styles, and for a label the control it names.
#include "DialogTemplates.h"

#include "Guide.h"
#include "Resource.h"

#include <string>

using namespace dialogkit;

namespace res {

namespace {
constexpr const char *kShellFont = "MS Shell Dlg";
constexpr unsigned kEdit = TabStop | Border | AutoHScroll;
} // namespace

const DialogTemplate &MainDialogTemplate()
{
    static const DialogTemplate t{
        main_window::Dialog, "Vandrel", 190, 102, kShellFont, 8, ModalFrame | AppWindow,
        {
            {IDCANCEL, ControlKind::PushButton, "Close", 105, 48, 50, 16, TabStop},
            {main_window::Master, ControlKind::PushButton, "Master", 33, 18, 50, 14, TabStop},
            {main_window::Sub, ControlKind::PushButton, "Sub", 105, 18, 50, 14, TabStop},
            {main_window::TestSafe, ControlKind::PushButton, "Test safe", 33, 48, 50, 14, TabStop},
            {main_window::VersionLine, ControlKind::StaticText, "Static", 0, 78, 186, 12,
             AlignCenter | Group},
        }};
    return t;
}

const DialogTemplate &MasterDialogTemplate()
{
    using namespace master;
    static const DialogTemplate t{
        Dialog, "Master", 285, 217, kShellFont, 8, SysMenu | ModalFrame,
        {
            // The radio group is one tab stop, so that a timed lock can be
            // chosen without a mouse.
            {LockUntilUnlocked, ControlKind::AutoRadioButton, "Lock until safe is unlocked", 6, 12,
             98, 10, Group | TabStop},
            {LockForTime, ControlKind::AutoRadioButton, "Lock until this time has passed:", 6, 30,
             115, 10, 0},
            {GenerateKeyCode, ControlKind::PushButton, "Generate key code", 103, 108, 80, 14,
             Group | TabStop},
            {IDCANCEL, ControlKind::PushButton, "Close", 117, 192, 50, 14, TabStop},
            {UnlockCode, ControlKind::EditText, "", 126, 162, 138, 13, kEdit},
            {LockCode, ControlKind::EditText, "", 126, 138, 138, 13, kEdit},
            {IDC_STATIC, ControlKind::StaticText, "Lock code", 36, 138, 78, 13, 0, LockCode},
            {IDC_STATIC, ControlKind::StaticText, "Unlock code", 36, 162, 78, 13, 0, UnlockCode},
            {TestButton, ControlKind::PushButton, "TEST", 180, 186, 42, 18, TabStop | Hidden},
            {1015, ControlKind::StaticText, "Days", 210, 15, 17, 8, 0, Days},
            {Days, ControlKind::EditText, "", 162, 13, 40, 12, kEdit},
            {1016, ControlKind::StaticText, "Hours", 210, 33, 20, 8, 0, Hours},
            {Minutes, ControlKind::EditText, "", 162, 48, 40, 12, kEdit},
            {1018, ControlKind::StaticText, "Seconds", 210, 69, 28, 8, 0, Seconds},
            {Hours, ControlKind::EditText, "", 162, 30, 40, 12, kEdit},
            {Seconds, ControlKind::EditText, "", 162, 66, 40, 12, kEdit},
            {1017, ControlKind::StaticText, "Minutes", 210, 51, 26, 8, 0, Minutes},
            {BulkButton, ControlKind::PushButton, "BULK", 228, 186, 43, 20, TabStop | Hidden},
            {HideTime, ControlKind::AutoCheckBox, "Hide time from sub", 6, 60, 75, 10, TabStop},
        }};
    return t;
}

const DialogTemplate &SubDialogTemplate()
{
    using namespace sub;
    static const DialogTemplate t{
        Dialog, "Sub", 285, 135, kShellFont, 8, SysMenu | ModalFrame,
        {
            {IDCANCEL, ControlKind::PushButton, "Close", 117, 102, 50, 14, TabStop},
            {Code, ControlKind::EditText, "", 86, 18, 138, 13, kEdit},
            {IDC_STATIC, ControlKind::StaticText, "Lock or unlock code", 7, 18, 67, 13, 0, Code},
            {ApplyCode, ControlKind::PushButton, "Apply code", 228, 17, 50, 14, TabStop},
            {Status, ControlKind::StaticText, "Static", 31, 47, 182, 36, 0},
            {UpdateTime, ControlKind::PushButton, "Update time", 228, 60, 50, 14, TabStop},
        }};
    return t;
}

const DialogTemplate &TestDialogTemplate()
{
    using namespace test;
    static const std::string instructions = "You must follow the instructions at: " + GuideAddress();
    static const DialogTemplate t{
        Dialog, "Test", 292, 270, kShellFont, 8, SysMenu | ModalFrame,
        {
            {Send, ControlKind::DefPushButton, "Send", 190, 228, 50, 14, TabStop},
            {IDCANCEL, ControlKind::PushButton, "Close", 120, 252, 50, 14, TabStop},
            {CommandText, ControlKind::EditText, "", 94, 228, 93, 13, kEdit},
            {ArduinoFolder, ControlKind::EditText, "", 96, 30, 186, 13, kEdit},
            {IDC_STATIC, ControlKind::StaticText, "Arduino directory (contains ardiuno.exe)", 12,
             30, 82, 24, Group, ArduinoFolder},
            {PortList, ControlKind::DropDownList, "", 96, 60, 186, 96, TabStop | Sort | VScroll},
            {IDC_STATIC, ControlKind::StaticText, "COM port", 54, 60, 32, 8, Group, PortList},
            {UploadBlink, ControlKind::PushButton, "Upload Blink", 79, 126, 60, 14, TabStop},
            {UploadCadrelle, ControlKind::PushButton, "Upload Cadrelle", 151, 126, 60, 14,
             TabStop},
            {TestLock, ControlKind::PushButton, "Test Lock", 49, 204, 60, 14, TabStop},
            {TestUnlock, ControlKind::PushButton, "Test Unlock", 115, 204, 60, 14, TabStop},
            {ViewUploadLog, ControlKind::PushButton, "View last upload log", 79, 145, 132, 14,
             TabStop},
            {IDC_STATIC, ControlKind::StaticText,
             "To use the Vandrel, you must upload firmware to the Arduino.\n"
             "Blink is a test program which turns the safe on and off once a second.\n"
             "Cadrelle is the main program for using the Vandrel.",
             24, 84, 261, 30, Group},
            {GetVersion, ControlKind::PushButton, "Get Version", 181, 204, 60, 14, TabStop},
            {IDC_STATIC, ControlKind::StaticText,
             "None of the other features of this application will work unless 'Cadrelle' is "
             "uploaded to the Arduino.",
             60, 174, 180, 18, Group},
            {IDC_STATIC, ControlKind::StaticText,
             instructions.c_str(), 12, 12, 270, 16, Group | EndsInAddress},
            {IDC_STATIC, ControlKind::StaticText, "System test", 52, 230, 39, 8, Group,
             CommandText},
        }};
    return t;
}

const DialogTemplate &VersionDialogTemplate()
{
    using namespace version;
    static const DialogTemplate t{
        Dialog, "Version", 256, 90, kShellFont, 8, SysMenu | ModalFrame,
        {
            {Done, ControlKind::DefPushButton, "Done", 102, 60, 50, 14, TabStop},
            {SoftwareVersion, ControlKind::StaticText, "Static", 18, 18, 224, 8, Group},
            {FirmwareVersion, ControlKind::StaticText, "Static", 18, 36, 224, 8, Group},
        }};
    return t;
}

// Shown over the Test window while the uploader runs: what is uploaded
// where, how far it has come (in words, and as a bar for the current stage),
// and the way to stop it (Cancel, Escape or the close box).
const DialogTemplate &UploadProgressDialogTemplate()
{
    using namespace upload_progress;
    static const DialogTemplate t{
        Dialog, "Upload", 220, 92, kShellFont, 8, SysMenu | ModalFrame,
        {
            {IDCANCEL, ControlKind::DefPushButton, "Cancel", 85, 68, 50, 14, TabStop},
            {What, ControlKind::StaticText, "Static", 12, 12, 196, 16, Group},
            {Progress, ControlKind::StaticText, "Static", 12, 32, 196, 8, Group},
            {Bar, ControlKind::ProgressBar, "", 12, 46, 196, 10, Group},
        }};
    return t;
}

} // namespace res
