#include "link/stick_probe.h"

#include <optional>

#include "link/forwarding_transport.h"
#include "link/stick_frames.h"

namespace ormid {

namespace {

constexpr Byte kDeviceConnectedCode = 0x50; // B2 50; B2 51 means no device

// Keeps the last report read, so that the probe can tell
// B2 50 from B2 51 after the collector has taken the report.
class ReportTap final : public ForwardingTransport {
public:
    using ForwardingTransport::ForwardingTransport;

    std::optional<Report> readData() override
    {
        std::optional<Report> report = ForwardingTransport::readData();
        if (report)
            last_ = *report;
        return report;
    }

    const Report& last() const { return last_; }

private:
    Report last_;
};

} // namespace

void StickProbe::start(HidTransport& transport)
{
    transport_ = &transport;
    result_ = ProbeResult::pending;
    modeQueryAnswered_ = false;
    remoteMode_ = false;
    deviceConnected_ = false;
    pollCount_ = 0;
    waitCycle_ = 0;
    controlBlock_.fill(0);
    collector_.stop();

    if (!findStick(transport)) {
        finish(ProbeResult::noStick);
        return;
    }
    transport.writeData(modeQueryCommand());
    phase_ = ProbePhase::modeQuery;
}

void StickProbe::tick()
{
    switch (phase_) {
    case ProbePhase::modeQuery:
        tickModeQuery();
        break;
    case ProbePhase::controlBlock:
        tickControlBlock();
        break;
    case ProbePhase::idle:
    case ProbePhase::finished:
        break;
    }
}

void StickProbe::tickModeQuery()
{
    ++pollCount_;
    if (const std::optional<Report> report = transport_->readData()) {
        if (const std::optional<StickVariant> variant = parseModeAnswer(*report)) {
            pollCount_ = kModeQueryTicks;
            modeQueryAnswered_ = true;
            remoteMode_ = *variant == StickVariant::remote;
        }
    }
    if (pollCount_ >= kModeQueryTicks)
        askForControlBlock();
}

void StickProbe::askForControlBlock()
{
    // The stick may have been pulled out while the mode query ran.
    if (!findStick(*transport_)) {
        finish(ProbeResult::noStick);
        return;
    }
    collector_.readControlBlock(*transport_);
    waitCycle_ = 0;
    phase_ = ProbePhase::controlBlock;
}

void StickProbe::tickControlBlock()
{
    ReportTap tap(*transport_);
    switch (collector_.tick(tap)) {
    case CollectorTick::blockComplete:
        finish(ProbeResult::memoryMode);
        return;
    case CollectorTick::usbStickSwitch:
        deviceConnected_ = tap.last()[1] == kDeviceConnectedCode;
        finish(ProbeResult::usbStickMode);
        return;
    default:
        break;
    }
    if (++waitCycle_ >= kControlBlockCycles) {
        collector_.stop();
        finish(ProbeResult::timeOut);
    }
}

void StickProbe::finish(ProbeResult result)
{
    result_ = result;
    phase_ = ProbePhase::finished;
}

ProbeResult runStickProbe(StickProbe& probe, HidTransport& transport, Waiter& waiter)
{
    probe.start(transport);
    while (!probe.finished()) {
        waiter.sleep(StickProbe::kTickPeriod);
        probe.tick();
    }
    return probe.result();
}

} // namespace ormid
