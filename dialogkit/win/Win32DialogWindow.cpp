// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog layer over Win32: each template becomes a DLGTEMPLATEEX in
// memory, run with DialogBoxIndirectParamW, so that Windows itself converts
// dialog units, draws the controls, and keeps the Tab order, the default
// button, Enter, Escape and the arrow keys of a radio group. This side only
// reads and writes the controls and hands what the user did to the Dialog.
#include "Dialog.h"
#include "DialogWindow.h"

#include "base/win/WideText.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <oleacc.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace dialogkit {

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr int kAppIconId = 128;

// The predefined classes of a dialog item, by atom.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kComboBoxClass = 0x0085;
// A common control, named by its class name in the template.
constexpr WORD kByName = 0;

// A DLGTEMPLATEEX and its DLGITEMTEMPLATEEX entries, written as the words
// Windows reads: every item starts on a 4-byte boundary.
class TemplateWriter {
public:
    void Word(WORD w) { m_words.push_back(w); }
    void Dword(DWORD d)
    {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void Short(int v) { Word(static_cast<WORD>(static_cast<short>(v))); }
    void Text(const std::string &utf8)
    {
        for (wchar_t c : windows::Utf16(utf8))
            Word(static_cast<WORD>(c));
        Word(0);
    }
    void Align()
    {
        if (m_words.size() % 2 != 0)
            Word(0);
    }
    const std::vector<WORD> &Words() const { return m_words; }

private:
    std::vector<WORD> m_words; // new[] storage: aligned for a DWORD
};

// A bordered control has the sunken edge (and, with visual styles, the
// theme's frame) that Windows gives WS_BORDER in the dialogs of programs made
// for Windows 95 and later; Wine keeps the flat line.
DWORD ControlExStyle(const ControlTemplate &c)
{
    return (c.style & Border) ? WS_EX_CLIENTEDGE : 0;
}

DWORD ControlStyle(const ControlTemplate &c, WORD &windowClass)
{
    DWORD style = WS_CHILD;
    switch (c.kind) {
    case ControlKind::PushButton:
        windowClass = kButtonClass;
        style |= BS_PUSHBUTTON;
        break;
    case ControlKind::DefPushButton:
        windowClass = kButtonClass;
        style |= BS_DEFPUSHBUTTON;
        break;
    case ControlKind::AutoRadioButton:
        windowClass = kButtonClass;
        style |= BS_AUTORADIOBUTTON;
        break;
    case ControlKind::AutoCheckBox:
        windowClass = kButtonClass;
        style |= BS_AUTOCHECKBOX;
        break;
    case ControlKind::EditText:
        windowClass = kEditClass;
        style |= ES_LEFT;
        break;
    case ControlKind::StaticText:
        if (c.style & EndsInAddress) {
            // Read-only and borderless, it looks like a static text, and its
            // text can be selected and copied (Ctrl+C, its menu).
            windowClass = kEditClass;
            style |= ES_LEFT | ES_MULTILINE | ES_READONLY;
            break;
        }
        windowClass = kStaticClass;
        // An "&" in a status or version text is shown as it is.
        style |= ((c.style & AlignCenter) ? SS_CENTER : SS_LEFT) | SS_NOPREFIX;
        break;
    case ControlKind::DropDownList:
        windowClass = kComboBoxClass;
        // Not CBS_SORT: Dialog places each item where a sorted list keeps it,
        // the same on every system.
        style |= CBS_DROPDOWNLIST;
        break;
    case ControlKind::ProgressBar:
        windowClass = kByName;
        break;
    }
    if (c.style & AutoHScroll)
        style |= ES_AUTOHSCROLL;
    if (c.style & VScroll)
        style |= WS_VSCROLL;
    if (c.style & TabStop)
        style |= WS_TABSTOP;
    if (c.style & Group)
        style |= WS_GROUP;
    if (!(c.style & Hidden))
        style |= WS_VISIBLE;
    if (c.style & Disabled)
        style |= WS_DISABLED;
    return style;
}

std::vector<WORD> BuildTemplate(const DialogTemplate &t)
{
    TemplateWriter w;
    DWORD style = WS_POPUP | WS_CAPTION | DS_SHELLFONT;
    if (t.style & ModalFrame)
        style |= DS_MODALFRAME;
    if (t.style & SysMenu)
        style |= WS_SYSMENU;
    if (t.style & AppWindow)
        style |= WS_VISIBLE | DS_CENTER;
    w.Word(1);      // dlgVer
    w.Word(0xFFFF); // signature: the extended form
    w.Dword(0);     // helpID
    w.Dword((t.style & AppWindow) ? WS_EX_APPWINDOW : 0);
    w.Dword(style);
    w.Word(static_cast<WORD>(t.controls.size()));
    w.Short(0);
    w.Short(0);
    w.Short(t.cx);
    w.Short(t.cy);
    w.Word(0); // no menu
    w.Word(0); // the dialog class
    w.Text(t.caption);
    w.Word(static_cast<WORD>(t.pointSize));
    w.Word(FW_NORMAL);
    w.Word(static_cast<WORD>(DEFAULT_CHARSET << 8)); // not italic; charset
    w.Text(t.fontName);

    for (const ControlTemplate &c : t.controls) {
        WORD windowClass = kStaticClass;
        const DWORD controlStyle = ControlStyle(c, windowClass);
        w.Align();
        w.Dword(0); // helpID
        w.Dword(ControlExStyle(c));
        w.Dword(controlStyle);
        w.Short(c.x);
        w.Short(c.y);
        w.Short(c.cx);
        w.Short(c.cy);
        w.Dword(static_cast<DWORD>(c.id));
        if (windowClass == kByName) {
            w.Text("msctls_progress32"); // PROGRESS_CLASSW
        } else {
            w.Word(0xFFFF);
            w.Word(windowClass);
        }
        w.Text(c.caption ? c.caption : "");
        w.Word(0); // no creation data
    }
    return w.Words();
}

class Win32DialogWindow final : public DialogWindow {
public:
    Win32DialogWindow(Dialog &dialog, Dialog *parent) : m_dialog(dialog), m_parent(parent) {}

