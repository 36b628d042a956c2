// SPDX-License-Identifier: GPL-3.0-or-later
// A modal dialog built from a template: controls with numeric ids, a command
// table from ids to handlers, data exchange between controls and fields in
// both directions, OnInitDialog, and the default OK and Cancel actions.
#pragma once

#include "DialogTemplate.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <set>

class QButtonGroup;

namespace dialogkit {

class Dialog;

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
    void Text(int id, QString &field);
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
    void ListText(int id, QString &field);

private:
    Dialog &m_dialog;
    bool m_save;
    bool m_failed = false;
};

class Dialog : public QDialog {
    Q_OBJECT

public:
    Dialog(const DialogTemplate &dialogTemplate, QWidget *parent);
    ~Dialog() override;

    // Makes the controls, runs OnInitDialog, shows the window and runs it
    // modally; returns the code given to EndDialog (IDOK, IDCANCEL, ...).
    int DoModal();
    void EndDialog(int result);

    // Runs data exchange: save = true reads controls into fields.
    bool UpdateData(bool save = true);

    QWidget *Item(int id) const;
    template <class T> T *ItemAs(int id) const { return qobject_cast<T *>(Item(id)); }

    const DialogTemplate &Template() const { return m_template; }

    // Drop-down lists behave as the toolkit's: adding an item never selects
    // it, and a list with the Sort style keeps its items in order, ignoring
    // case. Returns the new item's place.
    int AddListItem(int id, const QString &text);
    // The list's select-string search: from the item after `after` (-1: from
    // the top) to the last, then on from the top, selects the first item that
    // begins with `prefix`, ignoring case. False, and nothing changes, when
    // none does.
    bool SelectListItem(int id, int after, const QString &prefix);

    // Carries out a command as if its button had been clicked.
    void SendCommand(int id);

    // Dialog-unit mapping of this dialog's font, in pixels per 4 x 8 units.
    int baseUnitX() const { return m_baseX; }
    int baseUnitY() const { return m_baseY; }

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

    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class DataExchange;

    void CreateControls();
    const ControlTemplate *ControlFor(int id) const;
    void FocusFirstTabStop();
    int DefaultButtonId() const;
    QButtonGroup *RadioGroup(int firstId);
    // A radio group that is a tab stop is one: the checked button (the first
    // when none is) takes the focus from the Tab key, the others only from
    // the arrow keys, the mouse and assistive tools.
    void PlaceRadioTabStop(QButtonGroup *group);

    const DialogTemplate &m_template;
    std::map<int, QWidget *> m_items;
    std::map<int, std::function<void()>> m_commands;
    std::map<int, QButtonGroup *> m_radioGroups;
    std::set<QButtonGroup *> m_tabStopGroups;
    bool m_created = false;
    int m_baseX = 0;
    int m_baseY = 0;
};

} // namespace dialogkit
