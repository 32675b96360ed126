#pragma once
// The program's blocking wait: the window keeps handling its events and timers while
// start-up waits for the stick.

#include <QEventLoop>
#include <QTimer>

#include "link/waiter.h"

namespace ormid {

class EventLoopWaiter final : public Waiter {
public:
    void sleep(std::chrono::milliseconds duration) override
    {
        QEventLoop loop;
        QTimer::singleShot(duration, &loop, &QEventLoop::quit);
        loop.exec();
    }
};

} // namespace ormid
