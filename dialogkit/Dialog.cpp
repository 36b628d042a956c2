// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialog.h"

#include "Accessibility.h"
#include "DialogFont.h"
#include "DialogInteger.h"
#include "MessageBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace dialogkit {

namespace {

QWidget *MakeControl(const ControlTemplate &c, QWidget *parent)
{
    const QString caption = QString::fromUtf8(c.caption ? c.caption : "");
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto *button = new QPushButton(caption, parent);
        // Enter is routed by the dialog itself, never by Qt's auto-default.
        button->setAutoDefault(false);
        button->setDefault(c.kind == ControlKind::DefPushButton);
        return button;
    }
    case ControlKind::AutoRadioButton: {
        auto *radio = new QRadioButton(caption, parent);
        radio->setAutoExclusive(false); // the group's QButtonGroup decides
        return radio;
    }
    case ControlKind::AutoCheckBox:
        return new QCheckBox(caption, parent);
    case ControlKind::EditText: {
        auto *edit = new QLineEdit(parent);
        edit->setFrame((c.style & Border) != 0);
        return edit;
    }
    case ControlKind::StaticText: {
        auto *label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setText(caption);
        label->setWordWrap(true);
        label->setAlignment(((c.style & AlignCenter) ? Qt::AlignHCenter : Qt::AlignLeft) |
                            Qt::AlignTop);
        return label;
    }
    case ControlKind::DropDownList:
        return new QComboBox(parent);
    }
    return nullptr;
}

bool TakesKeyboardFocus(ControlKind kind)
{
    return kind != ControlKind::StaticText;
}

} // namespace

void DataExchange::Text(int id, QString &field)
{
    if (m_failed)
        return;
    QWidget *w = m_dialog.Item(id);
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        if (m_save)
            field = edit->text();
        else
            edit->setText(field);
    } else if (auto *label = qobject_cast<QLabel *>(w)) {
        if (m_save)
            field = label->text();
        else
            label->setText(field);
    }
}

void DataExchange::Int(int id, std::int32_t &field)
{
    if (m_failed)
        return;
    auto *edit = m_dialog.ItemAs<QLineEdit>(id);
    if (edit == nullptr)
        return;
    if (!m_save) {
        edit->setText(QString::number(field));
        return;
    }
    if (!ReadDialogInteger(edit->text().toStdString(), field)) {
        ShowMessage(&m_dialog, QStringLiteral("Enter an integer."), MessageIcon::Warning);
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
        m_failed = true;
    }
}

void DataExchange::Radio(int firstId, int &field)
{
    if (m_failed)
        return;
    QButtonGroup *group = m_dialog.RadioGroup(firstId);
    if (group == nullptr)
        return;
    const QList<QAbstractButton *> buttons = group->buttons();
    if (m_save) {
        field = -1;
        for (int i = 0; i < buttons.size(); ++i)
            if (buttons[i]->isChecked()) {
                field = i;
                break;
            }
        return;
    }
    // An exclusive group refuses to clear its last checked button.
    group->setExclusive(false);
    for (int i = 0; i < buttons.size(); ++i)
        buttons[i]->setChecked(i == field);
    group->setExclusive(true);
}

void DataExchange::Check(int id, int &field)
{
    if (m_failed)
        return;
    auto *box = m_dialog.ItemAs<QCheckBox>(id);
    if (box == nullptr)
        return;
    if (m_save)
        field = box->isChecked() ? 1 : 0;
    else
        box->setChecked(field == 1);
}

void DataExchange::ListText(int id, QString &field)
{
    if (m_failed)
        return;
    auto *list = m_dialog.ItemAs<QComboBox>(id);
    if (list == nullptr)
        return;
    if (m_save) {
        field = list->currentIndex() >= 0 ? list->currentText() : QString();
        return;
    }
    m_dialog.SelectListItem(id, -1, field);
}

