// SPDX-License-Identifier: GPL-3.0-or-later
// Test-only: loaded into the unpacked, installed program with LD_PRELOAD, it
// drives the real windows once the program's QApplication runs, as a user
// would with default settings: opens the Test window, presses 'Upload
// Cadrelle', waits until the upload log says avrdude is done, reads the
// firmware's version through 'Get Version' (once the file named by
// $VANDREL_DRIVER_GO is there), and closes every window. It
// prints what it saw as "driver: <what>=<text>" lines on standard output.
// The program itself is not changed, and the programs it starts do not get
// the driver; a driver that gets stuck ends it with exit code 3.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

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

QWidget *Modal(const char *id)
{
    QWidget *w = QApplication::activeModalWidget();
    return w != nullptr && w->objectName() == QLatin1String(id) && w->isVisible() ? w : nullptr;
}

template <class T = QWidget> T *Child(QWidget *window, int id)
{
    T *child = window->findChild<T *>(QString::number(id), Qt::FindDirectChildrenOnly);
    if (child == nullptr)
        Fail(QStringLiteral("no control %1 in %2").arg(id).arg(window->windowTitle()));
    return child;
}

// Clicks once the current event has been handled: a click that opens a
// modal window runs that window's loop, in which this driver goes on.
void ClickLater(QAbstractButton *button)
{
    QTimer::singleShot(0, button, &QAbstractButton::click);
}

QString UploadLog()
{
    QFile log(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
              QStringLiteral("/Vandrel/upload_out.txt"));
    return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
}

// The file whose presence lets the driver ask for the firmware's version.
QString GoFile()
{
    return qEnvironmentVariable("VANDREL_DRIVER_GO");
}

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
    void Next()
    {
        ++step_;
        watchdog_.start(kStepLimitMs);
    }

    void Step()
    {
        switch (step_) {
        case 0: // the main window
            if (QWidget *main = Modal("102")) {
                ClickLater(Child<QAbstractButton>(main, 1002)); // Test safe
                Next();
            }
            break;
        case 1: // the Test window, as it opens
            if (QWidget *test = Modal("131")) {
                Report("folder", Child<QLineEdit>(test, 1024)->text());
                Report("port", Child<QComboBox>(test, 1025)->currentText());
                for (QLabel *label : test->findChildren<QLabel *>())
                    if (label->text().startsWith(QStringLiteral("You must follow the instructions at: ")))
                        Report("guide", label->text().mid(37));
                ClickLater(Child<QAbstractButton>(test, 1027)); // Upload Cadrelle
                Next();
            }
            break;
        case 2: // the upload's message
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                Report("caption", box->windowTitle());
                Report("message", box->text());
                ClickLater(box->button(QMessageBox::Ok));
                Next();
            }
            break;
        case 3: // the uploader's end, then the firmware's version
            if (QWidget *test = Modal("131")) {
                const QString log = UploadLog();
                // The test lets the driver go on once the board runs the new
                // firmware: before that, an exchange would reach the bootloader.
                if (log.contains(QStringLiteral("avrdude done")) && QFile::exists(GoFile())) {
                    Report("upload-log-lines", QString::number(log.count(QLatin1Char('\n'))));
                    ClickLater(Child<QAbstractButton>(test, 1031)); // Get Version
                    Next();
                }
            }
            break;
        case 4: // the Version window
            if (QWidget *version = Modal("132")) {
                Report("software", Child<QLabel>(version, 1033)->text());
                Report("firmware", Child<QLabel>(version, 1034)->text());
                ClickLater(Child<QAbstractButton>(version, 1)); // Done
                Next();
            }
            break;
        case 5:
            if (QWidget *test = Modal("131")) {
                ClickLater(Child<QAbstractButton>(test, 2)); // Close
                Next();
            }
            break;
        case 6:
            if (QWidget *main = Modal("102")) {
                Report("done", QStringLiteral("yes"));
                ClickLater(Child<QAbstractButton>(main, 2)); // Close: the program ends
                Next();
            }
            break;
        default:
            break;
        }
    }

    QTimer tick_;
    QTimer watchdog_;
    int step_ = 0;
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
