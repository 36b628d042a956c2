// The main window, driven headless.
#include "CCadrelleControllerDlg.h"
#include "Resource.h"
#include "UiTest.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace res::main_window;
using uitest::Click;
using uitest::OnNextModal;
using uitest::PressKey;

namespace {
QDateTime ParseStamp(const QString &stamp)
{
    // "Nov  8 2008, 18:17:19": the day is padded with a space.
    return QLocale::c().toDateTime(QString(stamp).replace(QLatin1String("  "), QLatin1String(" 0")),
                                   QStringLiteral("MMM dd yyyy, HH:mm:ss"));
}
} // namespace

TEST(MainWindow, OpensWithFocusOnCloseAndTheVersionLineAndNoCloseBox)
{
    CCadrelleControllerDlg dialog;
    OnNextModal([](QWidget *w) {
        EXPECT_EQ(uitest::FocusedId(w), dialogkit::IDCANCEL);
        EXPECT_FALSE(w->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(w->windowFlags() & Qt::WindowSystemMenuHint);
        EXPECT_EQ(w->windowTitle(), "Vandrel");
        const QList<QSize> iconSizes = w->windowIcon().availableSizes();
        EXPECT_TRUE(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(256, 256)));

        const QString line = qobject_cast<QLabel *>(uitest::Control(w, VersionLine))->text();
        const QRegularExpression form(
            QStringLiteral(R"(^Vandrel version 1 - [A-Z][a-z]{2} [ 123]\d \d{4}, \d\d:\d\d:\d\d$)"));
        EXPECT_TRUE(form.match(line).hasMatch()) << line.toStdString();
        // The stamp is the build's own: within minutes of this test's build.
        const QDateTime shown = ParseStamp(line.mid(QStringLiteral("Vandrel version 1 - ").size()));
        const QDateTime built = ParseStamp(QStringLiteral(__DATE__ ", " __TIME__));
        ASSERT_TRUE(shown.isValid() && built.isValid());
        EXPECT_LT(std::abs(shown.secsTo(built)), 3600);
        PressKey(w, Qt::Key_Return); // Enter on "Close" ends the program
    });
    EXPECT_EQ(dialog.DoModal(), dialogkit::IDCANCEL);
}

TEST(MainWindow, EscapeEndsIt)
{
    CCadrelleControllerDlg dialog;
    OnNextModal([](QWidget *w) { PressKey(w, Qt::Key_Escape); });
    EXPECT_EQ(dialog.DoModal(), dialogkit::IDCANCEL);
}

TEST(MainWindow, EnterOnMasterOpensTheMasterWindowAndClosingItReturns)
{
    CCadrelleControllerDlg dialog;
    bool masterOpened = false;
    bool backToMain = false;
    OnNextModal([&](QWidget *main) {
        PressKey(main, Qt::Key_Tab); // from "Close" to "Master"
        ASSERT_EQ(uitest::FocusedId(main), Master);
        OnNextModal([&](QWidget *master) {
            masterOpened = master->windowTitle() == "Master";
            PressKey(master, Qt::Key_Escape);
        });
        PressKey(main, Qt::Key_Return);
        backToMain = main->isVisible() && QApplication::activeModalWidget() == main;
        Click(main, dialogkit::IDCANCEL);
    });
    EXPECT_EQ(dialog.DoModal(), dialogkit::IDCANCEL);
    EXPECT_TRUE(masterOpened);
    EXPECT_TRUE(backToMain);
}
