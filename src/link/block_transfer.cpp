#include "link/block_transfer.h"

#include <optional>

#include "link/block_collector.h"

namespace ormid {

std::string_view describe(BlockWriteResult result)
{
    switch (result) {
    case BlockWriteResult::written:
        return "written";
    case BlockWriteResult::refused:
        return "the stick refused the block";
    case BlockWriteResult::wrongAddress:
        return "the stick acknowledged another address";
    case BlockWriteResult::noAcknowledgement:
        return "no acknowledgement from the stick";
    }
    return {};
}

std::string_view describe(BlockReadStatus status)
{
    switch (status) {
    case BlockReadStatus::read:
        return "read";
    case BlockReadStatus::didNotArrive:
        return "the block did not arrive";
    case BlockReadStatus::usbStickSwitch:
        return "the stick is in USB Stick mode";
    }
    return {};
}

BlockWriteResult waitForWriteAcknowledgement(HidTransport& transport, Waiter& waiter, std::uint16_t address)
{
    for (int cycle = 0; cycle < kAcknowledgementCycles; ++cycle) {
        waiter.sleep(kAcknowledgementPeriod);
        const std::optional<Report> report = transport.readData();
        if (!report)
            continue;
        const std::optional<WriteAcknowledgement> ack = parseWriteAcknowledgement(*report);
        if (!ack)
            continue;
        if (ack->confirms(address))
            return BlockWriteResult::written;
        return ack->address == address ? BlockWriteResult::refused : BlockWriteResult::wrongAddress;
    }
    return BlockWriteResult::noAcknowledgement;
}

BlockWriteResult writeBlock(HidTransport& transport, Waiter& waiter, std::uint16_t address, const Block& block)
{
    transport.writeData(writeBlockCommand(address));
    (void)transport.readData(); // whatever is pending belongs to no acknowledgement of this block
    for (std::size_t at = 0; at < block.size(); at += kDataReportSize)
        transport.writeData(ByteSpan(block.data() + at, kDataReportSize));
    return waitForWriteAcknowledgement(transport, waiter, address);
}

BlockRead readBlock(HidTransport& transport, Waiter& waiter, std::uint16_t address, const BlockReadCycle& onCycle)
{
    BlockRead result;
    Block unusedControlBlock{};
    BlockCollector collector(unusedControlBlock, result.block);
    collector.readDataBlock(transport, address);
    for (int cycle = 0; cycle < kBlockReadCycles; ++cycle) {
        if (onCycle)
            onCycle(cycle);
        waiter.sleep(kBlockReadPeriod);
        switch (collector.tick(transport)) {
        case CollectorTick::blockComplete:
            result.status = BlockReadStatus::read;
            return result;
        case CollectorTick::usbStickSwitch:
            result.status = BlockReadStatus::usbStickSwitch;
            return result;
        default:
            break;
        }
    }
    return result;
}

} // namespace ormid