    HWND Handle() const { return m_hwnd; }

    int RunModal() override
    {
        const std::vector<WORD> words = BuildTemplate(m_dialog.Template());
        // The progress bar's class, which the dialog manager cannot make
        // until it is registered (the program registers every class at its
        // start; this covers any other user of the layer).
        static const bool registered = [] {
            INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS};
            return InitCommonControlsEx(&classes) != FALSE;
        }();
        (void)registered;
        HWND owner = nullptr;
        if (m_parent != nullptr)
            owner = static_cast<Win32DialogWindow &>(m_parent->Window()).Handle();
        const INT_PTR result = DialogBoxIndirectParamW(
            GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner,
            &Win32DialogWindow::Procedure, reinterpret_cast<LPARAM>(this));
        m_hwnd = nullptr;
        return static_cast<int>(result);
    }

    void End(int result) override
    {
        if (m_hwnd != nullptr)
            EndDialog(m_hwnd, result);
    }

    std::string Title() const override
    {
        if (m_hwnd == nullptr)
            return m_dialog.Template().caption;
        return WindowText(m_hwnd);
    }

    std::string ItemText(int id) const override
    {
        HWND item = ItemOfKind(id, {ControlKind::EditText, ControlKind::StaticText});
        return item ? WindowText(item) : std::string();
    }

    void SetItemText(int id, const std::string &text) override
    {
        if (HWND item = ItemOfKind(id, {ControlKind::EditText, ControlKind::StaticText}))
            SetWindowTextW(item, windows::Utf16(text).c_str());
    }

