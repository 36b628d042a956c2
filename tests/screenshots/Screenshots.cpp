// Pictures of each window as a user sees it, saved as PNG files into
// $VANDREL_SCREENSHOT_DIR (scripts/screenshots.sh points it at
// docs/screenshots).
#include "CCadrelleControllerDlg.h"
#include "MasterDlg.h"
#include "Resource.h"
#include "UiTest.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {
QString ShotPath(const char *name)
{
    const QString dir = qEnvironmentVariableIsSet("VANDREL_SCREENSHOT_DIR")
                            ? qEnvironmentVariable("VANDREL_SCREENSHOT_DIR")
                            : QDir::currentPath() + QStringLiteral("/pictures");
    return dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
}
} // namespace

TEST(Screenshots, MainWindow)
{
    CCadrelleControllerDlg dialog;
    uitest::OnNextModal([](QWidget *w) {
        EXPECT_TRUE(uitest::SaveScreenshot(w, ShotPath("main-window")));
        uitest::PressKey(w, Qt::Key_Escape);
    });
    dialog.DoModal();
}

TEST(Screenshots, MasterWindow)
{
    using namespace res::master;
    MasterDlg dialog;
    uitest::OnNextModal([](QWidget *w) {
        uitest::Click(w, LockForTime);
        uitest::TypeInto(w, Days, "1");
        uitest::TypeInto(w, Hours, "2");
        uitest::TypeInto(w, Minutes, "30");
        uitest::Click(w, GenerateKeyCode);
        EXPECT_TRUE(uitest::SaveScreenshot(w, ShotPath("master-window")));
        uitest::PressKey(w, Qt::Key_Escape);
    });
    dialog.DoModal();
}
