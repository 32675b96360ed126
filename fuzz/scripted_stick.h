#pragma once
// A memory-mode stick that answers from the fuzzer's script: every read hands out the
// script's next entry, whatever was sent, and every written report is kept. An entry
// is a reply of a kind the program understands (a read header, an acknowledgement of
// the block being written, a mode answer, a USB Stick mode answer), raw bytes of any
// length, nothing pending, or the stick pulled out or plugged in again.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "fuzz_input.h"
#include "link/hid_transport.h"
#include "link/stick_frames.h"
#include "link/waiter.h"

namespace ormid::fuzz {

class ScriptedStick final : public HidTransport {
public:
    explicit ScriptedStick(FuzzInput& script) : script_(script) {}

    bool present = true;
    std::vector<std::vector<Byte>> written;
    std::vector<Report> handedOut;

    bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) override
    {
        return present && vendorId == kStickVendorId && productId == kStickProductId;
    }
    Byte getInputReportLength() const override { return kDataReportSize; }
    Byte getOutputReportLength() const override { return kDataReportSize; }
    Byte getFeatureReportLength() const override { return 0; }
    // Kept whether or not the stick is there to take it: what the program sends, in order.
    void writeData(ByteSpan report) override { written.emplace_back(report.begin(), report.end()); }
    std::optional<Report> readData() override
    {
        std::optional<Report> report = next();
        if (report)
            handedOut.push_back(*report);
        return report;
    }

    // Addresses of the write block commands sent so far, in order.
    std::vector<std::uint16_t> blockWrites() const
    {
        std::vector<std::uint16_t> addresses;
        for (const std::vector<Byte>& r : written)
            if (r.size() >= 6 && std::equal(r.begin(), r.begin() + 4, writeBlockCommand(0).begin()))
                addresses.push_back(static_cast<std::uint16_t>(r[4] | r[5] << 8));
        return addresses;
    }

private:
    enum Entry : Byte { nothing, header, acknowledgement, modeAnswer, usbStick, raw, data, pullOrPlug, kinds };

    std::optional<Report> next()
    {
        if (script_.empty())
            return std::nullopt;
        const Entry entry = static_cast<Entry>(script_.pick(kinds));
        if (entry == pullOrPlug)
            present = !present;
        if (!present || entry == nothing || entry == pullOrPlug)
            return std::nullopt;
        switch (entry) {
        case header:
            return Report({kMemoryReply, 0x44, 0x00, 0x00, script_.byte()});
        case acknowledgement: {
            // Mostly the block being written, so that writes get through.
            const std::vector<std::uint16_t> writes = blockWrites();
            const Byte choice = script_.byte();
            const std::uint16_t address = (choice & 0x80) || writes.empty() ? script_.u16() : writes.back();
            return Report({kMemoryReply, 0x33, static_cast<Byte>(address & 0xFF), static_cast<Byte>(address >> 8),
                           static_cast<Byte>(choice & 0x01)});
        }
        case modeAnswer:
            return Report({kMemoryReply, 0x22, 0x5A, script_.byte(), script_.byte()});
        case usbStick:
            return Report({kLinkReply, static_cast<Byte>(0x50 + (script_.byte() & 1))});
        case data:
            return Report(script_.bytes(kDataReportSize));
        default:
            return Report(script_.chunk(2 * kDataReportSize));
        }
    }

    FuzzInput& script_;
};

// Sleeps without time passing, so that every wait loop runs at full speed.
class NoWaiter final : public Waiter {
public:
    void sleep(std::chrono::milliseconds) override { ++sleeps; }
    long sleeps = 0;
};

} // namespace ormid::fuzz
