// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiTest.h"

#include "MessageBox.h"

#include <QAccessible>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace uitest {

namespace {
void CloseAllModals()
{
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->done(QDialog::Rejected);
        else
            modal->close();
        QApplication::processEvents();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
}
} // namespace

void OnNextModal(std::function<void(QWidget *)> script, std::chrono::milliseconds timeout)
{
    QPointer<QWidget> before = QApplication::activeModalWidget();
    auto *poll = new QTimer(qApp);
    poll->setInterval(5);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, qApp, [=]() mutable {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == before.data() || !modal->isVisible()) {
            if (started->elapsed() > timeout.count()) {
                poll->deleteLater();
                poll->stop();
                ADD_FAILURE() << "no modal window opened";
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        if (!QTest::qWaitForWindowActive(modal)) {
            ADD_FAILURE() << "window " << modal->windowTitle().toStdString()
                          << " never became active";
        }
        QTimer::singleShot(timeout, qApp, [window = QPointer<QWidget>(modal)] {
            if (window && window->isVisible()) {
                ADD_FAILURE() << "window " << window->windowTitle().toStdString()
                              << " still open after the time allowed";
                CloseAllModals();
            }
        });
        script(modal);
    });
    poll->start();
}

QWidget *Control(QWidget *window, int id)
{
    QWidget *w = window->findChild<QWidget *>(QString::number(id), Qt::FindDirectChildrenOnly);
    EXPECT_NE(w, nullptr) << "no control " << id << " in " << window->windowTitle().toStdString();
    return w;
}

QString TextOf(QWidget *window, int id)
{
    return Control(window, id)->property("text").toString();
}

QAccessibleInterface *AccessibleOf(QWidget *window, int id)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(Control(window, id));
    EXPECT_NE(iface, nullptr) << "control " << id << " has no accessible interface";
    return iface;
}

QString SpokenName(QWidget *window, int id)
{
    QAccessibleInterface *iface = AccessibleOf(window, id);
    if (iface == nullptr)
        return QString();
    if (iface->role() != QAccessible::ComboBox)
        return iface->text(QAccessible::Name);
    QStringList labels;
    for (const auto &[label, relation] : iface->relations(QAccessible::Label))
        labels << label->text(QAccessible::Name);
    return labels.join(QLatin1Char('|'));
}

void Click(QWidget *window, int id)
{
    if (QWidget *w = Control(window, id))
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(4, w->height() / 2));
}

void PressKey(QWidget *window, int key)
{
    QWidget *target = window->focusWidget() ? window->focusWidget() : window;
    QTest::keyClick(target, static_cast<Qt::Key>(key));
}

void TypeInto(QWidget *window, int id, const QString &text)
{
    auto *edit = qobject_cast<QLineEdit *>(Control(window, id));
    ASSERT_NE(edit, nullptr);
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

int FocusedId(QWidget *window)
{
    QWidget *focus = window->focusWidget();
    return focus ? focus->objectName().toInt() : 0;
}

void ExpectEveryControlReachable(QWidget *window)
{
    QList<QWidget *> controls;
    for (QWidget *w : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (w->isVisible() && w->isEnabled() && w->focusPolicy() != Qt::NoFocus)
            controls << w;
    ASSERT_FALSE(controls.isEmpty());
    QWidget *const start = window->focusWidget();
    const auto name = [&](QWidget *w) {
        return window->windowTitle().toStdString() + " control " + w->objectName().toStdString();
    };
    for (QWidget *w : controls) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        QAccessibleActionInterface *actions = iface != nullptr ? iface->actionInterface() : nullptr;
        const QString focus = QAccessibleActionInterface::setFocusAction();
        if (actions == nullptr || !actions->actionNames().contains(focus)) {
            ADD_FAILURE() << name(w) << " offers assistive tools no focus action";
            continue;
        }
        actions->doAction(focus);
        EXPECT_EQ(window->focusWidget(), w) << name(w) << " did not take the focus";
    }
    QSet<QWidget *> reached;
    for (qsizetype i = 0; i <= controls.size(); ++i) {
        QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_Tab);
        reached << window->focusWidget();
    }
    for (QWidget *w : controls) {
        bool ok = reached.contains(w);
        if (auto *button = qobject_cast<QAbstractButton *>(w); !ok && button && button->group())
            for (QAbstractButton *other : button->group()->buttons())
                ok = ok || reached.contains(other);
        EXPECT_TRUE(ok) << name(w) << " cannot be reached with the keyboard";
    }
    if (start != nullptr)
        start->setFocus(Qt::OtherFocusReason);
}

QStringList Texts(const dialogkit::MessageRecorder &recorder)
{
    QStringList texts;
    for (const std::string &text : recorder.texts())
        texts << QString::fromStdString(text);
    return texts;
}

} // namespace uitest
