#pragma once
// The transport for a real programming stick: hidapi (the hidraw backend on Linux).
//
// - findHidDevice enumerates the devices with the given ids every call, so a pulled-out
//   stick gives false and one plugged in again is found; an open handle is kept only while
//   its device is still listed. The first listed device that opens is used.
// - The report lengths come from the device's report descriptor (hidapi 0.13 cannot tell
//   them): hid_get_report_descriptor where hidapi >= 0.14 has it, else on Linux the sysfs
//   copy of the descriptor; if neither can be read, 64/64/0 (the USB Stick mode lengths,
//   the larger of the stick's two report sizes, so nothing read is cut).
//   They are read when the device is opened; a find that keeps the open handle keeps them.
// - writeData puts the report-id byte hidapi wants in front (0 for a device without report
//   ids) and pads or cuts the data to the output report length.
// - readData never waits; a read error (the device is gone) counts as no report and closes
//   the handle, so the next findHidDevice looks afresh. With numbered reports the id byte
//   is taken off, so a report reads the same either way.

#include <cstddef>
#include <string>

#include "link/hid_transport.h"

struct hid_device_; // hidapi's handle type; hidapi stays a private dependency

namespace ormid {

class HidapiTransport final : public HidTransport {
public:
    // Lengths used when the report descriptor cannot be read.
    static constexpr std::size_t kFallbackInputLength = 64;
    static constexpr std::size_t kFallbackOutputLength = 64;
    static constexpr std::size_t kFallbackFeatureLength = 0;

    HidapiTransport();
    ~HidapiTransport() override;
    HidapiTransport(const HidapiTransport&) = delete;
    HidapiTransport& operator=(const HidapiTransport&) = delete;

    bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) override;
    Byte getInputReportLength() const override { return static_cast<Byte>(inputLength_); }
    Byte getOutputReportLength() const override { return static_cast<Byte>(outputLength_); }
    Byte getFeatureReportLength() const override { return static_cast<Byte>(featureLength_); }
    void writeData(ByteSpan report) override;
    std::optional<Report> readData() override;

private:
    bool open(const std::string& path, std::uint16_t vendorId, std::uint16_t productId);
    void readReportLengths();
    void close();

    hid_device_* device_ = nullptr;
    std::string devicePath_;
    std::uint16_t vendorId_ = 0;
    std::uint16_t productId_ = 0;
    std::size_t inputLength_ = 0;
    std::size_t outputLength_ = 0;
    std::size_t featureLength_ = 0;
    bool usesReportIds_ = false;
    Byte outputReportId_ = 0;
};

} // namespace ormid
