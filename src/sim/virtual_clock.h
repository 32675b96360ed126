#pragma once
// Virtual time for the in-process stick: a clock that moves only when told to, and
// the Waiter that moves it instead of sleeping. The simulated transport, the tests
// and the link benchmark share them.
//
// Header-only, and it needs nothing but link/waiter.h: tests of the link library
// use it without linking the simulator.

#include <chrono>
#include <cstdint>

#include "link/waiter.h"

namespace ormid::sim {

// Milliseconds on the caller's clock (the same type as in stick_model.h).
using Millis = std::int64_t;

// Time that moves only when told to.
class VirtualClock {
public:
    Millis now() const { return now_; }
    void advance(Millis ms) { now_ += ms; }

private:
    Millis now_ = 0;
};

// Sleeps on the virtual clock: the clock advances by the duration at once, and the
// sleeps are counted. The window tests derive a waiter that also runs Qt events.
class VirtualWaiter : public Waiter {
public:
    // `clock` must outlive the waiter.
    explicit VirtualWaiter(VirtualClock& clock) : clock_(clock) {}

    void sleep(std::chrono::milliseconds duration) override
    {
        clock_.advance(duration.count());
        ++sleeps;
    }

    VirtualClock& clock() const { return clock_; }

    int sleeps = 0; // so far; a test may set it back to 0

private:
    VirtualClock& clock_;
};

} // namespace ormid::sim
