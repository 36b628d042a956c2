// SPDX-License-Identifier: GPL-3.0-or-later
// A modal dialog built from a template: controls with numeric ids, a command
// table from ids to handlers, data exchange between controls and fields in
// both directions, OnInitDialog, and the default OK and Cancel actions.
//
// Plain C++: the window itself belongs to the toolkit's side of the layer
// (DialogWindow: Qt Widgets on Linux, Win32 dialogs on Windows). Texts are
// UTF-8.
#pragma once

#include "DialogTemplate.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace dialogkit {

class Dialog;
class DialogWindow;

// One pass of data exchange. Each call moves one value between a control and
// a field; a failed read stops the pass, so the calls after it do nothing.
class DataExchange {
public:
    DataExchange(Dialog &dialog, bool saveAndValidate)
        : m_dialog(dialog), m_save(saveAndValidate)
    {
    }

    bool saving() const { return m_save; }
    bool failed() const { return m_failed; }

    // The whole text of an edit box or a label.
    void Text(int id, std::string &field);
    // A signed integer in an edit box; a box without a number shows
    // "Enter an integer.", selects the box's text and stops the pass.
    void Int(int id, std::int32_t &field);
    // A radio group starting at `firstId`: the place of the checked button,
    // or -1 when none is checked.
    void Radio(int firstId, int &field);
    // A check box: 0 clear, 1 checked.
    void Check(int id, int &field);
    // A drop-down list's selection: writing selects the first item (from the
    // top) that begins with `field`, ignoring case, and leaves the list as it
    // was when none does; reading takes the selected item's text, or "".
    void ListText(int id, std::string &field);

private:
    Dialog &m_dialog;
    bool m_save;
    bool m_failed = false;
};

class Dialog {
public:
    Dialog(const DialogTemplate &dialogTemplate, Dialog *parent);
    virtual ~Dialog();
    Dialog(const Dialog &) = delete;
    Dialog &operator=(const Dialog &) = delete;

    // Makes the window and its controls, runs OnInitDialog, shows the window
    // and runs it modally; returns the code given to EndDialog (IDOK,
    // IDCANCEL, ...).
    int DoModal();
    void EndDialog(int result);

    // Runs data exchange: save = true reads controls into fields.
    bool UpdateData(bool save = true);

    // Drop-down lists behave as the toolkit's: adding an item never selects
    // it, and a list with the Sort style keeps its items in order, ignoring
    // case. Returns the new item's place.
    int AddListItem(int id, const std::string &text);
    // The list's select-string search: from the item after `after` (-1: from
    // the top) to the last, then on from the top, selects the first item that
    // begins with `prefix`, ignoring case. False, and nothing changes, when
    // none does.
    bool SelectListItem(int id, int after, const std::string &prefix);
    // Shown beside the item in the open list where the toolkit can; the
    // item's text, which is what the list selects and reads, stays as it is.
    void SetListItemDescription(int id, int index, const std::string &description);

    // A progress bar's position, kept within 0 to 100.
    void SetProgress(int id, int percent);

    void EnableItem(int id, bool enabled);
    // Gives the control the keyboard focus, as the Tab key would.
    void FocusItem(int id);

    // Calls `tick` every `interval` from the window's event loop while the
    // window runs, until StopTimer; a tick that comes while a handler waits
    // for its work (LiveWait.h) is left out. One timer per window.
    void StartTimer(std::chrono::milliseconds interval, std::function<void()> tick);
    void StopTimer();

    // Carries out a command as if its button had been clicked; nothing
    // while a handler waits for its work (LiveWait.h).
    void SendCommand(int id);

    const DialogTemplate &Template() const { return m_template; }
    Dialog *Parent() const { return m_parent; }
    // The toolkit's window. It exists from construction; its controls exist
    // once DoModal has begun.
    DialogWindow &Window() const { return *m_window; }

    // The toolkit's side calls this once the controls exist, before the
    // window is first shown: OnInitDialog, then the first focus.
    void InitDialog();

protected:
    virtual void DoDataExchange(DataExchange &dx);
    // Runs once the controls exist, before the window is first shown. The
    // base writes the fields to the controls. Returning true puts the focus
    // on the first visible, enabled tab stop.
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // Entry of the command table.
    void On(int id, std::function<void()> handler);

private:
    friend class DataExchange;

    const ControlTemplate *ControlFor(int id) const;
    // The ids of the radio group that starts at `firstId`, in creation order;
    // empty when no radio group starts there.
    std::vector<int> RadioGroup(int firstId) const;

    const DialogTemplate &m_template;
    Dialog *m_parent;
    std::map<int, std::function<void()>> m_commands;
    std::unique_ptr<DialogWindow> m_window;
};

} // namespace dialogkit
