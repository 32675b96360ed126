#pragma once
// A memory's 128-byte data block: image bytes 0..95 in eight
// CRC-protected 16-byte records; and the walk that copies a data block's records
// back into the image when a memory is chosen. The block travels to and from the
// stick through src/link; its layout is the memory's and lives here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/image.h"

namespace ormid {

constexpr std::size_t kBlockSize = 128; // one stick block: control block, data block

// One 128-byte stick block (the window's `controlBlock`, `sendBlock`, `remoteBlock`).
using Block = std::array<Byte, kBlockSize>;

using DataBlock = Block;

constexpr std::size_t kDataRecordCount = 8;
constexpr std::size_t kDataRecordSize = 16;
constexpr std::size_t kDataRecordImageBytes = 12;
constexpr Byte kFullRecordLength = 15; // bytes after the length byte: offset + 12 image bytes + CRC
constexpr Byte kRecordFraming = 3;     // offset byte + 2 CRC bytes
// `eeTotal`, the stored length of a memory record: 8 records x (4 framing + 12 image bytes).
constexpr std::uint16_t kStoredLength = kDataRecordCount * kDataRecordSize;

// The data block of image bytes 0..95: record i (0..7) at 16 i is
// 0F, 12 i, image[12 i .. 12 i + 11], CRC-16 over the offset byte and the 12 image
// bytes (low byte first). nullopt when `image` holds fewer than 96 bytes.
std::optional<DataBlock> buildDataBlock(ByteSpan image);

// The outcome of the walk. Anything but `copied` means the block breaks the record
// layout and the image was left untouched.
enum class DataBlockWalk {
    copied,         // the records were copied into the image
    lengthTooLarge, // a length byte above 15
    pastImageEnd,   // a record's offset + image bytes reach past image byte 127
    dataPastBlock,  // a record's image bytes (read from 16 i + 2) lie past the block
    walkPastBlock,  // the walk position left the block before p >= storedLength
    badChecksum,    // a record's CRC does not match its offset byte and image bytes (or lies past the block)
};

constexpr bool isDamaged(DataBlockWalk result)
{
    return result != DataBlockWalk::copied;
}
// A short English description of a walk result, for a message or a log line.
std::string_view describe(DataBlockWalk result);

// Copies the image records of `data` into `image` exactly as the
// program walks them: p := 0, i := 0; repeat L := data[p], o := data[p + 1]; if L > 3 copy
// the L - 3 bytes at data[16 i + 2] to image[o]; p += L + 1; i += 1; until p >= storedLength.
// Image bytes no record covers keep their value. Once the layout holds, each record
// that copies bytes must carry the CRC of its offset byte and those bytes right after
// them: a memory with one flipped byte is damaged, never a configuration that differs
// (unless the checksums are ignored, for a memory the user reads despite them).
//
// The whole walk is checked first; when any step would break the layout (see
// DataBlockWalk) nothing is copied and the reason is returned. Only the first 128
// bytes of `data` and of `image` are ever used (less when a span is shorter); the
// offset byte is only needed, and so only checked, for records that copy bytes.
enum class Checksums { verified, ignored };
DataBlockWalk copyDataBlockToImage(ByteSpan data, std::uint16_t storedLength, std::span<Byte> image,
                                   Checksums checksums = Checksums::verified);

// The records (their place in the walk, from 1) whose checksum does not match; empty
// when all match or the layout breaks.
std::vector<int> recordsWithBadChecksum(ByteSpan data, std::uint16_t storedLength);

} // namespace ormid
