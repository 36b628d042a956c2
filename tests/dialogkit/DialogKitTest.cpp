// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog layer's own rules: integers as the toolkit reads them, dialog
// units, radio groups and the Enter/Escape routing.
#include "Dialog.h"
#include "DialogFont.h"
#include "DialogInteger.h"
#include "MessageBox.h"
#include "UiTest.h"

#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

using namespace dialogkit;

TEST(ReadDialogInteger, ReadsAsTheToolkitDoes)
{
    struct Case {
        std::string text;
        bool ok;
        std::int32_t value;
    };
    const std::vector<Case> cases = {
        {"0", true, 0},
        {"12abc", true, 12},
        {" \t-5", true, -5},
        {"+3", true, 3},
        {"2147483647", true, 2147483647},
        {"2147483648", true, -2147483647 - 1}, // wraps modulo 2^32
        {"4294967297", true, 1},
        {"", false, 0},
        {"-", false, 0},
        {"+ 1", false, 0},
        {"abc", false, 0},
        {std::string(62, ' ') + "5", true, 5},
        {std::string(63, ' ') + "5", false, 0}, // only the first 63 characters count
    };
    for (const Case &c : cases) {
        std::int32_t value = 4711;
        const bool ok = ReadDialogInteger(c.text, value);
        EXPECT_EQ(ok, c.ok) << '"' << c.text << '"';
        if (!c.ok) {
            EXPECT_EQ(value, 4711) << "a failed read must leave the field alone";
        } else if (c.text.size() < 62) {
            EXPECT_EQ(value, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(DialogUnits, ShellDialogFontGivesTheWindowsBaseUnits)
{
    // DejaVu Sans 8 pt at 96 dpi, as on Debian.
    const DialogBaseUnits base = MeasureBaseUnits(DialogFont("MS Shell Dlg", 8));
    EXPECT_EQ(base.x, 7);
    EXPECT_EQ(base.y, 13);
    EXPECT_EQ(DialogUnitsToPixelsX(190, base), 333); // 190 * 7 / 4 = 332.5
    EXPECT_EQ(DialogUnitsToPixelsY(102, base), 166); // 102 * 13 / 8 = 165.75
}

namespace {
const DialogTemplate kProbe{
    900, "Probe", 200, 100, "MS Shell Dlg", 8, SysMenu | ModalFrame,
    {
        {11, ControlKind::AutoCheckBox, "No tab stop", 5, 5, 50, 10, 0},
        {12, ControlKind::PushButton, "Push", 60, 5, 40, 14, Group | TabStop},
        {13, ControlKind::EditText, "", 60, 25, 40, 12, TabStop | Border},
        {15, ControlKind::DropDownList, "", 60, 45, 60, 60, TabStop | Sort},
        {16, ControlKind::DefPushButton, "Default", 120, 5, 40, 14, TabStop | Hidden},
    }};

class Probe : public Dialog {
public:
    Probe() : Dialog(kProbe, nullptr)
    {
        On(12, [this] { ++pushes; });
        On(16, [this] { ++defaults; });
    }
    void DoDataExchange(DataExchange &dx) override
    {
        dx.ListText(15, item);
    }
    std::string item;
    int pushes = 0;
    int defaults = 0;
};
} // namespace

TEST(Dialog, EnterGoesToTheFocusedButtonElseTheDefaultButton)
{
    Probe dialog;
    uitest::OnNextModal([&](QWidget *w) {
        EXPECT_EQ(uitest::FocusedId(w), 12); // first visible, enabled tab stop
        uitest::PressKey(w, Qt::Key_Return);
        EXPECT_EQ(dialog.pushes, 1);
        uitest::Control(w, 13)->setFocus();
        uitest::PressKey(w, Qt::Key_Return); // the hidden default still takes it
        EXPECT_EQ(dialog.defaults, 1);
        EXPECT_TRUE(w->isVisible());
        uitest::PressKey(w, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST(Dialog, ListSelectionByPrefixIgnoringCase)
{
    Probe dialog;
    uitest::OnNextModal([&](QWidget *w) {
        auto *list = qobject_cast<QComboBox *>(uitest::Control(w, 15));
        for (const char *item : {"COM2", "com12", "COM1", "/dev/ttyUSB0"})
            dialog.AddListItem(15, item);
        // Sorted ignoring case, and adding selects nothing.
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        EXPECT_EQ(items, QStringList({"/dev/ttyUSB0", "COM1", "com12", "COM2"}));
        EXPECT_EQ(list->currentIndex(), -1);
        // The select-string search starts after the given item and wraps.
        EXPECT_TRUE(dialog.SelectListItem(15, 1, "COM1"));
        EXPECT_EQ(list->currentText(), "com12");
        EXPECT_TRUE(dialog.SelectListItem(15, 2, "COM1"));
        EXPECT_EQ(list->currentText(), "COM1");
        EXPECT_FALSE(dialog.SelectListItem(15, 0, "COM3"));
        EXPECT_EQ(list->currentText(), "COM1");
        // Adding before the selection keeps the same item selected.
        dialog.AddListItem(15, "/dev/ttyACM0");
        EXPECT_EQ(list->currentText(), "COM1");
        // The data exchange selects by prefix (the Test window's opening
        // cases show which) and reads the selected item back.
        dialog.item = "com2";
        dialog.UpdateData(false);
        dialog.UpdateData(true);
        EXPECT_EQ(dialog.item, "COM2");
        list->setCurrentIndex(-1);
        dialog.UpdateData(true);
        EXPECT_EQ(dialog.item, "");
        w->close(); // the close box is command 2
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}
