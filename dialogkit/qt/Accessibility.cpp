// SPDX-License-Identifier: GPL-3.0-or-later
#include "Accessibility.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>

namespace dialogkit {

namespace {

class CheckableButtonAccessible : public QAccessibleWidget {
public:
    CheckableButtonAccessible(QAbstractButton *button, QAccessible::Role role)
        : QAccessibleWidget(button, role)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        QString name = widget()->accessibleName();
        if (name.isEmpty())
            name = button()->text().remove(QLatin1Char('&'));
        return name;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }

    // The widget's own actions (the focus action, which AT-SPI's grab-focus
    // asks for) stay next to the ones that carry the window's command.
    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled())
            names << toggleAction() << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (!widget()->isEnabled())
            return;
        // A click, as the mouse gives it: the button is checked and its
        // command runs. animateClick() clicks from the event loop, once the
        // assistive tool's call has returned, as Qt's own buttons do: a
        // command that opens a message box must not hold that call up.
        if (action == toggleAction() || action == pressAction())
            button()->animateClick();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }
};

// A drop-down list as Qt describes a list without an edit field: its name is
// the item chosen, as its value is (the label beside it comes through the
// labelled-by relation of the label's buddy), its description the chosen
// item's description, its list the one child, opening the list its action;
// with the focus action too, which Qt's own interface for it lacks.
class DropDownListAccessible : public QAccessibleWidget {
public:
    explicit DropDownListAccessible(QComboBox *list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value || t == QAccessible::Name)
            return list()->currentText();
        if (t == QAccessible::Description)
            return list()->currentData(Qt::AccessibleDescriptionRole).toString();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = list()->view()->isVisible();
        return s;
    }

    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child != nullptr && child->object() == list()->view() ? 0 : -1;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled())
            names << showMenuAction() << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (!widget()->isEnabled())
            return;
        if (action == showMenuAction() || action == pressAction()) {
            if (list()->view()->isVisible())
                list()->hidePopup();
            else
                list()->showPopup();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

private:
    QComboBox *list() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *ControlFactory(const QString &className, QObject *object)
{
    if (object == nullptr || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("QRadioButton"))
        return new CheckableButtonAccessible(static_cast<QRadioButton *>(object),
                                             QAccessible::RadioButton);
    if (className == QLatin1String("QCheckBox"))
        return new CheckableButtonAccessible(static_cast<QCheckBox *>(object),
                                             QAccessible::CheckBox);
    if (className == QLatin1String("QComboBox"))
        return new DropDownListAccessible(static_cast<QComboBox *>(object));
    return nullptr;
}

} // namespace

void InstallControlAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // The factory installed last is asked first, before Qt's own.
    QAccessible::installFactory(ControlFactory);
}

} // namespace dialogkit
