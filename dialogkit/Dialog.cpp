// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialog.h"

#include "DialogInteger.h"
#include "DialogWindow.h"
#include "LiveWait.h"
#include "MessageBox.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace dialogkit {

namespace {

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Compares as the toolkit's sorted lists do: ignoring case (ASCII letters).
int CompareIgnoringCase(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = Lower(a[i]);
        const char y = Lower(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && CompareIgnoringCase(text.substr(0, prefix.size()), prefix) == 0;
}

} // namespace

void DataExchange::Text(int id, std::string &field)
{
    if (m_failed)
        return;
    DialogWindow &w = m_dialog.Window();
    if (m_save)
        field = w.ItemText(id);
    else
        w.SetItemText(id, field);
}

void DataExchange::Int(int id, std::int32_t &field)
{
    if (m_failed)
        return;
    DialogWindow &w = m_dialog.Window();
    if (!m_save) {
        w.SetItemText(id, std::to_string(field));
        return;
    }
    if (!ReadDialogInteger(w.ItemText(id), field)) {
        ShowMessage(m_dialog, "Enter an integer.", MessageIcon::Warning);
        w.SelectItemText(id);
        m_failed = true;
    }
}

void DataExchange::Radio(int firstId, int &field)
{
    if (m_failed)
        return;
    const std::vector<int> group = m_dialog.RadioGroup(firstId);
    DialogWindow &w = m_dialog.Window();
    if (m_save) {
        field = -1;
        for (std::size_t i = 0; i < group.size(); ++i)
            if (w.IsChecked(group[i])) {
                field = static_cast<int>(i);
                break;
            }
        return;
    }
    for (std::size_t i = 0; i < group.size(); ++i)
        w.SetChecked(group[i], static_cast<int>(i) == field);
}

void DataExchange::Check(int id, int &field)
{
    if (m_failed)
        return;
    DialogWindow &w = m_dialog.Window();
    if (m_save)
        field = w.IsChecked(id) ? 1 : 0;
    else
        w.SetChecked(id, field == 1);
}

void DataExchange::ListText(int id, std::string &field)
{
    if (m_failed)
        return;
    DialogWindow &w = m_dialog.Window();
    if (m_save) {
        const int selected = w.ListSelection(id);
        field = selected >= 0 ? w.ListItem(id, selected) : std::string();
        return;
    }
    m_dialog.SelectListItem(id, -1, field);
}

Dialog::Dialog(const DialogTemplate &dialogTemplate, Dialog *parent)
    : m_template(dialogTemplate), m_parent(parent), m_window(DialogWindow::Make(*this, parent))
{
}

Dialog::~Dialog() = default;

int Dialog::DoModal()
{
    return m_window->RunModal();
}

void Dialog::InitDialog()
{
    if (!OnInitDialog())
        return;
    for (const ControlTemplate &c : m_template.controls) {
        if ((c.style & TabStop) && c.id != IDC_STATIC && m_window->IsItemVisible(c.id) &&
            m_window->IsItemEnabled(c.id)) {
            m_window->FocusItem(c.id);
            return;
        }
    }
}

void Dialog::EndDialog(int result)
{
    m_window->End(result);
}

bool Dialog::UpdateData(bool save)
{
    DataExchange dx(*this, save);
    DoDataExchange(dx);
    return !dx.failed();
}

const ControlTemplate *Dialog::ControlFor(int id) const
{
    for (const ControlTemplate &c : m_template.controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

std::vector<int> Dialog::RadioGroup(int firstId) const
{
    std::vector<int> ids;
    bool inGroup = false;
    for (const ControlTemplate &c : m_template.controls) {
        if (!inGroup) {
            inGroup = c.id == firstId && c.kind == ControlKind::AutoRadioButton;
            if (inGroup)
                ids.push_back(c.id);
            continue;
        }
        if (c.kind != ControlKind::AutoRadioButton || (c.style & Group))
            break;
        ids.push_back(c.id);
    }
    return ids;
}

int Dialog::AddListItem(int id, const std::string &text)
{
    const ControlTemplate *c = ControlFor(id);
    if (c == nullptr || c->kind != ControlKind::DropDownList)
        return -1;
    const int count = m_window->ListCount(id);
    int at = count;
    if (c->style & Sort) {
        at = 0;
        while (at < count && CompareIgnoringCase(m_window->ListItem(id, at), text) <= 0)
            ++at;
    }
    m_window->InsertListItem(id, at, text);
    return at;
}

bool Dialog::SelectListItem(int id, int after, const std::string &prefix)
{
    const ControlTemplate *c = ControlFor(id);
    if (c == nullptr || c->kind != ControlKind::DropDownList)
        return false;
    const int count = m_window->ListCount(id);
    for (int step = 1; step <= count; ++step) {
        const int i = (after + step) % count;
        if (StartsWithIgnoringCase(m_window->ListItem(id, i), prefix)) {
            m_window->SetListSelection(id, i);
            return true;
        }
    }
    return false;
}

void Dialog::SetProgress(int id, int percent)
{
    m_window->SetProgress(id, percent < 0 ? 0 : percent > 100 ? 100 : percent);
}

void Dialog::SetListItemDescription(int id, int index, const std::string &description)
{
    m_window->SetListItemDescription(id, index, description);
}

void Dialog::EnableItem(int id, bool enabled)
{
    m_window->EnableItem(id, enabled);
}

void Dialog::FocusItem(int id)
{
    m_window->FocusItem(id);
}

void Dialog::StartTimer(std::chrono::milliseconds interval, std::function<void()> tick)
{
    m_window->StartTimer(interval, [tick = std::move(tick)] {
        if (!WindowsWaiting())
            tick();
    });
}

void Dialog::StopTimer()
{
    m_window->StopTimer();
}

void Dialog::SendCommand(int id)
{
    // Refused while a handler waits for its work (LiveWait.h), as a busy
    // window refuses it: the user's own input waits in the queue instead.
    if (WindowsWaiting())
        return;
    const auto it = m_commands.find(id);
    if (it != m_commands.end()) {
        // Copy: a handler may replace table entries while it runs.
        const std::function<void()> handler = it->second;
        handler();
    } else if (id == IDOK) {
        OnOK();
    } else if (id == IDCANCEL) {
        OnCancel();
    }
}

void Dialog::DoDataExchange(DataExchange &) {}

bool Dialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void Dialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void Dialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void Dialog::On(int id, std::function<void()> handler)
{
    m_commands[id] = std::move(handler);
}

} // namespace dialogkit
