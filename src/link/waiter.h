#pragma once
// A blocking wait in the program's manner: short sleeps, with whatever must keep
// running in between. The window passes one that processes pending Qt events, the
// command-line tool a plain sleep, tests one that advances a virtual clock.

#include <chrono>
#include <thread>

namespace ormid {

class Waiter {
public:
    virtual ~Waiter() = default;
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};

// Sleeps on the real clock; nothing else runs meanwhile.
class RealTimeWaiter final : public Waiter {
public:
    void sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

} // namespace ormid
