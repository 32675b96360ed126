#pragma once
// An in-process HidTransport over a StickModel with a virtual clock, so that tests
// run the program's real protocol classes against the simulated stick in
// milliseconds instead of seconds.

#include <optional>

#include "link/hid_transport.h"
#include "sim/stick_model.h"
#include "sim/virtual_clock.h" // VirtualClock, and VirtualWaiter that advances it

namespace ormid::sim {

class SimTransport final : public HidTransport {
public:
    // Both must outlive the transport. The stick starts plugged in.
    SimTransport(StickModel& model, const VirtualClock& clock) : model_(model), clock_(clock) {}

    // Plugging the stick in starts a new connection of the model; pulling it out
    // makes it unreachable.
    void setPluggedIn(bool pluggedIn);
    bool pluggedIn() const { return pluggedIn_; }

    // True while plugged in, not dropped by the model, and asked for the stick's ids.
    bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) override;
    Byte getInputReportLength() const override { return model_.inputReportLength(); }
    Byte getOutputReportLength() const override { return model_.outputReportLength(); }
    Byte getFeatureReportLength() const override { return model_.featureReportLength(); }
    // Shorter data is padded with zeros to the output length; lost while unreachable.
    void writeData(ByteSpan report) override;
    // The model's next report due now, padded to the input length.
    std::optional<Report> readData() override;

private:
    bool reachable() const { return pluggedIn_ && !model_.connectionDropped(); }

    StickModel& model_;
    const VirtualClock& clock_;
    bool pluggedIn_ = true;
};

} // namespace ormid::sim
