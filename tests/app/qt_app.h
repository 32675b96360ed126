#pragma once
// One QApplication for the whole test binary, created on first use; offscreen unless
// the caller chose a platform (to watch the tests on a display).
// It is never destroyed: Qt's input-device registry is torn down with the other statics
// at exit, and an application destroyed after it crashes.

#include <QApplication>

namespace ormid::test {

inline QApplication& qtApp()
{
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace ormid::test
