// The Master window, driven headless through clicks and key presses.
#include "KeyCodes.h"
#include "MasterDlg.h"
#include "MessageBox.h"
#include "Resource.h"
#include "UiTest.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace res::master;
using dialogkit::MessageIcon;
using dialogkit::MessageRecorder;
using uitest::Click;
using uitest::Control;
using uitest::OnNextModal;
using uitest::PressKey;
using uitest::TypeInto;

namespace {

QString TextOf(QWidget *w, int id)
{
    return qobject_cast<QLineEdit *>(Control(w, id))->text();
}

bool IsChecked(QWidget *w, int id)
{
    return qobject_cast<QAbstractButton *>(Control(w, id))->isChecked();
}

struct Decoded {
    bool ok = false;
    std::int32_t seconds = 0;
    std::uint32_t hide = 0;
    bool unlockMatches = false;
};

// What the shown pair carries, read back with the key-code checks.
Decoded DecodeShownPair(QWidget *w)
{
    Decoded d;
    std::uint32_t nonce = 0;
    d.ok = keycodes::CheckLockCode(TextOf(w, LockCode).toStdString(), nonce, d.seconds, d.hide);
    if (d.ok)
        d.ok = keycodes::CheckUnlockCode(TextOf(w, UnlockCode).toStdString(), nonce,
                                         d.unlockMatches);
    return d;
}

// The TEST and BULK buttons are hidden in the product; the tests show them
// so that they can be pressed like any other button.
void Reveal(QWidget *w, int id)
{
    Control(w, id)->setVisible(true);
}

} // namespace