    bool IsChecked(int id) const override
    {
        HWND item = ItemOfKind(id, {ControlKind::AutoRadioButton, ControlKind::AutoCheckBox});
        return item && SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    void SetChecked(int id, bool checked) override
    {
        if (HWND item = ItemOfKind(id, {ControlKind::AutoRadioButton, ControlKind::AutoCheckBox}))
            SendMessageW(item, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    int ListCount(int id) const override
    {
        HWND list = List(id);
        return list ? static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0)) : 0;
    }

    std::string ListItem(int id, int index) const override
    {
        HWND list = List(id);
        if (list == nullptr)
            return {};
        const LRESULT n = SendMessageW(list, CB_GETLBTEXTLEN, index, 0);
        if (n == CB_ERR)
            return {};
        std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
        SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        return windows::Utf8(text);
    }

    int ListSelection(int id) const override
    {
        HWND list = List(id);
        const LRESULT selected = list ? SendMessageW(list, CB_GETCURSEL, 0, 0) : CB_ERR;
        return selected == CB_ERR ? -1 : static_cast<int>(selected);
    }

    void SetListSelection(int id, int index) override
    {
        if (HWND list = List(id))
            SendMessageW(list, CB_SETCURSEL, index, 0);
    }

    void InsertListItem(int id, int index, const std::string &text) override
    {
        // The list keeps its selected item (none stays none) by itself.
        if (HWND list = List(id))
            SendMessageW(list, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(windows::Utf16(text).c_str()));
    }

    // A plain drop-down list shows its items' texts only.
    void SetListItemDescription(int, int, const std::string &) override {}

    void SetProgress(int id, int percent) override
    {
        SendDlgItemMessageW(m_hwnd, id, PBM_SETPOS, WPARAM(percent), 0);
    }

    void EnableItem(int id, bool enabled) override
    {
        if (HWND item = Item(id))
            EnableWindow(item, enabled);
    }

    bool IsItemEnabled(int id) const override
    {
        HWND item = Item(id);
        return item && IsWindowEnabled(item);
    }

    bool IsItemVisible(int id) const override
    {
        // Its own style: the dialog itself is still hidden while it starts.
        HWND item = Item(id);
        return item && (GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE);
    }

    void FocusItem(int id) override
    {
        // Through the dialog manager, which also moves the default button's
        // border and selects an edit box's text, as the Tab key does.
        if (HWND item = Item(id))
            SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
    }

    void SelectItemText(int id) override
    {
        HWND item = ItemOfKind(id, {ControlKind::EditText});
        if (item == nullptr)
            return;
        FocusItem(id);
        SendMessageW(item, EM_SETSEL, 0, -1);
    }

    void StartTimer(std::chrono::milliseconds interval, std::function<void()> tick) override
    {
        m_tick = std::move(tick);
        m_interval = interval;
        if (m_hwnd != nullptr)
            SetTimer(m_hwnd, kTimerId, static_cast<UINT>(interval.count()), nullptr);
    }

    void StopTimer() override
    {
        m_tick = nullptr;
        if (m_hwnd != nullptr)
            KillTimer(m_hwnd, kTimerId);
    }

    void ShowMessageBox(const std::string &caption, const std::string &text, MessageIcon icon) override
    {
        const UINT type = MB_OK | (icon == MessageIcon::Warning ? MB_ICONWARNING : 0);
        MessageBoxW(m_hwnd, windows::Utf16(text).c_str(), windows::Utf16(caption).c_str(), type);
    }

private:
    static std::string WindowText(HWND window)
    {
        const int n = GetWindowTextLengthW(window);
        std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
        GetWindowTextW(window, text.data(), n + 1);
        return windows::Utf8(text);
    }

    HWND Item(int id) const { return m_hwnd ? GetDlgItem(m_hwnd, id) : nullptr; }

    HWND ItemOfKind(int id, std::initializer_list<ControlKind> kinds) const
    {
        for (const ControlTemplate &c : m_dialog.Template().controls)
            if (c.id == id) {
                for (ControlKind kind : kinds)
                    if (c.kind == kind)
                        return Item(id);
                return nullptr;
            }
        return nullptr;
    }

    HWND List(int id) const { return ItemOfKind(id, {ControlKind::DropDownList}); }

    void SetAppIcon()
    {
        HINSTANCE module = GetModuleHandleW(nullptr);
        const struct {
            WPARAM which;
            int cx, cy;
        } sizes[] = {{ICON_BIG, SM_CXICON, SM_CYICON}, {ICON_SMALL, SM_CXSMICON, SM_CYSMICON}};
        for (const auto &size : sizes) {
            // Shared: loaded once, never destroyed by us.
            HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON,
                                     GetSystemMetrics(size.cx), GetSystemMetrics(size.cy), LR_SHARED);
            if (icon != nullptr)
                SendMessageW(m_hwnd, WM_SETICON, size.which, reinterpret_cast<LPARAM>(icon));
        }
    }

