#pragma once
// The stick's control block at 0xFF80: four memory records
// (offsets 0, 16, 32, 48) and the firmware record (offset 64). Bytes 80..127 are
// not interpreted and no function here touches them. The memory record's fields,
// the rule that makes a memory used and its name live in core/memories.h; here is
// where they sit in the block.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/data_block.h"
#include "core/image.h"
#include "core/memories.h"
#include "link/stick_frames.h"

namespace ormid {

using ControlBlock = Block; // std::array<Byte, 128>

constexpr std::size_t kRecordSize = 16;
constexpr std::size_t kInfoOffset = 8; // info text inside a memory record
constexpr std::size_t kFirmwareRecordOffset = 64;
constexpr std::size_t kInterpretedBytes = 80; // bytes 80..127 are carried as read

constexpr Signature kFirmwareSignature = {0x8A, 0x65, 0xC1};

constexpr std::uint16_t kFirmwareFirstBlock = 4; // stick address 0x0200

// Offset of memory n's record in the control block: 16 (n - 1). Requires isMemorySlot(n).
constexpr std::size_t memoryRecordOffset(int n)
{
    return kRecordSize * static_cast<std::size_t>(n - 1);
}
// Block number of memory n: 0x80 (n - 1) (0x0000, 0x0080, 0x0100, 0x0180).
constexpr std::uint16_t memoryBlockNumber(int n)
{
    return static_cast<std::uint16_t>(0x80 * (n - 1));
}
// Address of memory n's data block: 0x0000, 0x4000, 0x8000, 0xC000.
constexpr std::uint16_t dataBlockAddress(int n)
{
    return blockAddress(memoryBlockNumber(n));
}
// Address of memory n's remote-frame block (remote stick): the data block + 0x80.
constexpr std::uint16_t remoteBlockAddress(int n)
{
    return static_cast<std::uint16_t>(dataBlockAddress(n) + kBlockSize);
}

// A memory record (core/memories.h) takes 16 bytes: signature, status, length and
// block number (both little-endian), then the 8 info bytes.

// Record of memory n (1..4); a default (all-zero, empty) record for any other n.
MemoryRecord readMemoryRecord(const ControlBlock& block, int n);
// Writes all 16 bytes of memory n's record. False (nothing written) for n outside 1..4.
bool writeMemoryRecord(ControlBlock& block, int n, const MemoryRecord& record);

// "Transfer" step 4: memory n's record gets the signature of the
// stick kind, `status`, length 128 and its block number; when `infoText` is not
// empty the info bytes are taken from it, otherwise they keep what was read.
// False (nothing written) for n outside 1..4.
bool fillMemoryRecord(ControlBlock& block, int n, bool remoteMode, Byte status, std::string_view infoText);
// The info bytes of memory n's record become FF, so the memory has no name.
bool clearMemoryName(ControlBlock& block, int n);

// The firmware record at offset 64.
struct FirmwareRecord {
    Signature signature{};
    Byte version = 0;             // minor number of version 1.x
    std::uint16_t size = 0;       // image size in bytes
    std::uint16_t firstBlock = 0; // always 4

    bool isValid() const { return signature == kFirmwareSignature; }
};

FirmwareRecord readFirmwareRecord(const ControlBlock& block);
// Writes 8A 65 C1, version, size (LE), 04 00 into bytes 64..71; bytes 72..79 stay untouched.
void writeFirmwareRecord(ControlBlock& block, Byte version, std::uint16_t size);
// The firmware version the stick holds: that of a valid firmware record, 0 without one.
Byte stickFirmwareVersion(const ControlBlock& block);

} // namespace ormid