TEST(MasterDlg, FirstDisplay)
{
    MasterDlg dialog;
    OnNextModal([](QWidget *w) {
        EXPECT_EQ(TextOf(w, LockCode), "Click 'Generate key code'");
        EXPECT_EQ(TextOf(w, UnlockCode), "Click 'Generate key code'");
        for (int id : {Days, Hours, Minutes, Seconds}) {
            EXPECT_EQ(TextOf(w, id), "0") << id;
            EXPECT_FALSE(Control(w, id)->isEnabled()) << id;
        }
        EXPECT_TRUE(IsChecked(w, LockUntilUnlocked));
        EXPECT_FALSE(IsChecked(w, LockForTime));
        EXPECT_FALSE(IsChecked(w, HideTime));
        EXPECT_FALSE(Control(w, TestButton)->isVisible());
        EXPECT_FALSE(Control(w, BulkButton)->isVisible());
        EXPECT_EQ(uitest::FocusedId(w), GenerateKeyCode);
        EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
        PressKey(w, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.DoModal(), dialogkit::IDCANCEL);
}

TEST(MasterDlg, RadioButtonsEnableAndDisableTheDurationBoxesKeepingTheirText)
{
    MasterDlg dialog;
    OnNextModal([](QWidget *w) {
        Click(w, LockForTime);
        for (int id : {Days, Hours, Minutes, Seconds})
            EXPECT_TRUE(Control(w, id)->isEnabled()) << id;
        TypeInto(w, Hours, "5");
        Click(w, LockUntilUnlocked);
        for (int id : {Days, Hours, Minutes, Seconds})
            EXPECT_FALSE(Control(w, id)->isEnabled()) << id;
        EXPECT_EQ(TextOf(w, Hours), "5");
        w->close();
    });
    dialog.DoModal();
}

struct DurationCase {
    const char *name;
    bool timed;
    const char *days, *hours, *minutes, *seconds;
    bool hide;
    std::int32_t expectedSeconds;
};

class MasterDurations : public ::testing::TestWithParam<DurationCase> {};

TEST_P(MasterDurations, GeneratedLockCodeCarriesTheDuration)
{
    const DurationCase c = GetParam();
    MasterDlg dialog;
    OnNextModal([&](QWidget *w) {
        Click(w, LockForTime);
        TypeInto(w, Days, c.days);
        TypeInto(w, Hours, c.hours);
        TypeInto(w, Minutes, c.minutes);
        TypeInto(w, Seconds, c.seconds);
        if (!c.timed)
            Click(w, LockUntilUnlocked);
        if (c.hide)
            Click(w, HideTime);
        Click(w, GenerateKeyCode);

        const Decoded d = DecodeShownPair(w);
        EXPECT_TRUE(d.ok);
        EXPECT_TRUE(d.unlockMatches);
        EXPECT_EQ(d.seconds, c.expectedSeconds);
        EXPECT_EQ(d.hide & 1u, c.hide ? 1u : 0u);
        EXPECT_EQ(TextOf(w, LockCode).size(), 21);
        EXPECT_EQ(TextOf(w, UnlockCode).size(), 13);
        w->close();
    });
    MessageRecorder messages;
    dialog.DoModal();
    EXPECT_TRUE(messages.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MasterDurations,
    ::testing::Values(
        DurationCase{"DaysHoursMinutesSeconds", true, "1", "2", "3", "4", false, 93784},
        DurationCase{"DaysWrapAround", true, "24856", "0", "0", "0", false, -2147408896},
        DurationCase{"NegativeMinutes", true, "0", "0", "-5", "0", false, -300},
        DurationCase{"HoursBeyondADay", true, "0", "25", "0", "0", false, 90000},
        DurationCase{"UntilUnlockedIgnoresBoxes", false, "3", "4", "5", "6", false, 0},
        DurationCase{"HiddenUntilUnlocked", false, "0", "0", "0", "0", true, 0},
        DurationCase{"HiddenTimed", true, "0", "1", "0", "0", true, 3600},
        DurationCase{"TrailingTextAfterDigits", true, "7 days", "12abc", " +1", "0", false,
                     7 * 86400 + 12 * 3600 + 60}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MasterDlg, NonNumberInABoxKeepsThePreviousValuesOfItAndTheFieldsAfterIt)
{
    MasterDlg dialog;
    MessageRecorder messages;
    OnNextModal([&](QWidget *w) {
        Click(w, LockForTime); // reads all boxes: every field 0, lock mode 1
        TypeInto(w, Days, "1");
        TypeInto(w, Hours, "abc");
        TypeInto(w, Minutes, "3");
        Click(w, HideTime); // no handler: the hide field is still 0
        Click(w, GenerateKeyCode);

        ASSERT_EQ(messages.texts(), QStringList{"Enter an integer."});
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Warning);
        // Days was read before the bad box; minutes and the check box were not.
        const Decoded d = DecodeShownPair(w);
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.seconds, 86400);
        EXPECT_EQ(d.hide & 1u, 0u);
        EXPECT_EQ(TextOf(w, Days), "1");
        EXPECT_EQ(TextOf(w, Hours), "0");
        EXPECT_EQ(TextOf(w, Minutes), "0");
        EXPECT_FALSE(IsChecked(w, HideTime));
        w->close();
    });
    dialog.DoModal();
}

TEST(MasterDlg, NonNumberBlocksSwitchingToUntilUnlocked)
{
    for (const char *bad : {"abc", "", "   ", "-", "+x"}) {
        SCOPED_TRACE(bad);
        MasterDlg dialog;
        MessageRecorder messages;
        OnNextModal([&](QWidget *w) {
            Click(w, LockForTime);
            TypeInto(w, Seconds, bad);
            Click(w, LockUntilUnlocked);
            EXPECT_EQ(messages.texts(), QStringList{"Enter an integer."});
            EXPECT_TRUE(IsChecked(w, LockForTime));
            EXPECT_FALSE(IsChecked(w, LockUntilUnlocked));
            for (int id : {Days, Hours, Minutes, Seconds})
                EXPECT_TRUE(Control(w, id)->isEnabled()) << id;
            w->close();
        });
        dialog.DoModal();
    }
}

TEST(MasterDlg, EnterInAnEditBoxEndsTheWindowOnlyWhenEveryBoxReads)
{
    {
        MasterDlg dialog;
        OnNextModal([](QWidget *w) {
            Click(w, LockForTime);
            TypeInto(w, Minutes, "10");
            PressKey(w, Qt::Key_Return);
        });
        EXPECT_EQ(dialog.DoModal(), dialogkit::IDOK);
    }
    {
        MasterDlg dialog;
        MessageRecorder messages;
        bool stayedOpen = false;
        OnNextModal([&](QWidget *w) {
            Click(w, LockForTime);
            TypeInto(w, Hours, "abc");
            TypeInto(w, Days, "2");
            PressKey(w, Qt::Key_Enter);
            stayedOpen = w->isVisible();
            EXPECT_EQ(messages.texts(), QStringList{"Enter an integer."});
            // The focus goes to the offending box, its whole text selected.
            EXPECT_EQ(uitest::FocusedId(w), Hours);
            EXPECT_EQ(qobject_cast<QLineEdit *>(Control(w, Hours))->selectedText(), "abc");
            w->close();
        });
        EXPECT_EQ(dialog.DoModal(), dialogkit::IDCANCEL);
        EXPECT_TRUE(stayedOpen);
    }
}

TEST(MasterDlg, TestButtonChecksTheShownPair)
{
    const keycodes::KeyCodes other = keycodes::MakeKeyCodesAt(4242, 60, 0);
    MasterDlg dialog;
    MessageRecorder messages;
    OnNextModal([&](QWidget *w) {
        Reveal(w, TestButton);
        Click(w, TestButton); // the "Click 'Generate key code'" texts are no code
        EXPECT_EQ(messages.texts(), QStringList{"Lock code failed"});
        messages.clear();

        Click(w, GenerateKeyCode);
        Click(w, TestButton);
        EXPECT_TRUE(messages.messages.empty());

        const QString lock = TextOf(w, LockCode);
        const QString unlock = TextOf(w, UnlockCode);
        QString changed = lock;
        changed[7] = changed[7] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
        TypeInto(w, LockCode, changed);
        Click(w, TestButton);
        EXPECT_EQ(messages.texts(), QStringList{"Lock code failed"});
        messages.clear();

        TypeInto(w, LockCode, lock);
        TypeInto(w, UnlockCode, "U1234");
        Click(w, TestButton);
        EXPECT_EQ(messages.texts(), QStringList{"Unlock code failed"});
        messages.clear();

        TypeInto(w, UnlockCode, QString::fromStdString(other.unlockCode));
        Click(w, TestButton);
        EXPECT_EQ(messages.texts(), QStringList{"Unlock code did not match lock code"});
        w->close();
    });
    dialog.DoModal();
}

namespace {
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

TEST(MasterDlg, BulkReportsAllGoodOnlyWhenEveryPassChecksOut)
{
    {
        MasterDlg dialog;
        MessageRecorder messages;
        OnNextModal([&](QWidget *w) {
            Reveal(w, BulkButton);
            Click(w, BulkButton);
            EXPECT_EQ(messages.texts(), QStringList{"All good out of 1000"});
            for (int id : {Days, Hours, Minutes, Seconds}) {
                bool ok = false;
                const int value = TextOf(w, id).toInt(&ok);
                EXPECT_TRUE(ok && value >= 0 && value <= 999) << id;
            }
            // Lock mode 0: every pair is made for "until unlocked".
            EXPECT_EQ(DecodeShownPair(w).seconds, 0);
            w->close();
        });
        dialog.DoModal();
    }
    {
        FlakyPairMaster dialog;
        MessageRecorder messages;
        OnNextModal([&](QWidget *w) {
            Reveal(w, BulkButton);
            Click(w, BulkButton);
            const QStringList texts = messages.texts();
            ASSERT_FALSE(texts.isEmpty());
            EXPECT_EQ(texts.count("Unlock code did not match lock code"), 142);
            EXPECT_EQ(texts.last(), "142 failed out of 1000");
            w->close();
        });
        dialog.DoModal();
    }
}
