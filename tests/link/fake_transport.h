#pragma once
// An in-memory HidTransport for tests: settable presence and report lengths,
// a queue of input reports to hand out, and a record of every written report.

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <optional>
#include <vector>

#include "link/hid_transport.h"

namespace ormid::test {

class FakeTransport : public HidTransport {
public:
    // Settable state.
    bool present = true;
    Byte inputLength = 8;
    Byte outputLength = 8;
    Byte featureLength = 0;
    // Reports handed out by readData, front first.
    std::deque<Report> inputs;
    // Every report passed to writeData, padded with zeros to the output length
    // as a device receives it (longer data is recorded as given).
    std::vector<std::vector<Byte>> written;
    // Calls made, for tests that count them.
    int findCalls = 0;
    int readCalls = 0;
    std::uint16_t lastVendorId = 0;
    std::uint16_t lastProductId = 0;

    FakeTransport() = default;
    FakeTransport(Byte input, Byte output) : inputLength(input), outputLength(output) {}

    void queue(std::vector<Byte> bytes) { inputs.emplace_back(std::move(bytes)); }
    void queue(std::initializer_list<Byte> bytes) { inputs.emplace_back(std::vector<Byte>(bytes)); }
    void queue(const Report& report) { inputs.push_back(report); }

    bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) override
    {
        ++findCalls;
        lastVendorId = vendorId;
        lastProductId = productId;
        return present && vendorId == kStickVendorId && productId == kStickProductId;
    }
    Byte getInputReportLength() const override { return inputLength; }
    Byte getOutputReportLength() const override { return outputLength; }
    Byte getFeatureReportLength() const override { return featureLength; }

    void writeData(ByteSpan report) override
    {
        std::vector<Byte> bytes(report.begin(), report.end());
        if (bytes.size() < outputLength)
            bytes.resize(outputLength, 0x00);
        written.push_back(std::move(bytes));
    }

    std::optional<Report> readData() override
    {
        ++readCalls;
        if (!present || inputs.empty())
            return std::nullopt;
        Report report = std::move(inputs.front());
        inputs.pop_front();
        return report;
    }
};

} // namespace ormid::test
