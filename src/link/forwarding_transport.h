#pragma once
// A transport that passes every call to an inner one: the base of the transports that
// stand between the program and a stick, watching or changing what goes by. A derived
// class overrides only what it changes.

#include <cstdint>
#include <optional>

#include "link/hid_transport.h"

namespace ormid {

class ForwardingTransport : public HidTransport {
public:
    // `inner` must outlive this transport.
    explicit ForwardingTransport(HidTransport& inner) : inner_(inner) {}

    bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) override
    {
        return inner_.findHidDevice(vendorId, productId);
    }
    Byte getInputReportLength() const override { return inner_.getInputReportLength(); }
    Byte getOutputReportLength() const override { return inner_.getOutputReportLength(); }
    Byte getFeatureReportLength() const override { return inner_.getFeatureReportLength(); }
    void writeData(ByteSpan report) override { inner_.writeData(report); }
    std::optional<Report> readData() override { return inner_.readData(); }

private:
    HidTransport& inner_;
};

} // namespace ormid
