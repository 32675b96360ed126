#include "link/memory_transfer.h"

#include <algorithm>
#include <vector>

#include "link/crc16.h"
#include "link/data_block.h"

namespace ormid {

namespace {

struct StepInfo {
    TransferStep step;
    std::string_view code;
    std::string_view text;
};

constexpr StepInfo kSteps[] = {
    {TransferStep::dataBlock, "CF", "data block"},
    {TransferStep::remoteFrameBlock, "CF", "remote-frame block"},
    {TransferStep::controlBlock, "CB", "control block"},
};

const StepInfo& infoFor(TransferStep step)
{
    return *std::find_if(std::begin(kSteps), std::end(kSteps), [step](const StepInfo& i) { return i.step == step; });
}

// The firmware update's hand-over point inside "Transfer".
FirmwareStore storePendingFirmware(ControlBlock&)
{
    return FirmwareStore::nothingPending;
}

struct PlannedWrite {
    TransferStep step;
    Block block;
};

} // namespace

std::optional<Block> buildRemoteFrameBlock(ByteSpan frames)
{
    if (frames.size() > kRemoteFramesSize)
        return std::nullopt;
    Block block{};
    std::copy(frames.begin(), frames.end(), block.begin());
    const std::uint16_t crc = crc16(ByteSpan(block.data(), kRemoteFramesSize));
    block[kRemoteFrameCrcOffset] = static_cast<Byte>(crc & 0xFF);
    block[kRemoteFrameCrcOffset + 1] = static_cast<Byte>(crc >> 8);
    return block;
}

std::string_view transferErrorCode(TransferStep step)
{
    return infoFor(step).code;
}

std::string_view describe(TransferStep step)
{
    return infoFor(step).text;
}

std::uint16_t stepAddress(TransferStep step, int memory)
{
    switch (step) {
    case TransferStep::dataBlock:
        return dataBlockAddress(memory);
    case TransferStep::remoteFrameBlock:
        return remoteBlockAddress(memory);
    case TransferStep::controlBlock:
        break;
    }
    return kControlBlockAddress;
}

MemoryTransferResult transferMemory(HidTransport& transport, Waiter& waiter, const MemoryTransferRequest& request)
{
    MemoryTransferResult result;
    if (!isMemorySlot(request.memory))
        return result;

    EeBlock image = request.image;
    if (!request.remoteMode && request.curveCorrection)
        request.curveCorrection(image);
    const std::optional<DataBlock> dataBlock = buildDataBlock(image);
    if (!dataBlock)
        return result;

    std::vector<PlannedWrite> writes = {{TransferStep::dataBlock, *dataBlock}};
    ControlBlock controlBlock = request.controlBlock;
    if (request.remoteMode) {
        // The frame list is built by the remote frames; until then it is empty.
        writes.push_back({TransferStep::remoteFrameBlock, *buildRemoteFrameBlock({})});
        fillMemoryRecord(controlBlock, request.memory, true, request.txStatus, request.infoText);
    } else {
        fillMemoryRecord(controlBlock, request.memory, false, 0, request.infoText);
        result.firmware = storePendingFirmware(controlBlock);
    }
    writes.push_back({TransferStep::controlBlock, controlBlock});

    for (const PlannedWrite& write : writes) {
        const BlockWriteResult written = writeBlock(transport, waiter, stepAddress(write.step, request.memory), write.block);
        if (!succeeded(written)) {
            result.status = MemoryTransferResult::Status::writeFailed;
            result.failedStep = write.step;
            result.write = written;
            return result;
        }
    }
    result.status = MemoryTransferResult::Status::transferred;
    result.controlBlock = controlBlock;
    return result;
}

void eraseStick(HidTransport& transport, bool remote)
{
    transport.writeData(remote ? goRemoteCommand() : eraseCommand());
}

} // namespace ormid
