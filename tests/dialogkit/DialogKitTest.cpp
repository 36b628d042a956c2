// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog layer's own rules: dialog units, the first focus and a drop-down
// list's items. (Where Enter and Escape go, and how a box's integer is read,
// are tested in the windows that use them; the integer's reading also against
// its model by fuzz_numbers.)
#include "Dialog.h"
#include "DialogFont.h"
#include "UiTest.h"

#include <QAccessible>
#include <QComboBox>
#include <QListView>

#include <gtest/gtest.h>

using namespace dialogkit;

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
        {15, ControlKind::DropDownList, "", 60, 45, 60, 60, TabStop | Sort},
    }};

} // namespace

TEST(Dialog, ListSortedIgnoringCaseWithItsItemsDescribed)
{
    Dialog dialog(kProbe, nullptr);
    uitest::OnNextModal([&](QWidget *w) {
        auto *list = qobject_cast<QComboBox *>(uitest::Control(w, 15));
        EXPECT_EQ(uitest::FocusedId(w), 15); // the first tab stop, not the first control
        for (const char *item : {"COM2", "com12", "COM1", "/dev/ttyUSB0"})
            dialog.AddListItem(15, item);
        // Sorted ignoring case, and adding selects nothing.
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        EXPECT_EQ(items, QStringList({"/dev/ttyUSB0", "COM1", "com12", "COM2"}));
        EXPECT_EQ(list->currentIndex(), -1);
        // An item's description reaches assistive tools as the open list
        // shows it, in the list and as the chosen item.
        dialog.SetListItemDescription(15, 0, "FT232R USB UART");
        QAccessibleInterface *view = QAccessible::queryAccessibleInterface(list->view());
        ASSERT_TRUE(view != nullptr && view->child(0) != nullptr);
        EXPECT_EQ(view->child(0)->text(QAccessible::Description), "FT232R USB UART");
        // (Selection by prefix, ignoring case, and its reading back are the
        // Test window's opening cases.)
        w->close(); // the close box is command 2
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}
