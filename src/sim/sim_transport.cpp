#include "sim/sim_transport.h"

#include <vector>

namespace ormid::sim {

void SimTransport::setPluggedIn(bool pluggedIn)
{
    if (pluggedIn && !pluggedIn_)
        model_.connect(clock_.now());
    pluggedIn_ = pluggedIn;
}

bool SimTransport::findHidDevice(std::uint16_t vendorId, std::uint16_t productId)
{
    return reachable() && vendorId == kStickVendorId && productId == kStickProductId;
}

void SimTransport::writeData(ByteSpan report)
{
    if (!reachable())
        return;
    std::vector<Byte> bytes(report.begin(), report.end());
    if (bytes.size() < model_.outputReportLength())
        bytes.resize(model_.outputReportLength(), 0x00);
    model_.receive(bytes, clock_.now());
}

std::optional<Report> SimTransport::readData()
{
    if (!reachable())
        return std::nullopt;
    std::optional<std::vector<Byte>> report = model_.takeInput(clock_.now());
    if (!report)
        return std::nullopt;
    if (report->size() < model_.inputReportLength())
        report->resize(model_.inputReportLength(), 0x00);
    return Report(std::move(*report));
}

} // namespace ormid::sim
