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

// The copies a walk makes: each record's image bytes, where they go, and the record's
// place in the walk (from 1); or why the layout breaks.
struct WalkPlan {
    struct Copy {
        std::size_t from;
        std::size_t to;
        std::size_t count;
        int record;
    };
    DataBlockWalk status = DataBlockWalk::copied;
    // Every step advances p by at least 1 and p stays inside the block, so the walk
    // has at most kBlockSize steps.
    std::array<Copy, kBlockSize> copies{};
    std::size_t count = 0;
};

WalkPlan planWalk(ByteSpan data, std::uint16_t storedLength, std::size_t imageEnd)
{
    WalkPlan plan;
    const auto broken = [&plan](DataBlockWalk why) {
        plan.status = why;
        return plan;
    };
    std::size_t p = 0;
    std::size_t i = 0;
    do {
        if (p >= data.size())
            return broken(DataBlockWalk::walkPastBlock);
        const Byte length = data[p];
        if (length > kFullRecordLength)
            return broken(DataBlockWalk::lengthTooLarge);
        if (length > kRecordFraming) {
            if (p + 1 >= data.size())
                return broken(DataBlockWalk::walkPastBlock);
            const std::size_t offset = data[p + 1];
            const std::size_t count = length - kRecordFraming;
            const std::size_t from = kDataRecordSize * i + 2;
            if (from > data.size() || count > data.size() - from)
                return broken(DataBlockWalk::dataPastBlock);
            if (offset > imageEnd || count > imageEnd - offset)
                return broken(DataBlockWalk::pastImageEnd);
            plan.copies[plan.count++] = {from, offset, count, static_cast<int>(i) + 1};
        }
        p += static_cast<std::size_t>(length) + 1;
        ++i;
    } while (p < storedLength);
    return plan;
}

// The CRC-16 stored after a record's image bytes, over its offset byte (where the bytes
// go) and those bytes.
bool copyMatches(ByteSpan block, const WalkPlan::Copy& copy)
{
    const std::size_t at = copy.from + copy.count;
    if (at + 2 > block.size())
        return false;
    const std::uint16_t stored = static_cast<std::uint16_t>(block[at] | block[at + 1] << 8);
    return crc16(static_cast<Byte>(copy.to), block.subspan(copy.from, copy.count)) == stored;
}

} // namespace

DataBlockWalk copyDataBlockToImage(ByteSpan data, std::uint16_t storedLength, std::span<Byte> image,
                                   Checksums checksums)
{
    const ByteSpan block = data.first(std::min(data.size(), kBlockSize));
    const WalkPlan plan = planWalk(block, storedLength, std::min(image.size(), kImageSize));
    if (plan.status != DataBlockWalk::copied)
        return plan.status;
    const auto copies = std::span(plan.copies).first(plan.count);
    // The layout holds; now the bytes themselves.
    if (checksums == Checksums::verified
        && !std::all_of(copies.begin(), copies.end(), [&](const WalkPlan::Copy& c) { return copyMatches(block, c); }))
        return DataBlockWalk::badChecksum;
    for (const WalkPlan::Copy& copy : copies)
        std::copy_n(block.begin() + copy.from, copy.count, image.begin() + copy.to);
    return DataBlockWalk::copied;
}

std::vector<int> recordsWithBadChecksum(ByteSpan data, std::uint16_t storedLength)
{
    const ByteSpan block = data.first(std::min(data.size(), kBlockSize));
    const WalkPlan plan = planWalk(block, storedLength, kImageSize);
    std::vector<int> records;
    for (std::size_t k = 0; plan.status == DataBlockWalk::copied && k < plan.count; ++k)
        if (!copyMatches(block, plan.copies[k]))
            records.push_back(plan.copies[k].record);
    return records;
}

} // namespace ormid
