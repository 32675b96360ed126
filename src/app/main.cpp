// ormid-programmer: the desktop programmer for the Ormid luminaire controller.

#include <QApplication>

#include <string>
#include <vector>

#include "app/event_loop_waiter.h"
#include "app/instance_guard.h"
#include "app/main_window.h"
#include "app/process_control.h"
#include "app/start_up_report.h"

int main(int argc, char** argv)
{
    ormid::InstanceGuard guard;
    if (!guard.acquired())
        return 0;
    // Taken before Qt removes the options it knows from argv.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    QApplication app(argc, argv);
    // Desktops take the window's icon and name from the installed desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.ormid.Programmer"));
    ormid::EventLoopWaiter waiter;
    ormid::SystemProcessControl process(guard);
    ormid::MainWindow window(ormid::makeDefaultTransport(), arguments, waiter, process);
    ormid::reportStartUpFromEnvironment(window);
    window.show();
    return app.exec();
}
