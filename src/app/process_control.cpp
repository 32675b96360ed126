#include "app/process_control.h"

#include <QCoreApplication>
#include <QProcess>

#include "app/instance_guard.h"

namespace ormid {

void SystemProcessControl::releaseInstance()
{
    guard_.release();
}

bool SystemProcessControl::startInstance(const QStringList& arguments)
{
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
}

void SystemProcessControl::quit()
{
    QCoreApplication::quit();
}

} // namespace ormid
