#include "link/memory_transfer.h"

#include "core/remote_frames.h"

#include <algorithm>

#include "core/crc16.h"
#include "core/data_block.h"
#include "link/firmware_image.h"

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

FirmwareStore storeFirmware(HidTransport& transport, Waiter& waiter, const PendingFirmware& firmware,
                            ControlBlock& controlBlock, BlockWriteResult& failure)
{
    const std::size_t blocks = std::min(firmwareBlockCount(firmware.size), kFirmwareMaxLines);
    for (std::size_t b = 0; b < blocks; ++b) {
        failure
            = writeBlock(transport, waiter, firmwareBlockAddress(b), firmwareBlock(firmware.image, firmware.size, b));
        if (!succeeded(failure))
            return FirmwareStore::failed;
    }
    writeFirmwareRecord(controlBlock, firmware.version, firmware.size);
    return FirmwareStore::stored;
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
    result.dataBlock = *dataBlock;
    result.controlBlock = request.controlBlock;
    ControlBlock& controlBlock = result.controlBlock;
    fillMemoryRecord(controlBlock, request.memory, request.remoteMode, request.remoteMode ? request.txStatus : Byte{0},
                     request.infoText);

    // Data block (and remote-frame block) first, control block last: a failed step
    // leaves the stick's control block as it was.
    const auto write = [&](TransferStep step, const Block& block) {
        const BlockWriteResult written = writeBlock(transport, waiter, stepAddress(step, request.memory), block);
        if (!succeeded(written)) {
            result.status = MemoryTransferResult::Status::writeFailed;
            result.failedStep = step;
            result.write = written;
        }
        return succeeded(written);
    };
    if (!write(TransferStep::dataBlock, *dataBlock))
        return result;
    if (request.remoteMode) {
        // The memory carries the remote frames the Tx boxes choose.
        if (!write(TransferStep::remoteFrameBlock, *buildRemoteFrameBlock(encodeRemoteFrames(image, request.txStatus))))
            return result;
    } else {
        if (request.firmware)
            result.firmware = storeFirmware(transport, waiter, *request.firmware, controlBlock, result.firmwareWrite);
        if (result.firmware == FirmwareStore::failed && request.firmwareStoreFailed)
            request.firmwareStoreFailed(result.firmwareWrite);
    }
    if (!write(TransferStep::controlBlock, controlBlock))
        return result;
    result.status = MemoryTransferResult::Status::transferred;
    return result;
}

MemoryReadBack readBackTransfer(HidTransport& transport, Waiter& waiter, const MemoryTransferRequest& request,
                                const MemoryTransferResult& result)
{
    MemoryReadBack readBack;
    if (!findStick(transport)) {
        readBack.stickGone = true;
        return readBack;
    }
    const BlockRead control = readBlock(transport, waiter, kControlBlockAddress);
    const BlockRead data = readBlock(transport, waiter, dataBlockAddress(request.memory));
    if (control.status != BlockReadStatus::read || data.status != BlockReadStatus::read)
        return readBack;
    readBack.dataNew = data.block == result.dataBlock;
    EeBlock image = makeDefaultImage();
    readBack.dataDamaged = isDamaged(copyDataBlockToImage(data.block, kStoredLength, image));
    if (control.block == result.controlBlock && readBack.dataNew)
        readBack.state = TransferReadBack::transferred;
    else if (control.block != request.controlBlock)
        readBack.state = TransferReadBack::mixed;
    else
        readBack.state = readBack.dataNew ? TransferReadBack::dataOnly : TransferReadBack::unchanged;
    return readBack;
}

TransferVerification verifyTransfer(HidTransport& transport, Waiter& waiter, int memory,
                                    const MemoryTransferResult& result)
{
    TransferVerification verification;
    const BlockRead data = readBlock(transport, waiter, dataBlockAddress(memory));
    const BlockRead control = readBlock(transport, waiter, kControlBlockAddress);
    if (data.status != BlockReadStatus::read || control.status != BlockReadStatus::read)
        return verification;
    verification.readBack = true;
    verification.differences = byteMismatches(result.dataBlock, data.block, dataBlockAddress(memory));
    const std::size_t recordAt = memoryRecordOffset(memory);
    const ByteSpan written = ByteSpan(result.controlBlock).subspan(recordAt, kRecordSize);
    const ByteSpan read = ByteSpan(control.block).subspan(recordAt, kRecordSize);
    const std::vector<ByteMismatch> record = byteMismatches(written, read, kControlBlockAddress + recordAt);
    verification.differences.insert(verification.differences.end(), record.begin(), record.end());
    return verification;
}

void eraseStick(HidTransport& transport, bool remote)
{
    transport.writeData(remote ? goRemoteCommand() : eraseCommand());
}

} // namespace ormid
