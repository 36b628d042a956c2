// SPDX-License-Identifier: GPL-3.0-or-later
// Test-only: loaded into the unpacked, installed program with LD_PRELOAD, it
// drives the real windows once the program's QApplication runs, as a user
// would with default settings: opens the Test window, presses 'Upload
// Cadrelle', reads the message that tells how the upload ended, and closes
// every window. It prints what it saw as "driver: <what>=<text>" lines on standard output.
// The program itself is not changed, and the programs it starts do not get
// the driver; a driver that gets stuck ends it with exit code 3.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

constexpr int kStepLimitMs = 120000;

void Report(const char *what, const QString &text)
{
    std::printf("driver: %s=%s\n", what, text.toUtf8().constData());
    std::fflush(stdout);
}

[[noreturn]] void Fail(const QString &why)
{
    Report("failed", why);
    std::_Exit(3);
}

template <class T = QWidget> T *Child(QWidget *window, int id)
{
    T *child = window->findChild<T *>(QString::number(id), Qt::FindDirectChildrenOnly);
    if (child == nullptr)
        Fail(QStringLiteral("no control %1 in %2").arg(id).arg(window->windowTitle()));
    return child;
}

void ReportTestWindow(QWidget *test)
{
    Report("folder", Child<QLineEdit>(test, 1024)->text());
    Report("port", Child<QComboBox>(test, 1025)->currentText());
    for (QLabel *label : test->findChildren<QLabel *>())
        if (label->text().startsWith(QStringLiteral("You must follow the instructions at: ")))
            Report("guide", label->text().mid(37));
}

void ReportMessage(QWidget *box)
{
    Report("caption", box->windowTitle());
    Report("message", static_cast<QMessageBox *>(box)->text());
}

// Each step waits for its modal window, reports what it shows, and clicks.
const struct {
    const char *window; // its object name (the template's id); "": a message box, whose OK is clicked
    int button;
    void (*report)(QWidget *);
} kSteps[] = {
    {"102", 1002, nullptr},          // the main window: Test safe
    {"131", 1027, ReportTestWindow}, // the Test window, as it opens: Upload Cadrelle
    {"", 0, ReportMessage},          // the upload's message, once the uploader has ended
    {"131", 2, nullptr},             // Close
    {"102", 2, [](QWidget *) { Report("done", QStringLiteral("yes")); }}, // Close: the program ends
};

class Driver : public QObject {
public:
    explicit Driver(QObject *parent) : QObject(parent)
    {
        connect(&tick_, &QTimer::timeout, this, [this] { Step(); });
        tick_.start(50);
        connect(&watchdog_, &QTimer::timeout, this,
                [this] { Fail(QStringLiteral("stuck at step %1").arg(step_)); });
        watchdog_.setSingleShot(true);
        watchdog_.start(kStepLimitMs);
    }

private:
    void Step()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (step_ >= std::size(kSteps) || w == nullptr || !w->isVisible())
            return;
        const auto &step = kSteps[step_];
        auto *box = qobject_cast<QMessageBox *>(w);
        if (*step.window != '\0' ? w->objectName() != QLatin1String(step.window) : box == nullptr)
            return;
        if (step.report != nullptr)
            step.report(w);
        // Clicked once the current event has been handled: a click that opens
        // a modal window runs that window's loop, in which this driver goes on.
        QAbstractButton *button = box != nullptr ? box->button(QMessageBox::Ok) : Child<QAbstractButton>(w, step.button);
        QTimer::singleShot(0, button, &QAbstractButton::click);
        ++step_;
        watchdog_.start(kStepLimitMs);
    }

    QTimer tick_;
    QTimer watchdog_;
    std::size_t step_ = 0;
};

void StartDriver()
{
    new Driver(QCoreApplication::instance());
}

// The driver is for the program under test only: the programs it starts (the
// uploader) must run as users run them, so they do not inherit it.
__attribute__((constructor)) void KeepToTheProgram()
{
    ::unsetenv("LD_PRELOAD");
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(StartDriver)
