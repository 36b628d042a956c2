// What the Test and Version window tests share: the settings store as it lies
// on disk, choosing in a drop-down list with the mouse, the text of a control.
#pragma once

#include "TempSettingsHome.h"
#include "UiTest.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

// Failures show texts as texts.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace windowtest {

// A value of the section "Setting" as the store holds it, read apart from the
// program's own settings code; nothing when absent.
inline std::optional<QString> Stored(const testsupport::TempSettingsHome &home, const char *name)
{
    QSettings store(home.storeFile(), QSettings::IniFormat);
    const QString key = QStringLiteral("Setting/") + QLatin1String(name);
    if (!store.contains(key))
        return std::nullopt;
    return store.value(key).toString();
}

inline QComboBox *ListOf(QWidget *window, int id)
{
    return qobject_cast<QComboBox *>(uitest::Control(window, id));
}

// The selected item's text, or "" when none is selected.
inline QString Selected(QWidget *window, int id)
{
    QComboBox *list = ListOf(window, id);
    return list->currentIndex() >= 0 ? list->currentText() : QString();
}

inline QStringList Items(QWidget *window, int id)
{
    QComboBox *list = ListOf(window, id);
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

// Drops the list down and clicks the item, as a user chooses a port.
inline void ChooseInList(QWidget *window, int id, const QString &text)
{
    QComboBox *list = ListOf(window, id);
    ASSERT_NE(list, nullptr);
    const int index = list->findText(text, Qt::MatchExactly);
    ASSERT_GE(index, 0) << "no item " << text.toStdString();
    QTest::mouseClick(list, Qt::LeftButton);
    QAbstractItemView *view = list->view();
    ASSERT_TRUE(uitest::WaitFor([&] { return view->isVisible(); })) << "the list did not drop down";
    // A list that has just dropped down takes a release that comes within a
    // double-click time for the end of the click that opened it.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    const QModelIndex item = view->model()->index(index, 0);
    view->scrollTo(item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      view->visualRect(item).center());
    ASSERT_TRUE(uitest::WaitFor([&] { return !view->isVisible(); })) << "the list stayed down";
    ASSERT_EQ(list->currentText(), text);
}

inline QString TextOf(QWidget *window, int id)
{
    QWidget *w = uitest::Control(window, id);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    return QString();
}

// Whether every label of the window shows its whole text: word-wrapped in
// its own rectangle, with no word wider than the label and no line below it.
inline void ExpectEveryLabelFits(QWidget *window)
{
    for (QLabel *label : window->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        const QRect room = label->contentsRect();
        const QRect needed = label->fontMetrics().boundingRect(
            QRect(room.topLeft(), QSize(room.width(), 100000)),
            static_cast<int>(label->alignment()) | Qt::TextWordWrap, label->text());
        EXPECT_LE(needed.width(), room.width()) << label->text().toStdString();
        EXPECT_LE(needed.height(), room.height()) << label->text().toStdString();
    }
}

} // namespace windowtest
