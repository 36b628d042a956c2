// SPDX-License-Identifier: GPL-3.0-or-later
// What the Test and Version window tests share: the settings store as it lies
// on disk, choosing in a drop-down list, labels that fit.
#pragma once

#include "TempSettingsHome.h"
#include "UiTest.h"

#include <QComboBox>
#include <QLabel>
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
    return store.contains(key) ? std::optional(store.value(key).toString()) : std::nullopt;
}

// Chooses the item from the keyboard, as a user moves through the list.
inline void ChooseInList(QWidget *window, int id, const QString &text)
{
    auto *list = qobject_cast<QComboBox *>(uitest::Control(window, id));
    const int index = list->findText(text, Qt::MatchExactly);
    ASSERT_GE(index, 0) << "no item " << text.toStdString();
    list->setFocus(Qt::TabFocusReason);
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(list->currentText(), text);
}

// Every label shows its whole text: word-wrapped in its own rectangle, with
// no word wider than the label and no line below it.
inline void ExpectEveryLabelFits(QWidget *window)
{
    for (QLabel *label : window->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        const QRect room = label->contentsRect();
        const QRect needed = label->fontMetrics().boundingRect(
            QRect(room.topLeft(), QSize(room.width(), 100000)),
            static_cast<int>(label->alignment()) | Qt::TextWordWrap, label->text());
        EXPECT_TRUE(needed.width() <= room.width() && needed.height() <= room.height())
            << label->text().toStdString();
    }
}

} // namespace windowtest
