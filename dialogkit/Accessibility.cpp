// SPDX-License-Identifier: GPL-3.0-or-later
#include "Accessibility.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
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

    QStringList actionNames() const override
    {
        if (!widget()->isEnabled())
            return {};
        return {toggleAction(), pressAction()};
    }

    void doAction(const QString &action) override
    {
        if (!widget()->isEnabled())
            return;
        // click() checks the button as the mouse does and emits clicked(),
        // which carries the button's command.
        if (action == toggleAction() || action == pressAction())
            button()->click();
    }

private:
    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }
};

QAccessibleInterface *ButtonFactory(const QString &className, QObject *object)
{
    if (object == nullptr || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("QRadioButton"))
        return new CheckableButtonAccessible(static_cast<QRadioButton *>(object),
                                             QAccessible::RadioButton);
    if (className == QLatin1String("QCheckBox"))
        return new CheckableButtonAccessible(static_cast<QCheckBox *>(object),
                                             QAccessible::CheckBox);
    return nullptr;
}

} // namespace

void InstallButtonAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // The factory installed last is asked first, before Qt's own.
    QAccessible::installFactory(ButtonFactory);
}

} // namespace dialogkit
