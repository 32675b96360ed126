// ormid-programmer: the desktop programmer for the Ormid luminaire controller.

#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/event_loop_waiter.h"
#include "app/instance_guard.h"
#include "app/main_window.h"
#include "app/process_control.h"
#include "app/start_up_report.h"

int main(int argc, char** argv)
{
    // Taken before Qt removes the options it knows from argv.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // --help and --version answer without a display, also while another run holds the guard.
    if (const auto information = ormid::informationRequested(arguments)) {
        std::cout << *information;
        return 0;
    }
    ormid::InstanceGuard guard;
    if (!guard.acquired())
        return 0;
    QApplication app(argc, argv);
    // What Qt has left in argv is the window's.
    for (const std::string& warning : ormid::commandLineWarnings(std::vector<std::string>(argv + 1, argv + argc)))
        std::cerr << "ormid-programmer: " << warning << '\n';
    // Desktops take the window's icon and name from the installed desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.ormid.Programmer"));
    ormid::EventLoopWaiter waiter;
    ormid::SystemProcessControl process(guard);
    ormid::MainWindow window(ormid::makeDefaultTransport(), arguments, waiter, process);
    ormid::reportStartUpFromEnvironment(window);
    window.show();
    return app.exec();
}
