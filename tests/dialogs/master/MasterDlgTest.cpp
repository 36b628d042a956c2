// SPDX-License-Identifier: GPL-3.0-or-later
// The Master window, driven headless through clicks and key presses.
#include "KeyCodes.h"
#include "MasterDlg.h"
#include "MessageBox.h"
#include "Resource.h"
#include "UiTest.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <tuple>

using namespace res::master;
using dialogkit::MessageRecorder;
using namespace uitest;

namespace {

const int kDurationBoxes[] = {Days, Hours, Minutes, Seconds};

QLineEdit *Box(QWidget *w, int id)
{
    return qobject_cast<QLineEdit *>(Control(w, id));
}

bool IsChecked(QWidget *w, int id)
{
    return qobject_cast<QAbstractButton *>(Control(w, id))->isChecked();
}

void ExpectBoxesEnabled(QWidget *w, bool enabled)
{
    for (int id : kDurationBoxes)
        EXPECT_EQ(Control(w, id)->isEnabled(), enabled) << id;
}

struct Decoded {
    bool ok = false; // both codes check out and belong together
    std::int32_t seconds = 0;
    std::uint32_t hide = 0;
};

// What the shown pair carries, read back with the key-code checks.
Decoded DecodeShownPair(QWidget *w)
{
    Decoded d;
    std::uint32_t nonce = 0;
    bool match = false;
    const std::string lock = Box(w, LockCode)->text().toStdString();
    const std::string unlock = Box(w, UnlockCode)->text().toStdString();
    d.ok = keycodes::CheckLockCode(lock, nonce, d.seconds, d.hide) &&
           keycodes::CheckUnlockCode(unlock, nonce, match) && match;
    return d;
}

// Makes every seventh pair with a broken unlock code, to see BULK count the
// failures: real pairs always check out.
class FlakyPairMaster : public MasterDlg {
protected:
    keycodes::KeyCodes MakePair(std::int32_t seconds, int hide) override
    {
        keycodes::KeyCodes codes = MasterDlg::MakePair(seconds, hide);
        if (++made % 7 == 0)
            codes.unlockCode = "Uffffffff0000";
        return codes;
    }

private:
    int made = 0;
};

} // namespace

