#pragma once
// How the program finds the stick and its mode at start-up: presence, the mode
// query polled once per tick for up to 20 ticks, then presence again and the
// control-block request with its wait of up to 101 collector cycles. It never
// blocks: `tick()` is one 50 ms tick driven from outside, so the window (a QTimer),
// the command-line tool (a loop with a waiter) and the tests run the same logic on
// the transport each of them hands in.

#include <chrono>

#include "link/block_collector.h"
#include "link/control_block.h"
#include "link/hid_transport.h"
#include "link/waiter.h"

namespace ormid {

enum class ProbePhase {
    idle,         // not started
    modeQuery,    // the mode query was sent; one report is read per tick
    controlBlock, // the control block was asked for; one collector cycle per tick
    finished,
};

enum class ProbeResult {
    pending,      // not finished yet
    noStick,      // no stick present: demo mode
    memoryMode,   // the control block arrived
    usbStickMode, // the control-block request was answered B2 50 / B2 51
    timeOut,      // the control block did not arrive within 101 cycles
};

class StickProbe {
public:
    static constexpr std::chrono::milliseconds kTickPeriod{50};
    static constexpr int kModeQueryTicks = 20;
    static constexpr int kControlBlockCycles = 101;

    StickProbe() = default;
    // The collector writes into this object's block: it must not move.
    StickProbe(const StickProbe&) = delete;
    StickProbe& operator=(const StickProbe&) = delete;

    // Forgets any earlier run and looks for the stick: finished at once without one,
    // else the mode query is sent. `transport` must outlive the run.
    void start(HidTransport& transport);
    // One 50 ms tick; does nothing before start() and after the end.
    void tick();

    ProbePhase phase() const { return phase_; }
    bool finished() const { return phase_ == ProbePhase::finished; }
    ProbeResult result() const { return result_; }
    bool modeQueryAnswered() const { return modeQueryAnswered_; }
    bool remoteMode() const { return remoteMode_; }
    // USB Stick mode: true for B2 50 (an Ormid is connected to the stick), false for B2 51.
    bool deviceConnected() const { return deviceConnected_; }
    // The stick's control block; complete in memory mode, partly filled after a time-out.
    const ControlBlock& controlBlock() const { return controlBlock_; }
    // During the control-block wait: the number of the cycle the next tick runs (0..100).
    // The window appends a "." to its caption before the ticks of cycles 0, 10, 20, ...
    int waitCycle() const { return waitCycle_; }

private:
    void askForControlBlock();
    void tickModeQuery();
    void tickControlBlock();
    void finish(ProbeResult result);

    HidTransport* transport_ = nullptr;
    ProbePhase phase_ = ProbePhase::idle;
    ProbeResult result_ = ProbeResult::pending;
    bool modeQueryAnswered_ = false;
    bool remoteMode_ = false;
    bool deviceConnected_ = false;
    int pollCount_ = 0;
    int waitCycle_ = 0;
    ControlBlock controlBlock_{};
    Block sendBlock_{}; // the collector's data-block target; the probe reads no data block
    BlockCollector collector_{controlBlock_, sendBlock_};
};

// Starts the probe and ticks it after every kTickPeriod on `waiter` until it ends.
ProbeResult runStickProbe(StickProbe& probe, HidTransport& transport, Waiter& waiter);

} // namespace ormid
