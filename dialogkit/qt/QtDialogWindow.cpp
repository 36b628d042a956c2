// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtDialogWindow.h"

#include "Accessibility.h"
#include "DialogFont.h"
#include "QtDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QUrl>
#include <QProgressBar>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>

namespace dialogkit {

namespace {

// The open list shows an item's description beside its text; the item's
// text, which is what the window selects and reads, stays as it is.
class DescribedItems : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString description = index.data(Qt::ToolTipRole).toString();
        if (!description.isEmpty())
            option->text += QStringLiteral(" - ") + description;
    }
};

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
    case ControlKind::DropDownList: {
        auto *list = new QComboBox(parent);
        list->setItemDelegate(new DescribedItems(list));
        return list;
    }
    case ControlKind::ProgressBar: {
        // The figure is the text beside it, as the window's own words tell it.
        auto *bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        return bar;
    }
    }
    return nullptr;
}

bool TakesKeyboardFocus(ControlKind kind)
{
    return kind != ControlKind::StaticText && kind != ControlKind::ProgressBar;
}

} // namespace

std::unique_ptr<DialogWindow> DialogWindow::Make(Dialog &dialog, Dialog *parent)
{
    return std::make_unique<QtDialogWindow>(dialog, parent != nullptr ? WidgetOf(*parent) : nullptr);
}

QWidget *WidgetOf(Dialog &dialog)
{
    return static_cast<QtDialogWindow *>(&dialog.Window());
}

QtDialogWindow::QtDialogWindow(Dialog &dialog, QWidget *parent)
    : QDialog(parent), m_dialog(dialog), m_template(dialog.Template())
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
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_tick)
            m_tick();
    });
}

QtDialogWindow::~QtDialogWindow() = default;