// One window: first without a pointer, Tab, the arrow keys, Space, typing and
// Enter make a timed, hidden pair (the radio group is one tab stop, after the
// check box; the arrow keys choose as a click does, so the boxes follow the
// choice). Then each duration and hide flag, chosen by clicks or as a screen
// reader does, goes into the pair. (What the window first shows is read by
// these cases: a box that held no number, or a wrong first choice, would
// show in them.)
TEST(MasterDlg, KeyboardAloneThenClicksAndScreenReaderMakeEachPair)
{
    const struct {
        bool timed;
        const char *days, *hours, *minutes, *seconds;
        bool hide;
        std::int32_t expectedSeconds;
        // The radio buttons and the check box chosen as a screen reader does,
        // through their accessible actions, instead of clicks.
        bool accessible = false;
    } cases[] = {
        {true, "24856", "0", "0", "0", false, -2147408896}, // wraps around
        {true, "0", "0", "-5", "0", false, -300},
        {false, "3", "4", "5", "6", false, 0}, // until unlocked: the boxes do not count
        {true, "7 days", "12abc", " +1", "0", false, 7 * 86400 + 12 * 3600 + 60},
        {true, "0", "1", "0", "0", true, 3600, true},
        {false, "0", "1", "0", "0", false, 0, true},
    };
    MasterDlg dialog;
    MessageRecorder messages;
    OnNextModal([&](QWidget *w) {
        const auto tab = [&] {
            PressKey(w, Qt::Key_Tab);
            return FocusedId(w);
        };
        const auto type = [&](const char *text) { QTest::keyClicks(w->focusWidget(), text); };
        EXPECT_EQ(FocusedId(w), GenerateKeyCode);
        for (int i = 0; i < 5; ++i)
            tab();
        EXPECT_EQ(FocusedId(w), LockUntilUnlocked);
        PressKey(w, Qt::Key_Down);
        EXPECT_EQ(FocusedId(w), LockForTime);
        EXPECT_TRUE(IsChecked(w, LockForTime));
        ExpectBoxesEnabled(w, true);

        // The hidden buttons are passed over.
        QList<int> order;
        for (const char *text : {"", "", "", "", "1", "3", "2", "4"}) {
            order << tab();
            type(text);
        }
        EXPECT_EQ(order, (QList<int>{GenerateKeyCode, dialogkit::IDCANCEL, UnlockCode, LockCode, Days, Minutes,
                                     Hours, Seconds}));
        EXPECT_EQ(tab(), HideTime);
        PressKey(w, Qt::Key_Space);
        EXPECT_EQ(tab(), LockForTime) << "the checked button holds the group's tab stop";
        EXPECT_EQ(tab(), GenerateKeyCode);
        PressKey(w, Qt::Key_Return);
        const Decoded keyed = DecodeShownPair(w);
        EXPECT_TRUE(keyed.ok);
        EXPECT_EQ(keyed.seconds, 93784);
        EXPECT_EQ(keyed.hide & 1u, 1u);
        ExpectEveryControlReachable(w);

        // TEST and BULK are hidden in the product.
        EXPECT_FALSE(Control(w, TestButton)->isVisible());
        EXPECT_FALSE(Control(w, BulkButton)->isVisible());
        // As a screen reader meets them: a box by its label, the radio
        // buttons as radio buttons.
        EXPECT_EQ(SpokenName(w, Hours), "Hours");
        EXPECT_EQ(AccessibleOf(w, LockUntilUnlocked)->role(), QAccessible::RadioButton);
        EXPECT_EQ(AccessibleOf(w, LockForTime)->role(), QAccessible::RadioButton);
        EXPECT_EQ(AccessibleOf(w, HideTime)->role(), QAccessible::CheckBox);

        for (const auto &c : cases) {
            SCOPED_TRACE(c.expectedSeconds);
            // A click, or the accessible action, which must do what a click does.
            const auto choose = [&](int id) {
                if (!c.accessible)
                    return Click(w, id);
                QAccessibleActionInterface *actions = AccessibleOf(w, id)->actionInterface();
                ASSERT_NE(actions, nullptr);
                const QString action = id == LockUntilUnlocked ? QAccessibleActionInterface::pressAction()
                                                               : QAccessibleActionInterface::toggleAction();
                EXPECT_TRUE(actions->actionNames().contains(action)) << id;
                const bool before = IsChecked(w, id);
                const bool after = id == HideTime ? !before : true;
                actions->doAction(action);
                // The click comes once the assistive tool's call has returned.
                EXPECT_EQ(IsChecked(w, id), before) << id;
                EXPECT_TRUE(QTest::qWaitFor([&] { return AccessibleOf(w, id)->state().checked == after; }, 10000)) << id;
            };
            // The radio buttons enable and disable the boxes, which keep their text.
            choose(LockForTime);
            ExpectBoxesEnabled(w, true);
            TypeInto(w, Days, c.days);
            TypeInto(w, Hours, c.hours);
            TypeInto(w, Minutes, c.minutes);
            TypeInto(w, Seconds, c.seconds);
            if (!c.timed) {
                choose(LockUntilUnlocked);
                ExpectBoxesEnabled(w, false);
                EXPECT_EQ(Box(w, Hours)->text(), c.hours);
            }
            if (c.hide != IsChecked(w, HideTime))
                choose(HideTime);
            Click(w, GenerateKeyCode);

            const Decoded d = DecodeShownPair(w);
            EXPECT_TRUE(d.ok);
            EXPECT_EQ(d.seconds, c.expectedSeconds);
            EXPECT_EQ(d.hide & 1u, c.hide ? 1u : 0u);
        }
        PressKey(w, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.DoModal(), dialogkit::IDCANCEL);
    EXPECT_TRUE(messages.messages.empty());
}

// "Enter an integer." for each kind of text that holds no number (an empty
// box, only blanks, a lone sign, a letter first) in the hours box, on
// "Generate key code", on switching to "until unlocked" and on Enter.
TEST(MasterDlg, NonNumberInABoxStopsTheReadingThere)
{
    for (const char *bad : {"", "   ", "-", "abc"}) {
        SCOPED_TRACE(bad);
        MasterDlg dialog;
        MessageRecorder messages;
        OnNextModal([&](QWidget *w) {
            Click(w, LockForTime); // reads all boxes: every field 0, lock mode 1
            TypeInto(w, Days, "1");
            TypeInto(w, Hours, bad);
            TypeInto(w, Minutes, "3");
            Click(w, HideTime); // no handler: the hide field is still 0
            Click(w, GenerateKeyCode);
            // Days was read before the bad box; minutes and the check box
            // were not, and the boxes show what the pair was made from.
            const Decoded d = DecodeShownPair(w);
            EXPECT_TRUE(d.ok);
            EXPECT_EQ(d.seconds, 86400);
            EXPECT_EQ(d.hide & 1u, 0u);
            EXPECT_EQ(Box(w, Days)->text(), "1");
            EXPECT_EQ(Box(w, Hours)->text(), "0");
            EXPECT_EQ(Box(w, Minutes)->text(), "0");
            EXPECT_FALSE(IsChecked(w, HideTime));

            TypeInto(w, Hours, bad);
            Click(w, LockUntilUnlocked);
            EXPECT_TRUE(IsChecked(w, LockForTime));
            EXPECT_FALSE(IsChecked(w, LockUntilUnlocked));
            ExpectBoxesEnabled(w, true);

            TypeInto(w, Hours, bad);
            TypeInto(w, Days, "2");
            PressKey(w, Qt::Key_Return);
            EXPECT_TRUE(w->isVisible());
            // The focus goes to the offending box, its whole text selected.
            EXPECT_EQ(FocusedId(w), Hours);
            EXPECT_EQ(Box(w, Hours)->selectedText(), bad);
            TypeInto(w, Hours, "10");
            PressKey(w, Qt::Key_Return); // every box reads: the window ends
        });
        EXPECT_EQ(dialog.DoModal(), dialogkit::IDOK);
        EXPECT_EQ(uitest::Texts(messages), QStringList(3, "Enter an integer."));
        EXPECT_TRUE(!messages.messages.empty() &&
                    messages.messages[0].icon == dialogkit::MessageIcon::Warning);
    }
}

// BULK checks each pair as the hidden TEST button does, so a pair whose codes
// do not belong together counts as failed.
TEST(MasterDlg, BulkSaysAllGoodOnlyWhenEveryPassCheckedOutElseHowManyFailed)
{
    MasterDlg good;
    FlakyPairMaster flaky;
    const std::tuple<MasterDlg *, int, QString> runs[] = {{&good, 0, "All good out of 1000"},
                                                          {&flaky, 142, "142 failed out of 1000"}};
    for (const auto &[dialog, failed, last] : runs) {
        MessageRecorder messages;
        OnNextModal([&](QWidget *w) {
            Control(w, BulkButton)->show();
            Click(w, BulkButton);
            // Lock mode 0 made every pair for "until unlocked".
            EXPECT_EQ(DecodeShownPair(w).seconds, 0);
            w->close();
        });
        dialog->DoModal();
        const QStringList texts = uitest::Texts(messages);
        EXPECT_EQ(texts.count("Unlock code did not match lock code"), failed);
        EXPECT_EQ(texts.size(), failed + 1);
        EXPECT_EQ(texts.value(failed), last);
    }
}
