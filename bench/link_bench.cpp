// Link benchmark: how many 100 ms ticks of the link engine a full device read, a full
// write and a full firmware update take against the simulated stick in USB Stick mode,
// and how that compares with the least the protocol allows at that tick period (one
// frame per tick: read 10 frames, write 20 frames, update 3 segments per 72-byte page).
//
//   ormid-link-bench
//
// The stick runs in-process on a virtual clock, once replying at once (as the
// simulator does by default, so the read after each frame finds the answer) and once
// 10 ms after each frame; the engine is ticked as the window's timer ticks it.
// Virtual time includes the pauses the engine takes itself. Last, a write whose fifth
// acknowledgement is lost against a clean one: the ratio of their times shows what one
// lost reply costs (one reply time-out is the least). It measures and prints; it never
// judges the figures.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#include "core/image.h"
#include "link/embedded_firmware.h"
#include "link/firmware_image.h"
#include "link/link_engine.h"
#include "link/stick_probe.h"
#include "sim/sim_transport.h"
#include "sim/stick_model.h"
#include "sim/virtual_clock.h"

namespace {

using namespace ormid;

constexpr sim::Millis kReplyDelays[] = {0, 10};
constexpr int kTickLimit = 10000;

struct Operation {
    const char* name;
    int frames; // the protocol's least: one frame per tick
    std::function<LinkStart()> begin;
    LinkOutcome end; // the outcome of a good run
};

class Bench {
public:
    explicit Bench(sim::Faults faults)
        : model_(sim::StickConfig{.mode = sim::StickMode::usb}, std::move(faults), {}), transport_(model_, clock_),
          engine_(transport_, image_, {.skipFW = true})
    {
    }

    bool connect()
    {
        StickProbe probe;
        if (runStickProbe(probe, transport_, waiter_) != ProbeResult::usbStickMode)
            return false;
        engine_.start();
        for (int tick = 0; tick < kTickLimit && !engine_.imageRead(); ++tick) {
            waiter_.sleep(LinkEngine::kTickPeriod);
            engine_.tick();
        }
        return engine_.imageRead();
    }

    // Ticks until `end` comes out; the ticks taken, -1 when the limit was reached or
    // the operation ended otherwise.
    int ticksUntil(LinkOutcome end)
    {
        for (int tick = 1; tick <= kTickLimit; ++tick) {
            waiter_.sleep(LinkEngine::kTickPeriod);
            const std::vector<LinkOutcome> outcomes = engine_.tick();
            if (std::find(outcomes.begin(), outcomes.end(), end) != outcomes.end())
                return tick;
            if (!engine_.busy())
                return -1;
        }
        return -1;
    }

    // Prints the operation's ticks and times; its virtual time, -1 when it did not finish well.
    sim::Millis measure(const Operation& operation)
    {
        const sim::Millis start = clock_.now();
        const auto wallStart = std::chrono::steady_clock::now();
        const int ticks = operation.begin() == LinkStart::started ? ticksUntil(operation.end) : -1;
        const double wallMs
            = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
        if (ticks < 0) {
            std::printf("%-16s did not finish well within %d ticks\n", operation.name, kTickLimit);
            return -1;
        }
        const auto virtualMs = clock_.now() - start;
        const auto minimumMs = operation.frames * LinkEngine::kTickPeriod.count();
        std::printf("%-16s %6d %8lld ms %8lld ms %6.2f %9.1f ms\n", operation.name, ticks,
                    static_cast<long long>(virtualMs), static_cast<long long>(minimumMs),
                    static_cast<double>(virtualMs) / static_cast<double>(minimumMs), wallMs);
        return virtualMs;
    }

    LinkEngine& engine() { return engine_; }

private:
    sim::VirtualClock clock_;
    sim::VirtualWaiter waiter_{clock_};
    sim::StickModel model_;
    sim::SimTransport transport_;
    EeBlock image_ = makeDefaultImage();
    LinkEngine engine_;
};

// Reads, writes and updates a fresh simulated device whose replies come `replyDelay`
// after each frame; false when the benchmark cannot run.
bool measureAll(const FirmwareImage& firmware, sim::Millis replyDelay)
{
    Bench bench(sim::Faults{.replyDelay = replyDelay});
    if (!bench.connect()) {
        std::fprintf(stderr, "The simulated device was not read.\n");
        return false;
    }
    if (!bench.engine().setFirmware(firmware.fwImage, firmware.fwSize, firmware.embeddedFwVersion)) {
        std::fprintf(stderr, "The built-in firmware does not fit the update.\n");
        return false;
    }
    LinkEngine& engine = bench.engine();
    const int segments = engine.firmwarePages() * kSegmentsPerPage;

    std::printf("\nLink engine against the in-process stick simulator (USB Stick mode, replies after %lld ms),\n"
                "tick %lld ms; minimum = frames x tick; firmware %u bytes = %d pages = %d segments\n\n",
                static_cast<long long>(replyDelay), static_cast<long long>(LinkEngine::kTickPeriod.count()),
                static_cast<unsigned>(firmware.fwSize), engine.firmwarePages(), segments);
    std::printf("%-16s %6s %11s %11s %6s %12s\n", "operation", "ticks", "time", "minimum", "ratio", "wall (CPU)");

    const Operation operations[] = {
        {"read (ReRead)", 10, [&] { return engine.startRead(); }, LinkOutcome::readDone},
        {"write", 20, [&] { return engine.startWrite(); }, LinkOutcome::writeDone},
        {"firmware update", segments, [&] { return engine.startUpdate(); }, LinkOutcome::resetSent},
    };
    for (const auto& operation : operations)
        bench.measure(operation);
    return true;
}

// A clean write against one whose fifth Write Memory acknowledgement is lost.
bool measureLostAcknowledgement()
{
    std::printf("\nWrite with one lost acknowledgement (the fifth 'T'), replies at once; reply time-out %lld ms\n\n",
                static_cast<long long>(LinkEngine::kReplyTimeoutTicks * LinkEngine::kTickPeriod.count()));
    std::printf("%-16s %6s %11s %11s %6s %12s\n", "operation", "ticks", "time", "minimum", "ratio", "wall (CPU)");
    sim::Millis times[2] = {};
    const sim::Faults faults[2] = {{}, {.loseLinkAck = 5}};
    const char* names[2] = {"write, clean", "write, 'T' lost"};
    for (int i = 0; i < 2; ++i) {
        Bench bench(faults[i]);
        if (!bench.connect()) {
            std::fprintf(stderr, "The simulated device was not read.\n");
            return false;
        }
        LinkEngine& engine = bench.engine();
        times[i] = bench.measure({names[i], 20, [&] { return engine.startWrite(); }, LinkOutcome::writeDone});
    }
    if (times[0] > 0 && times[1] > 0)
        std::printf("\nlost acknowledgement / clean: %.2f (%lld ms longer)\n",
                    static_cast<double>(times[1]) / static_cast<double>(times[0]),
                    static_cast<long long>(times[1] - times[0]));
    return true;
}

} // namespace

int main()
{
    FirmwareImage firmware;
    if (!loadEmbeddedFirmware(firmware, embeddedFirmwareContainer(), true)) {
        std::fprintf(stderr, "The built-in firmware container is damaged.\n");
        return 1;
    }
    for (const sim::Millis replyDelay : kReplyDelays) {
        if (!measureAll(firmware, replyDelay))
            return 1;
    }
    return measureLostAcknowledgement() ? 0 : 1;
}
