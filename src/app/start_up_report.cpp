#include "app/start_up_report.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "app/main_window.h"
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

} // namespace

const char* runModeName(const RunState& run)
{
    if (run.demo)
        return "demo";
    return run.usbStick ? "usb" : "memory";
}

std::string startUpStatusLine(long long processId, const RunState& run)
{
    std::string line = std::to_string(processId) + ' ' + runModeName(run);
    for (const std::string& argument : run.restartArgs)
        line += ' ' + argument;
    return line + '\n';
}

void reportStartUpFromEnvironment(MainWindow& window)
{
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
