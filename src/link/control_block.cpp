#include "link/control_block.h"

#include <algorithm>

namespace ormid {

namespace {

std::uint16_t readLe16(const ControlBlock& block, std::size_t offset)
{
    return static_cast<std::uint16_t>(block[offset] | (block[offset + 1] << 8));
}

void writeLe16(ControlBlock& block, std::size_t offset, std::uint16_t value)
{
    block[offset] = static_cast<Byte>(value & 0xFF);
    block[offset + 1] = static_cast<Byte>(value >> 8);
}

} // namespace

MemoryRecord readMemoryRecord(const ControlBlock& block, int n)
{
    MemoryRecord record;
    if (!isMemorySlot(n))
        return record;
    const std::size_t at = memoryRecordOffset(n);
    std::copy_n(block.begin() + at, record.signature.size(), record.signature.begin());
    record.status = block[at + 3];
    record.length = readLe16(block, at + 4);
    record.blockNumber = readLe16(block, at + 6);
    std::copy_n(block.begin() + at + kInfoOffset, kInfoSize, record.info.begin());
    return record;
}

bool writeMemoryRecord(ControlBlock& block, int n, const MemoryRecord& record)
{
    if (!isMemorySlot(n))
        return false;
    const std::size_t at = memoryRecordOffset(n);
    std::copy(record.signature.begin(), record.signature.end(), block.begin() + at);
    block[at + 3] = record.status;
    writeLe16(block, at + 4, record.length);
    writeLe16(block, at + 6, record.blockNumber);
    std::copy(record.info.begin(), record.info.end(), block.begin() + at + kInfoOffset);
    return true;
}

bool fillMemoryRecord(ControlBlock& block, int n, bool remoteMode, Byte status, std::string_view infoText)
{
    if (!isMemorySlot(n))
        return false;
    MemoryRecord record = readMemoryRecord(block, n);
    record.signature = signatureFor(remoteMode);
    record.status = status;
    record.length = kStoredLength;
    record.blockNumber = memoryBlockNumber(n);
    if (!infoText.empty())
        record.info = infoFromName(infoText);
    return writeMemoryRecord(block, n, record);
}

bool clearMemoryName(ControlBlock& block, int n)
{
    if (!isMemorySlot(n))
        return false;
    const std::size_t at = memoryRecordOffset(n) + kInfoOffset;
    std::fill_n(block.begin() + at, kInfoSize, kInfoEnd);
    return true;
}

FirmwareRecord readFirmwareRecord(const ControlBlock& block)
{
    constexpr std::size_t at = kFirmwareRecordOffset;
    FirmwareRecord record;
    std::copy_n(block.begin() + at, record.signature.size(), record.signature.begin());
    record.version = block[at + 3];
    record.size = readLe16(block, at + 4);
    record.firstBlock = readLe16(block, at + 6);
    return record;
}

void writeFirmwareRecord(ControlBlock& block, Byte version, std::uint16_t size)
{
    constexpr std::size_t at = kFirmwareRecordOffset;
    std::copy(kFirmwareSignature.begin(), kFirmwareSignature.end(), block.begin() + at);
    block[at + 3] = version;
    writeLe16(block, at + 4, size);
    writeLe16(block, at + 6, kFirmwareFirstBlock);
}

Byte stickFirmwareVersion(const ControlBlock& block)
{
    const FirmwareRecord record = readFirmwareRecord(block);
    return record.isValid() ? record.version : 0;
}

} // namespace ormid
