#pragma once
// The stick's four configuration memories as the program keeps them: the memory
// record read from the control block, the `TMemory` record the window and the
// command line fill from it, the rule that makes a memory empty or used, the
// memory names, and the image a chosen memory gives.
//
// Where the records sit in the stick's control block (offsets, little-endian fields)
// is the stick's business and stays in link/control_block.h; everything here is plain
// record and image logic, shared by the window (app) and ormid-cli.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/data_block.h"
#include "core/image.h"

namespace ormid {

constexpr int kMemoryCount = 4; // M1..M4

// True for a memory number 1..4.
constexpr bool isMemorySlot(int n)
{
    return n >= 1 && n <= kMemoryCount;
}

// The signature that opens a memory record: it tells a used memory from an empty one
// and a local stick's memory from a remote stick's.
using Signature = std::array<Byte, 3>;
constexpr Signature kLocalSignature = {0x8A, 0x65, 0xC2};
constexpr Signature kRemoteSignature = {0x71, 0x58, 0xC4};

// The signature a stick of the given kind writes.
constexpr const Signature& signatureFor(bool remoteMode)
{
    return remoteMode ? kRemoteSignature : kLocalSignature;
}

// The info bytes of a memory record hold the memory's name.
constexpr std::size_t kInfoSize = 8;
constexpr Byte kInfoEnd = 0xFF; // a reader stops at the first FF
constexpr Byte kInfoPad = 0x20; // a name shorter than 8 characters is padded with spaces
using InfoBytes = std::array<Byte, kInfoSize>;

// The info bytes for a name: its first 8 characters as code-page bytes (a character
// the code page lacks becomes '?'), padded with spaces.
InfoBytes infoFromName(std::string_view utf8Name);
// The name held in info bytes: the bytes up to the first FF, converted to UTF-8.
// The padding stays: the window shows the name as the stick holds it.
std::string nameFromInfo(const InfoBytes& info);
// A name as a file or a list shows it: without the spaces that pad it.
std::string withoutPadding(std::string_view name);

// Stick address of a block number: block number x 128, kept to 16 bits as the
// program's `address` is (a hostile block number wraps; it is only ever read).
constexpr std::uint16_t blockAddress(std::uint16_t blockNumber)
{
    return static_cast<std::uint16_t>(blockNumber * kBlockSize);
}

// One memory record of the control block, its fields decoded.
struct MemoryRecord {
    Signature signature{};
    Byte status = 0;          // remote stick: the Tx selection bits; local: 0
    std::uint16_t length = 0; // stored length
    std::uint16_t blockNumber = 0;
    InfoBytes info{};

    // Valid: the local signature on a local stick, the remote one on a remote stick.
    // Anything else, including the other variant's signature, means "empty".
    bool isValid(bool remoteMode) const { return signature == signatureFor(remoteMode); }
    // The record's data-block address (blockNumber x 128, 16 bits).
    std::uint16_t dataAddress() const { return blockAddress(blockNumber); }
    // The memory's name: the info bytes up to the first FF, as code-page text in UTF-8.
    std::string name() const { return nameFromInfo(info); }
};

// A configuration memory as the program holds it after start-up.
struct TMemory {
    bool empty = false;
    std::uint16_t length = 0;  // the record's stored length: how far the walk goes
    std::uint16_t address = 0; // the data block's stick address
    std::string name;          // the name (UTF-8, padding kept); empty for an empty memory
    DataBlock data{};          // the data block as read from the stick
    Byte cbStatus = 0;         // the record's status byte (a remote stick's Tx selection)
};

// A memory as start-up takes it from its record on a stick of the given kind: empty
// unless the record carries that kind's signature; a used memory takes the record's
// status, length, data-block address and name. `data` is left for the block read.
TMemory memoryFromRecord(const MemoryRecord& record, bool remoteMode);

// The name a memory gives the file it is saved to and the line that lists it:
// its name without padding; empty for an empty memory.
std::string displayName(const TMemory& memory);

// What choosing a memory does to the image: an empty memory puts the default image
// in place; a used one walks its data block into `image` (see copyDataBlockToImage:
// image bytes no record covers keep their value). A data block that breaks the
// record layout leaves the default image instead, and the walk result says why.
// Returns `copied` for an empty memory.
DataBlockWalk imageFromMemory(const TMemory& memory, EeBlock& image);

} // namespace ormid
