#include "app/start_up_report.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <string>
#include <utility>

#include "app/main_window.h"
#include "app/ui_dump.h"
#include "files/atomic_file.h"

namespace ormid {

namespace {

void writeStatusFile(const QString& path, const MainWindow& window)
{
    const std::string line = startUpStatusLine(QCoreApplication::applicationPid(), window.runState());
    if (const FileWriteResult written = writeFileAtomically(path.toStdString(), line); !written.ok())
        std::fprintf(stderr, "ormid-programmer: cannot write %s: %s\n", qPrintable(path), written.error.c_str());
}

// Taken once the window has laid itself out; the run ends after it.
void saveScreenshot(const QString& path, MainWindow& window)
{
    QTimer::singleShot(0, &window, [path, &window] {
        if (window.grab().save(path))
            std::fprintf(stderr, "ormid-programmer: window picture saved to %s\n", qPrintable(path));
        else
            std::fprintf(stderr, "ormid-programmer: cannot save the window picture to %s\n", qPrintable(path));
        QCoreApplication::quit();
    });
}

// Writes the process id once the window has been shown for the first time and the
// event loop has turned, then removes itself.
class ShownReporter final : public QObject {
public:
    ShownReporter(QString path, MainWindow& window) : QObject(&window), path_(std::move(path)), window_(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_ && event->type() == QEvent::Show) {
            window_.removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                const std::string line = std::to_string(QCoreApplication::applicationPid()) + '\n';
                if (const FileWriteResult written = writeFileAtomically(path_.toStdString(), line); !written.ok())
                    std::fprintf(stderr, "ormid-programmer: cannot write %s: %s\n", qPrintable(path_),
                                 written.error.c_str());
                deleteLater();
            });
        }
        return false;
    }

private:
    QString path_;
    MainWindow& window_;
};

} // namespace

const char* runModeName(const RunState& run)
{
    if (run.demo())
        return "demo";
    return run.usbStick() ? "usb" : "memory";
}

std::string startUpStatusLine(long long processId, const RunState& run)
{
    std::string line = std::to_string(processId) + ' ' + runModeName(run);
    for (const std::string& argument : run.options.restartArgs)
        line += ' ' + argument;
    return line + '\n';
}

void reportStartUpFromEnvironment(MainWindow& window)
{
    if (const QString shownFile = qEnvironmentVariable("ORMID_SHOWN_FILE"); !shownFile.isEmpty())
        window.installEventFilter(new ShownReporter(shownFile, window));
    if (const QString uiDump = qEnvironmentVariable("ORMID_UI_DUMP"); !uiDump.isEmpty()) {
        // Taken from now on, so that an early SIGUSR1 finds its handler rather than ending the run.
        auto* dumper = new UiDumper(uiDump, window, &window);
        QObject::connect(&window, &MainWindow::startUpDone, dumper, &UiDumper::dump);
    }
    const QString statusFile = qEnvironmentVariable("ORMID_STATUS_FILE");
    const QString screenshot = qEnvironmentVariable("ORMID_SCREENSHOT");
    if (statusFile.isEmpty() && screenshot.isEmpty())
        return;
    QObject::connect(&window, &MainWindow::startUpDone, &window, [statusFile, screenshot, &window] {
        if (!statusFile.isEmpty())
            writeStatusFile(statusFile, window);
        if (!screenshot.isEmpty())
            saveScreenshot(screenshot, window);
    });
}

} // namespace ormid
