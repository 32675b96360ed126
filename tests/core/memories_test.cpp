#include "core/memories.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace ormid {
namespace {

EeBlock patternedImage(Byte seed)
{
    EeBlock image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<Byte>(seed + i * 7);
    return image;
}

MemoryRecord recordWith(Signature signature)
{
    MemoryRecord record;
    record.signature = signature;
    record.status = 0x05;
    record.length = kStoredLength;
    record.blockNumber = 0x0100;
    record.info = {'P', 'a', 'r', 'k', ' ', ' ', ' ', ' '};
    return record;
}

TEST(Memories, EmptyOrUsedBySignatureAndStickKind)
{
    const struct {
        const char* name;
        Signature signature;
        bool remoteMode;
        bool empty;
    } cases[] = {
        {"local signature, local stick", kLocalSignature, false, false},
        {"local signature, remote stick", kLocalSignature, true, true},
        {"remote signature, remote stick", kRemoteSignature, true, false},
        {"remote signature, local stick", kRemoteSignature, false, true},
        {"firmware signature", {0x8A, 0x65, 0xC1}, false, true},
        {"erased, local stick", {0xFF, 0xFF, 0xFF}, false, true},
        {"erased, remote stick", {0xFF, 0xFF, 0xFF}, true, true},
        {"zero", {0x00, 0x00, 0x00}, false, true},
        {"local, last byte off", {0x8A, 0x65, 0xC3}, false, true},
        {"mixed", {0x8A, 0x58, 0xC4}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MemoryRecord record = recordWith(c.signature);
        EXPECT_EQ(record.isValid(c.remoteMode), !c.empty);
        const TMemory memory = memoryFromRecord(record, c.remoteMode);
        EXPECT_EQ(memory.empty, c.empty);
        if (c.empty) {
            // An empty memory takes nothing from its record.
            EXPECT_EQ(memory.cbStatus, 0);
            EXPECT_EQ(memory.length, 0);
            EXPECT_EQ(memory.address, 0);
            EXPECT_EQ(memory.name, "");
        } else {
            EXPECT_EQ(memory.cbStatus, 0x05);
            EXPECT_EQ(memory.length, kStoredLength);
            EXPECT_EQ(memory.address, 0x8000);
            EXPECT_EQ(memory.name, "Park    ");
        }
        EXPECT_EQ(memory.data, DataBlock{}) << "the data block comes from the stick, not the record";
    }
}

TEST(Memories, AddressFromTheBlockNumber)
{
    const struct {
        std::uint16_t blockNumber;
        std::uint16_t address;
    } cases[] = {
        {0x0000, 0x0000}, {0x0080, 0x4000}, {0x0100, 0x8000}, {0x0180, 0xC000},
        {0x0001, 0x0080}, {0x01FF, 0xFF80}, {0x0200, 0x0000}, // a hostile block number wraps to 16 bits
    };
    for (const auto& c : cases) {
        MemoryRecord record = recordWith(kLocalSignature);
        record.blockNumber = c.blockNumber;
        EXPECT_EQ(memoryFromRecord(record, false).address, c.address) << c.blockNumber;
    }
}

TEST(Memories, NameUpToTheFirstFF)
{
    const struct {
        const char* name;
        InfoBytes info;
        std::string expected;
    } cases[] = {
        {"Park then FF", {'P', 'a', 'r', 'k', 0xFF, 'x', 'y', 'z'}, "Park"},
        {"full", {'S', 't', 'r', 'e', 'e', 't', '1', '2'}, "Street12"},
        {"padding kept", {'A', 'B', ' ', ' ', ' ', ' ', ' ', ' '}, "AB      "},
        {"FF first", {0xFF, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}, ""},
        {"erased", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, ""},
        {"code page", {'M', 0xFC, 'n', 'z', 0x80, 0xFF, 0, 0}, "M\xC3\xBCnz\xE2\x82\xAC"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nameFromInfo(c.info), c.expected) << c.name;
        MemoryRecord record = recordWith(kRemoteSignature);
        record.info = c.info;
        EXPECT_EQ(record.name(), c.expected) << c.name;
        EXPECT_EQ(memoryFromRecord(record, true).name, c.expected) << c.name;
    }
}

TEST(Memories, NameAndInfoBytesRoundTrip)
{
    for (const std::string name : {"Park    ", "Street12", "M\xC3\xBCnz    ", "        "})
        EXPECT_EQ(nameFromInfo(infoFromName(name)), name) << name;
    EXPECT_EQ(nameFromInfo(infoFromName("Park")), "Park    ") << "padded to 8";
    EXPECT_EQ(nameFromInfo(infoFromName("Crossroads")), "Crossroa") << "cut to 8";
}

TEST(Memories, DisplayNameWithoutPadding)
{
    const struct {
        std::string name;
        std::string shown;
    } cases[] = {
        {"Park    ", "Park"},
        {"Street12", "Street12"},
        {"        ", ""},
        {"", ""},
        {" A B    ", " A B"},   // only the padding at the end goes
        {"Tab\t    ", "Tab\t"}, // only spaces pad
        {"M\xC3\xBCnz    ", "M\xC3\xBCnz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(withoutPadding(c.name), c.shown) << '"' << c.name << '"';
        TMemory used;
        used.name = c.name;
        EXPECT_EQ(displayName(used), c.shown) << '"' << c.name << '"';
    }
    TMemory empty;
    empty.empty = true;
    EXPECT_EQ(displayName(empty), "");
}

TEST(Memories, EmptyMemoryGivesTheDefaultImage)
{
    const struct {
        const char* name;
        EeBlock image;
    } cases[] = {
        {"edited image", patternedImage(9)},
        {"device-sized image", EeBlock(kDeviceImageSize, 0x11)},
        {"no image", EeBlock()},
    };
    for (const auto& c : cases) {
        TMemory memory;
        memory.empty = true;
        memory.length = kStoredLength; // what a used memory would carry: ignored
        memory.data = *buildDataBlock(patternedImage(1));
        EeBlock image = c.image;
        EXPECT_EQ(imageFromMemory(memory, image), DataBlockWalk::copied) << c.name;
        EXPECT_EQ(image, makeDefaultImage()) << c.name;
    }
}

TEST(Memories, UsedMemoryWalksItsDataBlockIntoTheImage)
{
    const EeBlock stored = patternedImage(1);
    TMemory memory = memoryFromRecord(recordWith(kLocalSignature), false);
    memory.data = *buildDataBlock(stored);

    EeBlock image = patternedImage(50);
    const EeBlock before = image;
    EXPECT_EQ(imageFromMemory(memory, image), DataBlockWalk::copied);
    ASSERT_EQ(image.size(), kImageSize);
    for (std::size_t i = 0; i < kImageSize; ++i)
        EXPECT_EQ(image[i], i < kStoredImageBytes ? stored[i] : before[i]) << "byte " << i;
}

TEST(Memories, DamagedDataBlockGivesTheDefaultImage)
{
    const DataBlock full = *buildDataBlock(patternedImage(1));
    DataBlock lengthAbove15 = full;
    lengthAbove15[32] = 16;
    DataBlock offsetFF = full;
    offsetFF[1] = 0xFF;
    DataBlock erased;
    erased.fill(0xFF);

    const struct {
        const char* name;
        DataBlock block;
        std::uint16_t length;
        DataBlockWalk expected;
    } cases[] = {
        {"length byte 16", lengthAbove15, kStoredLength, DataBlockWalk::lengthTooLarge},
        {"offset FF", offsetFF, kStoredLength, DataBlockWalk::pastImageEnd},
        {"erased block", erased, kStoredLength, DataBlockWalk::lengthTooLarge},
        {"length FFFF", full, 0xFFFF, DataBlockWalk::walkPastBlock},
    };
    for (const auto& c : cases) {
        TMemory memory = memoryFromRecord(recordWith(kLocalSignature), false);
        memory.data = c.block;
        memory.length = c.length;
        EeBlock image = patternedImage(50);
        const DataBlockWalk walk = imageFromMemory(memory, image);
        EXPECT_EQ(walk, c.expected) << c.name;
        EXPECT_TRUE(isDamaged(walk)) << c.name;
        EXPECT_EQ(image, makeDefaultImage()) << c.name;
    }
}

} // namespace
} // namespace ormid
