#include "link/block_collector.h"

#include <algorithm>

namespace ormid {

void BlockCollector::start(HidTransport& transport, std::uint16_t address, bool control)
{
    const MemoryCommand command = readBlockCommand(address);
    transport.writeData(command);
    controlFlag_ = control;
    dataFlag_ = !control;
    count_ = 0;
    running_ = true;
}

void BlockCollector::readControlBlock(HidTransport& transport)
{
    start(transport, kControlBlockAddress, true);
}

void BlockCollector::readDataBlock(HidTransport& transport, std::uint16_t address)
{
    start(transport, address, false);
}

CollectorTick BlockCollector::tick(HidTransport& transport)
{
    if (!running_)
        return CollectorTick::notRunning;
    const std::optional<Report> received = transport.readData();
    if (!received)
        return CollectorTick::nothingPending;
    const Report& report = *received;

    if (const std::optional<Byte> n = parseReadHeader(report)) {
        count_ = std::min(*n / static_cast<int>(kDataReportSize), kMaxCount);
        return CollectorTick::header;
    }
    if (isUsbStickSwitch(report)) {
        running_ = false;
        return CollectorTick::usbStickSwitch;
    }
    if (count_ == 0)
        return CollectorTick::ignored;

    Block& target = controlFlag_ ? controlBlock_ : sendBlock_;
    const std::size_t offset = static_cast<std::size_t>(kMaxCount - count_) * kDataReportSize;
    for (std::size_t i = 0; i < kDataReportSize; ++i)
        target[offset + i] = report[i]; // a short report reads 0 past its end
    --count_;
    if (count_ > 0)
        return CollectorTick::data;
    running_ = false;
    controlFlag_ = false;
    dataFlag_ = false;
    return CollectorTick::blockComplete;
}

} // namespace ormid
