// SPDX-License-Identifier: GPL-3.0-or-later
// The toolkit's side of a dialog: the window, its controls and its modal
// run. qt/ has it with Qt Widgets, win/ with Win32 dialogs made from
// an in-memory DLGTEMPLATEEX. The rules that are the same everywhere (data
// exchange, list order and search, the command table, OK and Cancel) are in
// Dialog; this side only reads and writes controls, and routes what the user
// does (clicks, Enter, Escape, the close box) to Dialog::SendCommand.
#pragma once

#include "MessageBox.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace dialogkit {

class Dialog;

class DialogWindow {
public:
    // The window of `dialog`, owned by the window of `parent` (none: a
    // top-level window).
    static std::unique_ptr<DialogWindow> Make(Dialog &dialog, Dialog *parent);

    virtual ~DialogWindow() = default;

    // Creates the window and its controls from the dialog's template, calls
    // Dialog::InitDialog, shows the window and runs it modally until End.
    virtual int RunModal() = 0;
    virtual void End(int result) = 0;

    // The window's title bar text.
    virtual std::string Title() const = 0;

    // Edit boxes and static texts. Controls that do not exist read as "" and
    // ignore writes, as do controls of another kind.
    virtual std::string ItemText(int id) const = 0;
    virtual void SetItemText(int id, const std::string &text) = 0;
    // Radio buttons and check boxes.
    virtual bool IsChecked(int id) const = 0;
    virtual void SetChecked(int id, bool checked) = 0;
    // Drop-down lists. Inserting an item keeps the item that was selected
    // selected (none stays none).
    virtual int ListCount(int id) const = 0;
    virtual std::string ListItem(int id, int index) const = 0;
    virtual int ListSelection(int id) const = 0; // -1: none
    virtual void SetListSelection(int id, int index) = 0;
    virtual void InsertListItem(int id, int index, const std::string &text) = 0;
    virtual void SetListItemDescription(int id, int index, const std::string &description) = 0;

    // A progress bar's position, 0 to 100.
    virtual void SetProgress(int id, int percent) = 0;

    virtual void EnableItem(int id, bool enabled) = 0;
    virtual bool IsItemEnabled(int id) const = 0;
    virtual bool IsItemVisible(int id) const = 0;
    virtual void FocusItem(int id) = 0;
    // Focus and select the whole text of an edit box.
    virtual void SelectItemText(int id) = 0;

    virtual void StartTimer(std::chrono::milliseconds interval, std::function<void()> tick) = 0;
    virtual void StopTimer() = 0;

    // A modal message box owned by this window, with one OK button.
    virtual void ShowMessageBox(const std::string &caption, const std::string &text, MessageIcon icon) = 0;
};

} // namespace dialogkit
