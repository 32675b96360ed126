#pragma once
// A transport that loses the stick's acknowledgement (C0 33) of one block address:
// a block write the stick never confirmed, while every other write goes through.

#include <cstdint>
#include <optional>

#include "link/hid_transport.h"

namespace ormid::test {

class LostAcknowledgement final : public HidTransport {
public:
    // `inner` must outlive this transport.
    LostAcknowledgement(HidTransport& inner, std::uint16_t address) : inner_(inner), address_(address) {}
    bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) override
    {
        return inner_.findHidDevice(vendorId, productId);
    }
    Byte getInputReportLength() const override { return inner_.getInputReportLength(); }
    Byte getOutputReportLength() const override { return inner_.getOutputReportLength(); }
    Byte getFeatureReportLength() const override { return inner_.getFeatureReportLength(); }
    void writeData(ByteSpan report) override { inner_.writeData(report); }
    std::optional<Report> readData() override
    {
        std::optional<Report> report = inner_.readData();
        const bool lost = report && (*report)[0] == 0xC0 && (*report)[1] == 0x33 &&
                          ((*report)[2] | ((*report)[3] << 8)) == address_;
        return lost ? std::nullopt : report;
    }

private:
    HidTransport& inner_;
    std::uint16_t address_;
};

} // namespace ormid::test
