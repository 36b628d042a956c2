// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog layer's Qt side: a QDialog whose controls are Qt widgets made
// from the template, named by their ids, placed in dialog units of the
// template's font, with Windows' keyboard rules (Enter, Escape, radio groups
// that are one tab stop with the arrow keys inside).
#pragma once

#include "Dialog.h"
#include "DialogWindow.h"

#include <QDialog>
#include <QTimer>

#include <map>
#include <set>

class QButtonGroup;

namespace dialogkit {

class QtDialogWindow : public QDialog, public DialogWindow {
    Q_OBJECT

public:
    QtDialogWindow(Dialog &dialog, QWidget *parent);
    ~QtDialogWindow() override;

    int RunModal() override;
    void End(int result) override;
    std::string Title() const override;

    std::string ItemText(int id) const override;
    void SetItemText(int id, const std::string &text) override;
    bool IsChecked(int id) const override;
    void SetChecked(int id, bool checked) override;
    int ListCount(int id) const override;
    std::string ListItem(int id, int index) const override;
    int ListSelection(int id) const override;
    void SetListSelection(int id, int index) override;
    void InsertListItem(int id, int index, const std::string &text) override;
    void SetListItemDescription(int id, int index, const std::string &description) override;
    void SetProgress(int id, int percent) override;

    void EnableItem(int id, bool enabled) override;
    bool IsItemEnabled(int id) const override;
    bool IsItemVisible(int id) const override;
    void FocusItem(int id) override;
    void SelectItemText(int id) override;

    void StartTimer(std::chrono::milliseconds interval, std::function<void()> tick) override;
    void StopTimer() override;

    void ShowMessageBox(const std::string &caption, const std::string &text, MessageIcon icon) override;

    QWidget *Item(int id) const;
    template <class T> T *ItemAs(int id) const { return qobject_cast<T *>(Item(id)); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateControls();
    void SendCommand(int id) { m_dialog.SendCommand(id); }
    int DefaultButtonId() const;
    // A radio group that is a tab stop is one: the checked button (the first
    // when none is) takes the focus from the Tab key, the others only from
    // the arrow keys, the mouse and assistive tools.
    void PlaceRadioTabStop(QButtonGroup *group);

    Dialog &m_dialog;
    const DialogTemplate &m_template;
    std::map<int, QWidget *> m_items;
    std::map<int, QButtonGroup *> m_radioGroups;
    std::set<QButtonGroup *> m_tabStopGroups;
    bool m_created = false;
    QTimer m_timer;
    std::function<void()> m_tick;
};

} // namespace dialogkit
