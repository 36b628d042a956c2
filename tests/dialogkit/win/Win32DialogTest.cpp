// SPDX-License-Identifier: GPL-3.0-or-later
// The Win32 side of the dialog layer under Wine: a real modal run, driven
// from its own timer through window messages, as the user's keys and clicks
// reach it through Windows' dialog manager.
#include "Dialog.h"
#include "MessageBox.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace dialogkit;

namespace {

const DialogTemplate kProbe{
    950, "Win32 probe", 200, 100, "MS Shell Dlg", 8, SysMenu | ModalFrame,
    {
        {11, ControlKind::AutoRadioButton, "One", 5, 5, 50, 10, Group | TabStop},
        {12, ControlKind::AutoRadioButton, "Two", 5, 17, 50, 10, 0},
        {13, ControlKind::AutoCheckBox, "Check", 5, 30, 50, 10, Group | TabStop},
        {14, ControlKind::EditText, "", 60, 5, 60, 12, TabStop | Border | AutoHScroll},
        {15, ControlKind::EditText, "", 60, 20, 60, 12, TabStop | Border | AutoHScroll},
        {16, ControlKind::DropDownList, "", 60, 35, 60, 60, TabStop | Sort | VScroll},
        {17, ControlKind::PushButton, "Push", 5, 60, 40, 14, TabStop},
        {18, ControlKind::DefPushButton, "Default", 50, 60, 40, 14, TabStop},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 95, 60, 40, 14, TabStop},
        {19, ControlKind::ProgressBar, "", 140, 5, 50, 10, 0},
        {20, ControlKind::StaticText, "Guide: file:///C:/guide.md", 140, 20, 55, 20, EndsInAddress},
    }};

// Each step runs from one timer tick; keys posted in a step have been through
// the dialog manager before the next tick comes.
class Probe : public Dialog {
public:
    explicit Probe(std::vector<std::function<void(Probe &, HWND)>> steps)
        : Dialog(kProbe, nullptr), m_steps(std::move(steps))
    {
        for (int id : {11, 12, 17, 18})
            On(id, [this, id] { commands.push_back(id); });
    }

    void DoDataExchange(DataExchange &dx) override
    {
        dx.Text(14, text);
        dx.Int(15, number);
        dx.Radio(11, choice);
        dx.Check(13, checked);
        dx.ListText(16, port);
    }

    bool OnInitDialog() override
    {
        for (const char *item : {"COM2", "com12", "COM1", "/dev/ttyUSB0"})
            AddListItem(16, item);
        Dialog::OnInitDialog();
        StartTimer(std::chrono::milliseconds(20), [this] {
            if (m_next < m_steps.size())
                m_steps[m_next++](*this, FindWindowW(L"#32770", L"Win32 probe"));
        });
        return true;
    }

    std::string text = "h\xC3\xA9llo"; // "héllo": UTF-8 inside, UTF-16 in the window
    std::int32_t number = -42;
    int choice = 1;
    int checked = 1;
    std::string port = "com2";
    std::vector<int> commands;

private:
    std::vector<std::function<void(Probe &, HWND)>> m_steps;
    std::size_t m_next = 0;
};

std::wstring Text(HWND dialog, int id)
{
    wchar_t text[64] = {};
    GetDlgItemTextW(dialog, id, text, 64);
    return text;
}

std::vector<std::wstring> ListItems(HWND list)
{
    std::vector<std::wstring> items;
    for (LRESULT i = 0; i < SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t text[64] = {};
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.emplace_back(text);
    }
    return items;
}

void Key(HWND dialog, int focusId, WPARAM key)
{
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, focusId)), TRUE);
    PostMessageW(GetDlgItem(dialog, focusId), WM_KEYDOWN, key, 0);
}

} // namespace

