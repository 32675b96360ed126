#pragma once
// The Waiter of the tests that run blocking code (block transfers, the stick probe,
// the command line's device session): no real time passes. With a virtual clock the
// clock moves by each sleep, so the simulated stick's replies come due; without one
// time stands still, for scripted sticks whose replies do not depend on it. Every
// sleep is counted, then `onSleep` runs: through it a test acts while the code under
// test waits (pulls the stick out, sets an interrupt flag).

#include <chrono>
#include <functional>

#include "link/waiter.h"
#include "sim/virtual_clock.h"

namespace ormid::test {

class TestWaiter final : public Waiter {
public:
    TestWaiter() = default;
    // `clock` must outlive the waiter.
    explicit TestWaiter(sim::VirtualClock& clock) : clock_(&clock) {}

    void sleep(std::chrono::milliseconds duration) override
    {
        if (clock_)
            clock_->advance(duration.count());
        ++sleeps;
        if (onSleep)
            onSleep();
    }

    int sleeps = 0;
    std::function<void()> onSleep;

private:
    sim::VirtualClock* clock_ = nullptr;
};

} // namespace ormid::test
