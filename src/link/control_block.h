#pragma once
// The stick's control block at 0xFF80: four memory records
// (offsets 0, 16, 32, 48) and the firmware record (offset 64). Bytes 80..127 are
// not interpreted and no function here touches them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/image.h"
#include "link/data_block.h"
#include "link/stick_frames.h"

namespace ormid {

using ControlBlock = Block; // std::array<Byte, 128>

constexpr int kMemoryCount = 4;              // M1..M4
constexpr std::size_t kRecordSize = 16;
constexpr std::size_t kInfoOffset = 8;       // info text inside a memory record
constexpr std::size_t kInfoSize = 8;
constexpr std::size_t kFirmwareRecordOffset = 64;
constexpr std::size_t kInterpretedBytes = 80; // bytes 80..127 are carried as read

using Signature = std::array<Byte, 3>;
constexpr Signature kLocalSignature = {0x8A, 0x65, 0xC2};
constexpr Signature kRemoteSignature = {0x71, 0x58, 0xC4};
constexpr Signature kFirmwareSignature = {0x8A, 0x65, 0xC1};

constexpr std::uint16_t kFirmwareFirstBlock = 4;  // stick address 0x0200
constexpr Byte kInfoEnd = 0xFF;                   // a reader stops at the first FF
constexpr Byte kInfoPad = 0x20;

// True for a memory number 1..4.
constexpr bool isMemorySlot(int n) { return n >= 1 && n <= kMemoryCount; }
// Offset of memory n's record in the control block: 16 (n - 1). Requires isMemorySlot(n).
constexpr std::size_t memoryRecordOffset(int n) { return kRecordSize * static_cast<std::size_t>(n - 1); }
// Block number of memory n: 0x80 (n - 1) (0x0000, 0x0080, 0x0100, 0x0180).
constexpr std::uint16_t memoryBlockNumber(int n) { return static_cast<std::uint16_t>(0x80 * (n - 1)); }
// Stick address of a block number: block number x 128, kept to 16 bits as the
// program's `mAddress` is (a hostile block number wraps; it is only ever read).
constexpr std::uint16_t blockAddress(std::uint16_t blockNumber)
{
    return static_cast<std::uint16_t>(blockNumber * kBlockSize);
}
// Address of memory n's data block: 0x0000, 0x4000, 0x8000, 0xC000.
constexpr std::uint16_t dataBlockAddress(int n) { return blockAddress(memoryBlockNumber(n)); }
// Address of memory n's remote-frame block (remote stick): the data block + 0x80.
constexpr std::uint16_t remoteBlockAddress(int n) { return static_cast<std::uint16_t>(dataBlockAddress(n) + kBlockSize); }

using InfoBytes = std::array<Byte, kInfoSize>;

// One 16-byte memory record.
struct MemoryRecord {
    Signature signature{};
    Byte status = 0;             // remote stick: the Tx selection bits; local: 0
    std::uint16_t length = 0;    // stored length, little-endian on the stick
    std::uint16_t blockNumber = 0;
    InfoBytes info{};

    // Valid: the local signature on a local stick, the remote one on a remote stick.
    // Anything else, including the other variant's signature, means "empty".
    bool isValid(bool remoteMode) const;
    // The record's data-block address (blockNumber x 128, 16 bits).
    std::uint16_t dataAddress() const { return blockAddress(blockNumber); }
    // The memory's name: the info bytes up to the first FF, as code-page text in UTF-8.
    std::string name() const;
};

// Record of memory n (1..4); a default (all-zero, empty) record for any other n.
MemoryRecord readMemoryRecord(const ControlBlock& block, int n);
// Writes all 16 bytes of memory n's record. False (nothing written) for n outside 1..4.
bool writeMemoryRecord(ControlBlock& block, int n, const MemoryRecord& record);

// The signature a stick of the given kind writes.
constexpr const Signature& signatureFor(bool remoteMode) { return remoteMode ? kRemoteSignature : kLocalSignature; }

// The info bytes for a name: its first 8 characters as code-page bytes (a character
// the code page lacks becomes '?'), padded with spaces.
InfoBytes infoFromName(std::string_view utf8Name);
// The name held in info bytes: the bytes up to the first FF, converted to UTF-8.
std::string nameFromInfo(const InfoBytes& info);

// "Transfer" step 4: memory n's record gets the signature of the
// stick kind, `status`, length 128 and its block number; when `infoText` is not
// empty the info bytes are taken from it, otherwise they keep what was read.
// False (nothing written) for n outside 1..4.
bool fillMemoryRecord(ControlBlock& block, int n, bool remoteMode, Byte status, std::string_view infoText);
// `clearMemory`: the info bytes of memory n's record become FF.
bool clearMemoryName(ControlBlock& block, int n);

// The firmware record at offset 64.
struct FirmwareRecord {
    Signature signature{};
    Byte version = 0;              // minor number of version 1.x
    std::uint16_t size = 0;        // image size in bytes
    std::uint16_t firstBlock = 0;  // always 4

    bool isValid() const { return signature == kFirmwareSignature; }
};

FirmwareRecord readFirmwareRecord(const ControlBlock& block);
// Writes 8A 65 C1, version, size (LE), 04 00 into bytes 64..71; bytes 72..79 stay untouched.
void writeFirmwareRecord(ControlBlock& block, Byte version, std::uint16_t size);
// `stickFwVersion`: the version of a valid firmware record, 0 when the stick has none.
Byte stickFirmwareVersion(const ControlBlock& block);

} // namespace ormid