TEST(Win32Dialog, ControlsExchangeKeysAndMessagesThroughWindows)
{
    MessageRecorder recorder;
    HWND list = nullptr;
    Probe dialog({
        [&](Probe &p, HWND d) {
            ASSERT_NE(d, nullptr);
            list = GetDlgItem(d, 16);
            // The common control's bar, which assistive tools know as one.
            wchar_t barClass[32] = {};
            GetClassNameW(GetDlgItem(d, 19), barClass, 32);
            EXPECT_EQ(std::wstring(barClass), PROGRESS_CLASSW);
            p.SetProgress(19, 40);
            EXPECT_EQ(SendDlgItemMessageW(d, 19, PBM_GETPOS, 0, 0), 40);
            // A text that ends in an address can be selected and copied.
            SendDlgItemMessageW(d, 20, EM_SETSEL, 7, -1);
            DWORD from = 0, to = 0;
            SendDlgItemMessageW(d, 20, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
            EXPECT_EQ(Text(d, 20), L"Guide: file:///C:/guide.md");
            EXPECT_EQ(to - from, 19u) << "the address is not selectable";
            // The fields as written at the start, and the first tab stop.
            EXPECT_EQ(GetFocus(), GetDlgItem(d, 11));
            EXPECT_EQ(Text(d, 14), L"h\u00E9llo");
            EXPECT_EQ(Text(d, 15), L"-42");
            EXPECT_EQ(IsDlgButtonChecked(d, 11), BST_UNCHECKED);
            EXPECT_EQ(IsDlgButtonChecked(d, 12), BST_CHECKED);
            EXPECT_EQ(IsDlgButtonChecked(d, 13), BST_CHECKED);
            // Sorted ignoring case, selected by prefix ignoring case.
            EXPECT_EQ(ListItems(list), (std::vector<std::wstring>{L"/dev/ttyUSB0", L"COM1", L"com12", L"COM2"}));
            EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 3);
        },
        [&](Probe &p, HWND d) {
            SetDlgItemTextW(d, 14, L"n\u00FC");
            SetDlgItemTextW(d, 15, L"7 days");
            SendMessageW(GetDlgItem(d, 11), BM_CLICK, 0, 0); // a radio button's click is its command
            SendMessageW(GetDlgItem(d, 13), BM_CLICK, 0, 0);
            SendMessageW(list, CB_SETCURSEL, 1, 0);
            p.AddListItem(16, "/dev/ttyACM0"); // before the selection, which stays on COM1
            EXPECT_TRUE(p.UpdateData(true));
            EXPECT_EQ(p.text, "n\xC3\xBC");
            EXPECT_EQ(p.number, 7);
            EXPECT_EQ(p.choice, 0);
            EXPECT_EQ(p.checked, 0);
            EXPECT_EQ(p.port, "COM1");
            EXPECT_EQ(IsDlgButtonChecked(d, 12), BST_UNCHECKED);
            Key(d, 11, VK_DOWN); // the arrow keys move the choice within the group
        },
        [&](Probe &p, HWND d) {
            EXPECT_EQ(IsDlgButtonChecked(d, 12), BST_CHECKED);
            EXPECT_EQ(p.commands, (std::vector<int>{11, 12}));
            p.commands.clear();
            Key(d, 14, VK_RETURN); // away from push buttons: the default button
        },
        [&](Probe &, HWND d) { Key(d, 17, VK_RETURN); }, // a focused push button takes Enter
        [&](Probe &p, HWND d) {
            EXPECT_EQ(p.commands, (std::vector<int>{18, 17}));
            SetDlgItemTextW(d, 15, L"abc");
            EXPECT_FALSE(p.UpdateData(true));
            EXPECT_EQ(p.number, 7);
            ASSERT_EQ(recorder.messages.size(), 1u);
            EXPECT_EQ(recorder.messages[0].text, "Enter an integer.");
            EXPECT_EQ(recorder.messages[0].icon, MessageIcon::Warning);
            EXPECT_EQ(recorder.messages[0].owner, "Win32 probe");
            DWORD from = 0, to = 0;
            SendMessageW(GetDlgItem(d, 15), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
            EXPECT_EQ(GetFocus(), GetDlgItem(d, 15));
            EXPECT_EQ(from, 0u);
            EXPECT_EQ(to, 3u);
            Key(d, 15, VK_ESCAPE);
        },
        [](Probe &, HWND d) { ADD_FAILURE() << "Escape did not end the dialog"; EndDialog(d, -1); },
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST(Win32Dialog, TheCloseBoxIsCommandTwo)
{
    Probe dialog({[](Probe &, HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); },
                  [](Probe &, HWND d) { EndDialog(d, -1); }});
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}
