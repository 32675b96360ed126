#include "core/data_block.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "core/crc16.h"

namespace ormid {
namespace {

using Bytes = std::vector<Byte>;

EeBlock patternedImage(Byte salt)
{
    EeBlock image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<Byte>((i * 7 + salt) & 0xFF);
    return image;
}

TEST(DataBlockBuild, EightFullRecords)
{
    const EeBlock image = patternedImage(3);
    const auto block = buildDataBlock(image);
    ASSERT_TRUE(block);
    for (std::size_t i = 0; i < kDataRecordCount; ++i) {
        const std::size_t at = 16 * i;
        EXPECT_EQ((*block)[at], 15) << i;
        EXPECT_EQ((*block)[at + 1], 12 * i) << i;
        for (std::size_t k = 0; k < 12; ++k)
            EXPECT_EQ((*block)[at + 2 + k], image[12 * i + k]) << i << "/" << k;
        Bytes covered = {static_cast<Byte>(12 * i)};
        covered.insert(covered.end(), image.begin() + 12 * i, image.begin() + 12 * i + 12);
        const std::uint16_t crc = crc16(covered);
        EXPECT_EQ((*block)[at + 14], crc & 0xFF) << i;
        EXPECT_EQ((*block)[at + 15], crc >> 8) << i;
        // The seed form: a CRC over the offset byte and the data.
        EXPECT_EQ(crc, crc16(static_cast<Byte>(12 * i), ByteSpan(image).subspan(12 * i, 12)));
    }
}

TEST(DataBlockBuild, KnownRecordBytes)
{
    EeBlock image(kImageSize, 0x00);
    for (std::size_t k = 0; k < 12; ++k)
        image[k] = static_cast<Byte>(k + 1);
    const auto block = buildDataBlock(image);
    ASSERT_TRUE(block);
    const std::uint16_t crc = crc16(Bytes{0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    EXPECT_EQ(Bytes(block->begin(), block->begin() + 16),
              (Bytes{0x0F, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, static_cast<Byte>(crc & 0xFF),
                     static_cast<Byte>(crc >> 8)}));
}

TEST(DataBlockBuild, UsesOnlyBytes0To95)
{
    EeBlock a = patternedImage(1);
    EeBlock b = a;
    for (std::size_t i = 96; i < b.size(); ++i)
        b[i] ^= 0xFF;
    EXPECT_EQ(buildDataBlock(a), buildDataBlock(b));

    EeBlock device = a;
    device.resize(kDeviceImageSize, 0xEE);
    EXPECT_EQ(buildDataBlock(device), buildDataBlock(a));

    EXPECT_TRUE(buildDataBlock(ByteSpan(a).first(96)));
    EXPECT_FALSE(buildDataBlock(ByteSpan(a).first(95)));
    EXPECT_FALSE(buildDataBlock(ByteSpan{}));
}

TEST(DataBlockWalkTest, RoundTripRestoresBytes0To95AndKeeps96To127)
{
    const EeBlock stored = patternedImage(5);
    const auto block = buildDataBlock(stored);
    ASSERT_TRUE(block);

    EeBlock image = patternedImage(200);
    const EeBlock before = image;
    EXPECT_EQ(copyDataBlockToImage(*block, kStoredLength, image), DataBlockWalk::copied);
    for (std::size_t i = 0; i < 96; ++i)
        EXPECT_EQ(image[i], stored[i]) << i;
    for (std::size_t i = 96; i < 128; ++i)
        EXPECT_EQ(image[i], before[i]) << i;
}

// One flipped byte anywhere in a record, its checksum included, makes the block damaged.
TEST(DataBlockWalkTest, AFlippedByteBreaksItsRecordsChecksum)
{
    const DataBlock good = *buildDataBlock(patternedImage(9));
    for (const std::size_t at : {std::size_t{1}, std::size_t{7}, std::size_t{14}, std::size_t{127}}) {
        DataBlock block = good;
        block[at] ^= 0x01;
        EeBlock image = patternedImage(3);
        const EeBlock before = image;
        EXPECT_EQ(copyDataBlockToImage(block, kStoredLength, image), DataBlockWalk::badChecksum) << at;
        EXPECT_EQ(image, before) << at << ": nothing is copied";
        EXPECT_EQ(recordsWithBadChecksum(block, kStoredLength), std::vector<int>{at == 127 ? 8 : 1}) << at;
        EXPECT_EQ(copyDataBlockToImage(block, kStoredLength, image, Checksums::ignored), DataBlockWalk::copied) << at;
    }
    EXPECT_TRUE(recordsWithBadChecksum(good, kStoredLength).empty());
}

// Builds a data block from raw record bytes placed at the given positions.
DataBlock blockWith(const std::vector<std::pair<std::size_t, Bytes>>& pieces, Byte fill = 0x00)
{
    DataBlock block;
    block.fill(fill);
    for (const auto& [at, bytes] : pieces)
        std::copy(bytes.begin(), bytes.end(), block.begin() + at);
    return block;
}

// The block with the CRC each record that copies bytes carries after them, placed as
// the walk finds the records.
DataBlock withChecksums(DataBlock block, std::uint16_t length)
{
    std::size_t p = 0;
    std::size_t i = 0;
    do {
        const Byte length = block[p];
        if (length > kRecordFraming) {
            const std::size_t from = kDataRecordSize * i + 2;
            const std::size_t count = length - kRecordFraming;
            const std::uint16_t crc = crc16(block[p + 1], ByteSpan(block).subspan(from, count));
            block[from + count] = static_cast<Byte>(crc & 0xFF);
            block[from + count + 1] = static_cast<Byte>(crc >> 8);
        }
        p += std::size_t{length} + 1;
        ++i;
    } while (p < length);
    return block;
}

TEST(DataBlockWalkTest, FollowsTheRecordWalk)
{
    struct Case {
        const char* name;
        DataBlock block;
        std::uint16_t length;
        std::function<void(EeBlock&)> expect; // turns the untouched image into the expected one
    };
    // Position p follows the length bytes; data comes from 16 i + 2, not from p + 2.
    const std::vector<Case> cases = {
        {"single short record copies L-3 bytes from byte 2", blockWith({{0, {5, 40, 0xA1, 0xA2}}}), 1,
         [](EeBlock& e) {
             e[40] = 0xA1;
             e[41] = 0xA2;
         }},
        {"second record's data is read at 18 although it starts at p = 6",
         blockWith({{0, {5, 40, 0xA1, 0xA2}}, {6, {4, 50}}, {18, {0xB1}}}), 7,
         [](EeBlock& e) {
             e[40] = 0xA1;
             e[41] = 0xA2;
             e[50] = 0xB1;
         }},
        {"length 3 copies nothing but advances i", blockWith({{0, {3, 10}}, {4, {4, 20}}, {18, {0xC1}}}), 5,
         [](EeBlock& e) { e[20] = 0xC1; }},
        {"length 0 advances by one", blockWith({{0, {0}}, {1, {0}}, {2, {4, 30}}, {34, {0xD1}}}), 3,
         [](EeBlock& e) { e[30] = 0xD1; }},
        {"repeat runs once with length 0",
         blockWith({{0, {15, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}, {16, {15, 12, 0xEE}}}), 0,
         [](EeBlock& e) {
             for (int k = 0; k < 12; ++k)
                 e[k] = static_cast<Byte>(k + 1);
         }},
        {"stops at p >= length", blockWith({{0, {4, 0, 0x11}}, {5, {4, 1}}, {18, {0x22}}}), 5,
         [](EeBlock& e) { e[0] = 0x11; }},
        {"a record may target image bytes 96..127", blockWith({{0, {15, 116, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}}),
         16,
         [](EeBlock& e) {
             for (int k = 0; k < 12; ++k)
                 e[116 + k] = static_cast<Byte>(k + 1);
         }},
        {"record 8 reads its data at 114..125",
         blockWith({{0, {0}},
                    {1, {0}},
                    {2, {0}},
                    {3, {0}},
                    {4, {0}},
                    {5, {0}},
                    {6, {0}},
                    {7, {15, 0}},
                    {114, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}}),
         9,
         [](EeBlock& e) {
             for (int k = 0; k < 12; ++k)
                 e[k] = static_cast<Byte>(k + 1);
         }},
    };
    for (const auto& c : cases) {
        EeBlock image = patternedImage(77);
        EeBlock expected = image;
        c.expect(expected);
        EXPECT_EQ(copyDataBlockToImage(withChecksums(c.block, c.length), c.length, image), DataBlockWalk::copied)
            << c.name;
        EXPECT_EQ(image, expected) << c.name;
    }
}

TEST(DataBlockWalkTest, HostileRecordsLeaveTheImageUntouched)
{
    struct Case {
        const char* name;
        DataBlock block;
        std::uint16_t length;
        DataBlockWalk expected;
    };
    DataBlock full = *buildDataBlock(patternedImage(1));

    DataBlock lengthAbove15 = full;
    lengthAbove15[32] = 16; // record 3 claims 16 bytes

    DataBlock offsetNear127 = full;
    offsetNear127[16 * 7 + 1] = 120; // 120 + 12 reaches past image byte 127

    DataBlock offset117 = full;
    offset117[1] = 117; // 117 + 12 = 129

    DataBlock offsetFF = full;
    offsetFF[1] = 0xFF;

    DataBlock tiny;
    tiny.fill(0); // 128 records of length 0

    DataBlock tinyCopying;
    tinyCopying.fill(4); // every record copies one byte (at offset 4); record 9 reads at 16 x 8 + 2
    DataBlock tinyPastImage = tinyCopying;
    tinyPastImage[5 * 3 + 1] = 0x80; // record 4 copies one byte to image offset 128

    const std::vector<Case> cases = {
        {"length byte 16", lengthAbove15, kStoredLength, DataBlockWalk::lengthTooLarge},
        {"length byte FF first", blockWith({{0, {0xFF, 0}}}), kStoredLength, DataBlockWalk::lengthTooLarge},
        {"offset 120 in record 8", offsetNear127, kStoredLength, DataBlockWalk::pastImageEnd},
        {"offset 117", offset117, kStoredLength, DataBlockWalk::pastImageEnd},
        {"offset FF", offsetFF, kStoredLength, DataBlockWalk::pastImageEnd},
        {"length FFFF with full records", full, 0xFFFF, DataBlockWalk::walkPastBlock},
        {"length 129 with full records", full, 129, DataBlockWalk::walkPastBlock},
        {"length FFFF with tiny records", tiny, 0xFFFF, DataBlockWalk::walkPastBlock},
        {"many tiny copying records", tinyCopying, kStoredLength, DataBlockWalk::dataPastBlock},
        {"tiny record at image offset 128", tinyPastImage, kStoredLength, DataBlockWalk::pastImageEnd},
        {"ninth full record",
         blockWith({{0, {0}}, {1, {0}}, {2, {0}}, {3, {0}}, {4, {0}}, {5, {0}}, {6, {0}}, {7, {0}}, {8, {15, 0}}}), 10,
         DataBlockWalk::dataPastBlock},
        {"offset byte past the block", blockWith({{127, {4}}}, 0x00), 0xFFFF, DataBlockWalk::walkPastBlock},
    };
    for (const auto& c : cases) {
        EeBlock image = patternedImage(42);
        const EeBlock before = image;
        const DataBlockWalk result = copyDataBlockToImage(c.block, c.length, image);
        EXPECT_EQ(result, c.expected) << c.name;
        EXPECT_TRUE(isDamaged(result)) << c.name;
        EXPECT_FALSE(describe(result).empty()) << c.name;
        EXPECT_EQ(image, before) << c.name;
    }
}

TEST(DataBlockWalkTest, TinyRecordsWithinMLengthAreFine)
{
    DataBlock tiny;
    tiny.fill(0);
    EeBlock image = patternedImage(3);
    const EeBlock before = image;
    EXPECT_EQ(copyDataBlockToImage(tiny, kStoredLength, image), DataBlockWalk::copied);
    EXPECT_EQ(image, before);
}

TEST(DataBlockWalkTest, StaysInsideExactlySizedHeapBuffers)
{
    // Exactly sized heap copies, so that AddressSanitizer sees any access past either end.
    const std::vector<std::pair<DataBlock, std::uint16_t>> blocks = {
        {*buildDataBlock(patternedImage(1)), 0xFFFF},
        {blockWith({}, 0x0F), 0xFFFF},
        {blockWith({}, 0x04), 0xFFFF},
        {blockWith({}, 0xFF), 0xFFFF},
        {blockWith({{127, {15}}}), 0xFFFF},
        {blockWith({{126, {15, 116}}}), 0xFFFF},
    };
    for (const auto& [block, length] : blocks) {
        const auto data = std::make_unique<Byte[]>(kBlockSize);
        std::copy(block.begin(), block.end(), data.get());
        const auto image = std::make_unique<Byte[]>(kImageSize);
        copyDataBlockToImage(ByteSpan(data.get(), kBlockSize), length, std::span<Byte>(image.get(), kImageSize));
    }
}

TEST(DataBlockWalkTest, ShortSpansLimitTheWalk)
{
    const DataBlock full = *buildDataBlock(patternedImage(1));

    // data shorter than a block: reading past its end is damage.
    EeBlock image = patternedImage(2);
    const EeBlock before = image;
    EXPECT_EQ(copyDataBlockToImage(ByteSpan(full).first(100), kStoredLength, image), DataBlockWalk::dataPastBlock);
    EXPECT_EQ(image, before);
    EXPECT_EQ(copyDataBlockToImage(ByteSpan(full).first(96), kStoredLength, image), DataBlockWalk::walkPastBlock);
    EXPECT_EQ(copyDataBlockToImage(ByteSpan{}, 0, image), DataBlockWalk::walkPastBlock);
    EXPECT_EQ(image, before);

    // An image shorter than 96 bytes: records that reach past it are damage.
    EeBlock small(90, 0x11);
    EXPECT_EQ(copyDataBlockToImage(full, kStoredLength, small), DataBlockWalk::pastImageEnd);
    EXPECT_EQ(small, EeBlock(90, 0x11));

    // A 256-byte device image: bytes from 128 on are never written either.
    EeBlock device(kDeviceImageSize, 0x33);
    DataBlock high = blockWith({{0, {15, 120}}});
    EXPECT_EQ(copyDataBlockToImage(high, 1, device), DataBlockWalk::pastImageEnd);
    EXPECT_EQ(device, EeBlock(kDeviceImageSize, 0x33));
    EXPECT_EQ(copyDataBlockToImage(full, kStoredLength, device), DataBlockWalk::copied);
}

} // namespace
} // namespace ormid
