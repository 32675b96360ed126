#include "core/data_block.h"

#include <algorithm>
#include <array>

#include "core/crc16.h"

namespace ormid {

std::optional<DataBlock> buildDataBlock(ByteSpan image)
{
    if (image.size() < kStoredImageBytes)
        return std::nullopt;
    DataBlock block{};
    for (std::size_t i = 0; i < kDataRecordCount; ++i) {
        const std::size_t at = i * kDataRecordSize;
        const std::size_t offset = i * kDataRecordImageBytes;
        block[at] = kFullRecordLength;
        block[at + 1] = static_cast<Byte>(offset);
        std::copy_n(image.begin() + offset, kDataRecordImageBytes, block.begin() + at + 2);
        const std::uint16_t crc = crc16(ByteSpan(block).subspan(at + 1, 1 + kDataRecordImageBytes));
        block[at + 14] = static_cast<Byte>(crc & 0xFF);
        block[at + 15] = static_cast<Byte>(crc >> 8);
    }
    return block;
}

std::string_view describe(DataBlockWalk result)
{
    switch (result) {
    case DataBlockWalk::copied:
        return "copied";
    case DataBlockWalk::lengthTooLarge:
        return "a record length above 15";
    case DataBlockWalk::pastImageEnd:
        return "a record reaches past image byte 127";
    case DataBlockWalk::dataPastBlock:
        return "a record's data lies past the data block";
    case DataBlockWalk::walkPastBlock:
        return "the records run past the data block";
    case DataBlockWalk::badChecksum:
        return "a record's checksum does not match its bytes";
    }
    return "unknown";
}

namespace {

// The CRC-16 stored after a record's image bytes, over its offset byte and those bytes.
bool checksumMatches(ByteSpan block, Byte offset, std::size_t from, std::size_t count)
{
    const std::size_t at = from + count;
    if (at + 2 > block.size())
        return false;
    const std::uint16_t stored = static_cast<std::uint16_t>(block[at] | block[at + 1] << 8);
    return crc16(offset, block.subspan(from, count)) == stored;
}

} // namespace

DataBlockWalk copyDataBlockToImage(ByteSpan mData, std::uint16_t mLength, std::span<Byte> image)
{
    struct Copy {
        std::size_t from;
        std::size_t to;
        std::size_t count;
    };
    const std::size_t blockEnd = std::min(mData.size(), kBlockSize);
    const std::size_t imageEnd = std::min(image.size(), kImageSize);

    // Every step advances p by at least 1 and p stays inside the block, so the walk
    // has at most kBlockSize steps.
    std::array<Copy, kBlockSize> plan{};
    std::size_t planned = 0;

    std::size_t p = 0;
    std::size_t i = 0;
    do {
        if (p >= blockEnd)
            return DataBlockWalk::walkPastBlock;
        const Byte length = mData[p];
        if (length > kFullRecordLength)
            return DataBlockWalk::lengthTooLarge;
        if (length > kRecordFraming) {
            if (p + 1 >= blockEnd)
                return DataBlockWalk::walkPastBlock;
            const std::size_t offset = mData[p + 1];
            const std::size_t count = length - kRecordFraming;
            const std::size_t from = kDataRecordSize * i + 2;
            if (from > blockEnd || count > blockEnd - from)
                return DataBlockWalk::dataPastBlock;
            if (offset > imageEnd || count > imageEnd - offset)
                return DataBlockWalk::pastImageEnd;
            plan[planned++] = {from, offset, count};
        }
        p += static_cast<std::size_t>(length) + 1;
        ++i;
    } while (p < mLength);

    // The layout holds; now the bytes themselves.
    for (std::size_t k = 0; k < planned; ++k)
        if (!checksumMatches(mData.first(blockEnd), static_cast<Byte>(plan[k].to), plan[k].from, plan[k].count))
            return DataBlockWalk::badChecksum;
    for (std::size_t k = 0; k < planned; ++k)
        std::copy_n(mData.begin() + plan[k].from, plan[k].count, image.begin() + plan[k].to);
    return DataBlockWalk::copied;
}

} // namespace ormid