Dialog::Dialog(const DialogTemplate &dialogTemplate, QWidget *parent)
    : QDialog(parent), m_template(dialogTemplate)
{
    InstallControlAccessibility();
    // A window shown in the task bar is an application's main window; the
    // others are dialogs over it.
    Qt::WindowFlags flags = (m_template.style & AppWindow) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (m_template.style & SysMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setWindowTitle(QString::fromUtf8(m_template.caption));
    setObjectName(QString::number(m_template.id));
    setModal(true);
}

Dialog::~Dialog() = default;

void Dialog::CreateControls()
{
    if (m_created)
        return;
    m_created = true;

    const QFont font = DialogFont(m_template.fontName, m_template.pointSize);
    setFont(font);
    const DialogBaseUnits base = MeasureBaseUnits(font);
    m_baseX = base.x;
    m_baseY = base.y;
    setFixedSize(DialogUnitsToPixelsX(m_template.cx, base), DialogUnitsToPixelsY(m_template.cy, base));

    QButtonGroup *currentGroup = nullptr;
    std::map<int, QWidget *> labels; // labelFor -> label, resolved once all exist
    for (const ControlTemplate &c : m_template.controls) {
        QWidget *w = MakeControl(c, this);
        w->setObjectName(QString::number(c.id));
        w->setGeometry(DialogUnitsToPixelsX(c.x, base), DialogUnitsToPixelsY(c.y, base),
                       DialogUnitsToPixelsX(c.cx, base), DialogUnitsToPixelsY(c.cy, base));
        if (c.kind == ControlKind::DropDownList) {
            // The template's height is the dropped-down height; the closed box
            // keeps its natural height.
            w->resize(w->width(), qMax(w->sizeHint().height(), DialogUnitsToPixelsY(12, base)));
        }
        if (!TakesKeyboardFocus(c.kind))
            w->setFocusPolicy(Qt::NoFocus);
        else if (!(c.style & TabStop))
            w->setFocusPolicy(Qt::ClickFocus);
        else
            w->setFocusPolicy(Qt::StrongFocus);
        w->setVisible(!(c.style & Hidden));
        w->setEnabled(!(c.style & Disabled));

        if (c.style & Group)
            currentGroup = nullptr;
        if (c.kind == ControlKind::AutoRadioButton) {
            if (currentGroup == nullptr) {
                currentGroup = new QButtonGroup(this);
                currentGroup->setExclusive(true);
                m_radioGroups[c.id] = currentGroup;
            }
            currentGroup->addButton(static_cast<QAbstractButton *>(w));
            // A tab stop on any of its buttons makes the group one tab stop.
            if (c.style & TabStop)
                m_tabStopGroups.insert(currentGroup);
            w->installEventFilter(this);
        }

        if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            const int id = c.id;
            connect(button, &QAbstractButton::clicked, this, [this, id] { SendCommand(id); });
        }
        if (c.labelFor != 0)
            labels[c.labelFor] = w;
        if (c.id != IDC_STATIC)
            m_items[c.id] = w;
    }

    for (const auto &[firstId, group] : m_radioGroups) {
        connect(group, &QButtonGroup::buttonToggled, this, [this, group] { PlaceRadioTabStop(group); });
        PlaceRadioTabStop(group);
    }

    // A box or list is announced by the text of the label beside it.
    for (const auto &[id, label] : labels) {
        QWidget *target = Item(id);
        if (target == nullptr)
            continue;
        static_cast<QLabel *>(label)->setBuddy(target);
        target->setAccessibleName(static_cast<QLabel *>(label)->text());
    }
}

int Dialog::DoModal()
{
    CreateControls();
    if (OnInitDialog())
        FocusFirstTabStop();
    return exec();
}

void Dialog::EndDialog(int result)
{
    done(result);
}

bool Dialog::UpdateData(bool save)
{
    DataExchange dx(*this, save);
    DoDataExchange(dx);
    return !dx.failed();
}

QWidget *Dialog::Item(int id) const
{
    const auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : it->second;
}

QButtonGroup *Dialog::RadioGroup(int firstId)
{
    const auto it = m_radioGroups.find(firstId);
    return it == m_radioGroups.end() ? nullptr : it->second;
}