void QtDialogWindow::CreateControls()
{
    if (m_created)
        return;
    m_created = true;

    const QFont font = DialogFont(m_template.fontName, m_template.pointSize);
    setFont(font);
    const DialogBaseUnits base = MeasureBaseUnits(font);
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
        if (c.kind == ControlKind::StaticText && (c.style & EndsInAddress)) {
            // Selected with the mouse and copied from its menu; the keyboard
            // passes it by, as it passes every static text.
            static_cast<QLabel *>(w)->setTextInteractionFlags(Qt::TextSelectableByMouse);
            w->setCursor(Qt::PointingHandCursor);
            w->installEventFilter(this);
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

    // A box is announced by the text of the label beside it; a list by its
    // chosen item, with the label through the buddy's labelled-by relation.
    for (const auto &[id, label] : labels) {
        QWidget *target = Item(id);
        if (target == nullptr)
            continue;
        static_cast<QLabel *>(label)->setBuddy(target);
        if (!qobject_cast<QComboBox *>(target))
            target->setAccessibleName(static_cast<QLabel *>(label)->text());
    }
}

int QtDialogWindow::RunModal()
{
    CreateControls();
    m_dialog.InitDialog();
    return exec();
}

void QtDialogWindow::End(int result)
{
    done(result);
}

std::string QtDialogWindow::Title() const
{
    return windowTitle().toStdString();
}

QWidget *QtDialogWindow::Item(int id) const
{
    const auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : it->second;
}

std::string QtDialogWindow::ItemText(int id) const
{
    QWidget *w = Item(id);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text().toStdString();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text().toStdString();
    return {};
}

void QtDialogWindow::SetItemText(int id, const std::string &text)
{
    QWidget *w = Item(id);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        edit->setText(QString::fromStdString(text));
    else if (auto *label = qobject_cast<QLabel *>(w))
        label->setText(QString::fromStdString(text));
}

bool QtDialogWindow::IsChecked(int id) const
{
    auto *button = qobject_cast<QAbstractButton *>(Item(id));
    return button != nullptr && button->isCheckable() && button->isChecked();
}

void QtDialogWindow::SetChecked(int id, bool checked)
{
    auto *button = qobject_cast<QAbstractButton *>(Item(id));
    if (button == nullptr || !button->isCheckable())
        return;
    QButtonGroup *group = button->group();
    // An exclusive group refuses to clear its last checked button.
    if (group != nullptr && !checked)
        group->setExclusive(false);
    button->setChecked(checked);
    if (group != nullptr && !checked)
        group->setExclusive(true);
}

int QtDialogWindow::ListCount(int id) const
{
    auto *list = ItemAs<QComboBox>(id);
    return list != nullptr ? list->count() : 0;
}

std::string QtDialogWindow::ListItem(int id, int index) const
{
    auto *list = ItemAs<QComboBox>(id);
    return list != nullptr ? list->itemText(index).toStdString() : std::string();
}

int QtDialogWindow::ListSelection(int id) const
{
    auto *list = ItemAs<QComboBox>(id);
    return list != nullptr ? list->currentIndex() : -1;
}

void QtDialogWindow::SetListSelection(int id, int index)
{
    if (auto *list = ItemAs<QComboBox>(id))
        list->setCurrentIndex(index);
}

void QtDialogWindow::InsertListItem(int id, int index, const std::string &text)
{
    auto *list = ItemAs<QComboBox>(id);
    if (list == nullptr)
        return;
    const int selected = list->currentIndex();
    list->insertItem(index, QString::fromStdString(text));
    // QComboBox selects the first item added, and an insertion before the
    // selection moves it; the toolkit's list keeps the selection it had.
    list->setCurrentIndex(selected < 0 ? -1 : (index <= selected ? selected + 1 : selected));
}

void QtDialogWindow::SetListItemDescription(int id, int index, const std::string &description)
{
    auto *list = ItemAs<QComboBox>(id);
    if (list == nullptr || index < 0 || index >= list->count())
        return;
    const QVariant text = description.empty() ? QVariant() : QVariant(QString::fromStdString(description));
    list->setItemData(index, text, Qt::ToolTipRole);
    list->setItemData(index, text, Qt::AccessibleDescriptionRole);
}

void QtDialogWindow::SetProgress(int id, int percent)
{
    if (auto *bar = ItemAs<QProgressBar>(id))
        bar->setValue(percent);
}

void QtDialogWindow::EnableItem(int id, bool enabled)
{
    if (QWidget *w = Item(id))
        w->setEnabled(enabled);
}

bool QtDialogWindow::IsItemEnabled(int id) const
{
    QWidget *w = Item(id);
    return w != nullptr && w->isEnabled();
}

bool QtDialogWindow::IsItemVisible(int id) const
{
    // Asked before the window is first shown, too: what the template and the
    // window made of the control, not what the screen shows yet.
    QWidget *w = Item(id);
    return w != nullptr && !w->isHidden();
}

void QtDialogWindow::FocusItem(int id)
{
    if (QWidget *w = Item(id))
        w->setFocus(Qt::TabFocusReason);
}

void QtDialogWindow::SelectItemText(int id)
{
    if (auto *edit = ItemAs<QLineEdit>(id)) {
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
    }
}

void QtDialogWindow::StartTimer(std::chrono::milliseconds interval, std::function<void()> tick)
{
    m_tick = std::move(tick);
    m_timer.setInterval(interval);
    m_timer.start();
}

void QtDialogWindow::StopTimer()
{
    m_timer.stop();
}

void QtDialogWindow::ShowMessageBox(const std::string &caption, const std::string &text, MessageIcon icon)
{
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok, this);
    box.exec();
}

void QtDialogWindow::PlaceRadioTabStop(QButtonGroup *group)
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

bool QtDialogWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (auto *label = qobject_cast<QLabel *>(watched)) {
        if (event->type() == QEvent::MouseButtonRelease && !label->hasSelectedText())
            QDesktopServices::openUrl(QUrl(label->text().section(QLatin1Char(' '), -1)));
        return QDialog::eventFilter(watched, event);
    }
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

int QtDialogWindow::DefaultButtonId() const
{
    for (const ControlTemplate &c : m_template.controls)
        if (c.kind == ControlKind::DefPushButton)
            return c.id;
    return IDOK;
}

void QtDialogWindow::keyPressEvent(QKeyEvent *event)
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

void QtDialogWindow::reject()
{
    // The close box (and the system's close request) is command 2.
    SendCommand(IDCANCEL);
}

} // namespace dialogkit