    // Screen readers name a box by the static text just before it in the
    // window order; the templates' labels often come after their boxes, so
    // each box is given its label's text. Needs COM on this thread (the
    // application starts it); without it the boxes stay unnamed.
    void NameItemsByLabels()
    {
        IAccPropServices *services = nullptr;
        if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                    reinterpret_cast<void **>(&services))))
            return;
        for (const ControlTemplate &c : m_dialog.Template().controls)
            if (HWND item = c.labelFor != 0 ? Item(c.labelFor) : nullptr)
                services->SetHwndPropStr(item, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                                         windows::Utf16(c.caption).c_str());
        services->Release();
    }

    // Over the middle of the owner, as far as the owner's screen allows.
    void CentreOverOwner()
    {
        HWND owner = GetWindow(m_hwnd, GW_OWNER);
        if (owner == nullptr)
            return;
        RECT own{}, box{};
        GetWindowRect(owner, &own);
        GetWindowRect(m_hwnd, &box);
        const int width = box.right - box.left;
        const int height = box.bottom - box.top;
        int x = (own.left + own.right - width) / 2;
        int y = (own.top + own.bottom - height) / 2;
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
            const RECT &work = monitor.rcWork;
            x = std::max<int>(work.left, std::min<int>(x, work.right - width));
            y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
        }
        SetWindowPos(m_hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // A click that selects nothing in a text that ends in an address (the
    // dialog's only read-only edit boxes) opens the address.
    void OpenAddressesOnClick()
    {
        EnumChildWindows(
            m_hwnd,
            [](HWND child, LPARAM) -> BOOL {
                wchar_t kind[16] = {};
                GetClassNameW(child, kind, 16);
                if (lstrcmpiW(kind, L"Edit") == 0 && (GetWindowLongW(child, GWL_STYLE) & ES_READONLY))
                    SetWindowSubclass(child, &Win32DialogWindow::AddressProcedure, 1, 0);
                return TRUE;
            },
            0);
    }

    static LRESULT CALLBACK AddressProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR)
    {
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        if (message == WM_LBUTTONUP) {
            DWORD from = 0, to = 0;
            SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
            if (from == to) {
                std::wstring text(size_t(GetWindowTextLengthW(hwnd)) + 1, L'\0');
                text.resize(size_t(GetWindowTextW(hwnd, text.data(), int(text.size()))));
                const std::wstring address = text.substr(text.rfind(L' ') + 1);
                ShellExecuteW(GetAncestor(hwnd, GA_ROOT), nullptr, address.c_str(), nullptr, nullptr, SW_SHOW);
            }
        } else if (message == WM_NCDESTROY) {
            RemoveWindowSubclass(hwnd, &Win32DialogWindow::AddressProcedure, 1);
        }
        return result;
    }

    INT_PTR Started(HWND hwnd)
    {
        m_hwnd = hwnd;
        if (m_dialog.Template().style & AppWindow)
            SetAppIcon();
        CentreOverOwner();
        NameItemsByLabels();
        OpenAddressesOnClick();
        if (m_tick)
            SetTimer(m_hwnd, kTimerId, static_cast<UINT>(m_interval.count()), nullptr);
        m_dialog.InitDialog();
        return FALSE; // the dialog's own code has put the focus
    }

    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            return reinterpret_cast<Win32DialogWindow *>(lParam)->Started(hwnd);
        }
        auto *self = reinterpret_cast<Win32DialogWindow *>(GetWindowLongPtrW(hwnd, DWLP_USER));
        if (self == nullptr)
            return FALSE;
        switch (message) {
        case WM_COMMAND:
            // Clicks on buttons (radio buttons and the check box too), and the
            // dialog manager's Enter (the default id, or the focused button)
            // and Escape (IDCANCEL). Edit and list notifications are not
            // commands.
            if (HIWORD(wParam) == BN_CLICKED) {
                self->m_dialog.SendCommand(static_cast<short>(LOWORD(wParam)));
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE: // the close box, Alt+F4, the task bar's Close
            self->m_dialog.SendCommand(IDCANCEL);
            return TRUE;
        case WM_TIMER:
            if (wParam == kTimerId && self->m_tick) {
                // A copy: the tick may stop the timer or end the window.
                const std::function<void()> tick = self->m_tick;
                tick();
            }
            return TRUE;
        default:
            return FALSE;
        }
    }

    Dialog &m_dialog;
    Dialog *m_parent;
    HWND m_hwnd = nullptr;
    std::function<void()> m_tick;
    std::chrono::milliseconds m_interval{0};
};

} // namespace

std::unique_ptr<DialogWindow> DialogWindow::Make(Dialog &dialog, Dialog *parent)
{
    return std::make_unique<Win32DialogWindow>(dialog, parent);
}

} // namespace dialogkit