const ControlTemplate *Dialog::ControlFor(int id) const
{
    for (const ControlTemplate &c : m_template.controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

int Dialog::AddListItem(int id, const QString &text)
{
    auto *list = ItemAs<QComboBox>(id);
    if (list == nullptr)
        return -1;
    const ControlTemplate *c = ControlFor(id);
    int at = list->count();
    if (c != nullptr && (c->style & Sort)) {
        at = 0;
        while (at < list->count() &&
               QString::compare(list->itemText(at), text, Qt::CaseInsensitive) <= 0)
            ++at;
    }
    const int selected = list->currentIndex();
    list->insertItem(at, text);
    // QComboBox selects the first item added, and an insertion before the
    // selection moves it; the toolkit's list keeps the selection it had.
    list->setCurrentIndex(selected < 0 ? -1 : (at <= selected ? selected + 1 : selected));
    return at;
}

bool Dialog::SelectListItem(int id, int after, const QString &prefix)
{
    auto *list = ItemAs<QComboBox>(id);
    if (list == nullptr)
        return false;
    const int count = list->count();
    for (int step = 1; step <= count; ++step) {
        const int i = (after + step) % count;
        if (list->itemText(i).startsWith(prefix, Qt::CaseInsensitive)) {
            list->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

void Dialog::SendCommand(int id)
{
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

void Dialog::FocusFirstTabStop()
{
    for (const ControlTemplate &c : m_template.controls) {
        QWidget *w = Item(c.id);
        if (w != nullptr && (c.style & TabStop) && !w->isHidden() && w->isEnabled()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void Dialog::PlaceRadioTabStop(QButtonGroup *group)
{
    const QList<QAbstractButton *> buttons = group->buttons();
    QAbstractButton *holder = nullptr;
    for (QAbstractButton *b : buttons)
        if (b->isChecked()) {
            holder = b;
            break;
        }
    if (holder == nullptr && !buttons.isEmpty())
        holder = buttons.first();
    const bool tabStop = m_tabStopGroups.count(group) != 0;
    for (QAbstractButton *b : buttons)
        b->setFocusPolicy(tabStop && b == holder ? Qt::StrongFocus : Qt::ClickFocus);
}

bool Dialog::eventFilter(QObject *watched, QEvent *event)
{
    auto *radio = qobject_cast<QRadioButton *>(watched);
    QButtonGroup *group = radio != nullptr ? radio->group() : nullptr;
    if (group != nullptr && event->type() == QEvent::FocusIn) {
        // Qt gives the tab stop to whichever button of a group takes the
        // focus; it belongs to the checked one.
        QMetaObject::invokeMethod(this, [this, group] { PlaceRadioTabStop(group); }, Qt::QueuedConnection);
    }
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    const bool back = key == Qt::Key_Up || key == Qt::Key_Left;
    if (group == nullptr || !(back || key == Qt::Key_Down || key == Qt::Key_Right))
        return QDialog::eventFilter(watched, event);
    // The arrow keys move the choice within the group, in creation order and
    // round, and choose as a click does: the button's command runs.
    const QList<QAbstractButton *> buttons = group->buttons();
    const qsizetype count = buttons.size();
    const qsizetype at = buttons.indexOf(radio);
    for (qsizetype step = 1; step < count; ++step) {
        QAbstractButton *next = buttons[(at + (back ? count - step : step)) % count];
        if (next->isEnabled() && !next->isHidden()) {
            next->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
            next->click();
            break;
        }
    }
    return true;
}

int Dialog::DefaultButtonId() const
{
    for (const ControlTemplate &c : m_template.controls)
        if (c.kind == ControlKind::DefPushButton)
            return c.id;
    return IDOK;
}

void Dialog::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        // A focused push button takes Enter; anywhere else it is the
        // default button's command, or OK.
        QWidget *focus = focusWidget();
        auto *button = qobject_cast<QPushButton *>(focus);
        if (button != nullptr && button->parentWidget() == this) {
            SendCommand(button->objectName().toInt());
        } else {
            SendCommand(DefaultButtonId());
        }
        event->accept();
        return;
    }
    case Qt::Key_Escape:
        SendCommand(IDCANCEL);
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void Dialog::reject()
{
    // The close box (and the system's close request) is command 2.
    SendCommand(IDCANCEL);
}

} // namespace dialogkit
