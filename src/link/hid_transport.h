#pragma once
// The operations of the stick's HID library, behind one interface so that the
// program, the command-line tool and the tests can talk to a real stick (hidapi),
// to the simulator over a socket (the bridge) or to an in-process model.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/image.h"

namespace ormid {

constexpr std::uint16_t kStickVendorId = 0x03EB;
constexpr std::uint16_t kStickProductId = 0x2013;

// One input report. Indexing past its end reads 0, so a short or hostile report
// can never make a parser read outside the buffer.
class Report {
public:
    Report() = default;
    explicit Report(std::vector<Byte> bytes) : bytes_(std::move(bytes)) {}

    Byte operator[](std::size_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
    std::size_t size() const { return bytes_.size(); }
    const std::vector<Byte>& bytes() const { return bytes_; }

private:
    std::vector<Byte> bytes_;
};

class HidTransport {
public:
    virtual ~HidTransport() = default;

    // True when a stick with these ids is present; it is then used for every later call.
    // On success the report lengths are read again.
    virtual bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) = 0;
    // Report lengths in bytes, as the device reports them (the low byte is used).
    virtual Byte getInputReportLength() const = 0;
    virtual Byte getOutputReportLength() const = 0;
    virtual Byte getFeatureReportLength() const = 0;
    // Sends one output report; shorter data is padded with zeros to the output length.
    virtual void writeData(ByteSpan report) = 0;
    // Non-blocking: one whole input report, or nothing when none is pending.
    virtual std::optional<Report> readData() = 0;
};

// True when the stick is present; the transport then talks to it.
inline bool findStick(HidTransport& transport)
{
    return transport.findHidDevice(kStickVendorId, kStickProductId);
}

// The transport the program uses: the bridge when ORMID_HID_BRIDGE names a socket,
// else hidapi.
std::unique_ptr<HidTransport> makeDefaultTransport();
// Why the default transport can never find a stick (ORMID_HID_BRIDGE names a path no
// socket can have); empty when nothing is known to be wrong.
std::string defaultTransportProblem();

} // namespace ormid
