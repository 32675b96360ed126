#include "link/control_block.h"

#include <gtest/gtest.h>

#include <vector>

namespace ormid {
namespace {

using Bytes = std::vector<Byte>;

ControlBlock patterned()
{
    ControlBlock block;
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<Byte>(0xA0 ^ i);
    return block;
}

void put(ControlBlock& block, std::size_t offset, const Bytes& bytes)
{
    std::copy(bytes.begin(), bytes.end(), block.begin() + offset);
}

TEST(ControlBlockLayout, MemoryAddresses)
{
    struct Case {
        int n;
        std::size_t recordOffset;
        std::uint16_t blockNumber;
        std::uint16_t dataAddress;
        std::uint16_t remoteAddress;
    };
    const std::vector<Case> cases = {
        {1, 0, 0x0000, 0x0000, 0x0080},
        {2, 16, 0x0080, 0x4000, 0x4080},
        {3, 32, 0x0100, 0x8000, 0x8080},
        {4, 48, 0x0180, 0xC000, 0xC080},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(isMemorySlot(c.n));
        EXPECT_EQ(memoryRecordOffset(c.n), c.recordOffset) << c.n;
        EXPECT_EQ(memoryBlockNumber(c.n), c.blockNumber) << c.n;
        EXPECT_EQ(dataBlockAddress(c.n), c.dataAddress) << c.n;
        EXPECT_EQ(remoteBlockAddress(c.n), c.remoteAddress) << c.n;
    }
    EXPECT_FALSE(isMemorySlot(0));
    EXPECT_FALSE(isMemorySlot(5));
    EXPECT_FALSE(isMemorySlot(-1));
    EXPECT_EQ(blockAddress(4), 0x0200);      // the firmware's first block
    EXPECT_EQ(blockAddress(0x01FF), 0xFF80); // the control block
    EXPECT_EQ(blockAddress(0xFFFF), 0xFF80); // 16-bit, as address
}

TEST(ControlBlockRecords, ReadsEveryField)
{
    ControlBlock block{};
    put(block, 16, {0x8A, 0x65, 0xC2, 0x2A, 0x80, 0x00, 0x80, 0x00, 'P', 'a', 'r', 'k', ' ', ' ', ' ', ' '});
    const MemoryRecord r = readMemoryRecord(block, 2);
    EXPECT_EQ(r.signature, kLocalSignature);
    EXPECT_EQ(r.status, 0x2A);
    EXPECT_EQ(r.length, 128);
    EXPECT_EQ(r.blockNumber, 0x0080);
    EXPECT_EQ(r.dataAddress(), 0x4000);
    EXPECT_EQ(r.name(), "Park    ");

    put(block, 48, {0x71, 0x58, 0xC4, 0x00, 0x34, 0x12, 0x80, 0x01});
    const MemoryRecord r4 = readMemoryRecord(block, 4);
    EXPECT_EQ(r4.length, 0x1234);
    EXPECT_EQ(r4.blockNumber, 0x0180);
    EXPECT_EQ(r4.dataAddress(), 0xC000);
}

TEST(ControlBlockRecords, ValidityOnEachStickKind)
{
    struct Case {
        const char* name;
        Bytes signature;
        bool validLocal;
        bool validRemote;
    };
    const std::vector<Case> cases = {
        {"local signature", {0x8A, 0x65, 0xC2}, true, false},
        {"remote signature", {0x71, 0x58, 0xC4}, false, true},
        {"firmware signature", {0x8A, 0x65, 0xC1}, false, false},
        {"erased", {0xFF, 0xFF, 0xFF}, false, false},
        {"zero", {0x00, 0x00, 0x00}, false, false},
        {"local, last byte off", {0x8A, 0x65, 0xC3}, false, false},
        {"mixed", {0x8A, 0x58, 0xC4}, false, false},
    };
    for (const auto& c : cases) {
        for (int n = 1; n <= kMemoryCount; ++n) {
            ControlBlock block{};
            put(block, memoryRecordOffset(n), c.signature);
            const MemoryRecord r = readMemoryRecord(block, n);
            EXPECT_EQ(r.isValid(false), c.validLocal) << c.name << " M" << n;
            EXPECT_EQ(r.isValid(true), c.validRemote) << c.name << " M" << n;
        }
    }
}

TEST(ControlBlockRecords, NameUpToFirstFF)
{
    struct Case {
        const char* name;
        InfoBytes info;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"Park then FF", {'P', 'a', 'r', 'k', 0xFF, 'x', 'y', 'z'}, "Park"},
        {"full", {'S', 't', 'r', 'e', 'e', 't', '1', '2'}, "Street12"},
        {"padded", {'A', 'B', ' ', ' ', ' ', ' ', ' ', ' '}, "AB      "},
        {"erased", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, ""},
        {"code page", {'M', 0xFC, 'n', 'z', 0x80, 0xFF, 0, 0}, "M\xC3\xBCnz\xE2\x82\xAC"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nameFromInfo(c.info), c.expected) << c.name;
        MemoryRecord r;
        r.info = c.info;
        EXPECT_EQ(r.name(), c.expected) << c.name;
    }
}

TEST(ControlBlockRecords, InfoFromName)
{
    struct Case {
        const char* name;
        std::string text;
        InfoBytes expected;
    };
    const std::vector<Case> cases = {
        {"four characters", "Park", {'P', 'a', 'r', 'k', ' ', ' ', ' ', ' '}},
        {"eight", "Street12", {'S', 't', 'r', 'e', 'e', 't', '1', '2'}},
        {"cut to eight", "Crossroads", {'C', 'r', 'o', 's', 's', 'r', 'o', 'a'}},
        {"empty", "", {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '}},
        {"code page", "M\xC3\xBCnz\xE2\x82\xAC", {'M', 0xFC, 'n', 'z', 0x80, ' ', ' ', ' '}},
        {"not in code page", "\xE2\x98\x83", {'?', ' ', ' ', ' ', ' ', ' ', ' ', ' '}},
        {"multibyte counts as one character",
         "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\x84\xC3\x96\xC3\x9C\xC3\xA9\xC3\xA8",
         {0xE4, 0xF6, 0xFC, 0xDF, 0xC4, 0xD6, 0xDC, 0xE9}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(infoFromName(c.text), c.expected) << c.name;
}

TEST(ControlBlockRecords, WriteThenReadRoundTrip)
{
    for (int n = 1; n <= kMemoryCount; ++n) {
        ControlBlock block = patterned();
        const ControlBlock before = block;
        MemoryRecord r;
        r.signature = kRemoteSignature;
        r.status = 0x3F;
        r.length = 0x0180;
        r.blockNumber = memoryBlockNumber(n);
        r.info = infoFromName("Test");
        ASSERT_TRUE(writeMemoryRecord(block, n, r));
        const std::size_t at = memoryRecordOffset(n);
        EXPECT_EQ(Bytes(block.begin() + at, block.begin() + at + 16),
                  (Bytes{0x71, 0x58, 0xC4, 0x3F, 0x80, 0x01, static_cast<Byte>(r.blockNumber & 0xFF),
                         static_cast<Byte>(r.blockNumber >> 8), 'T', 'e', 's', 't', ' ', ' ', ' ', ' '}));
        for (std::size_t i = 0; i < block.size(); ++i) {
            if (i < at || i >= at + 16) {
                EXPECT_EQ(block[i], before[i]) << "M" << n << " byte " << i;
            }
        }
        const MemoryRecord back = readMemoryRecord(block, n);
        EXPECT_EQ(back.signature, r.signature);
        EXPECT_EQ(back.status, r.status);
        EXPECT_EQ(back.length, r.length);
        EXPECT_EQ(back.blockNumber, r.blockNumber);
        EXPECT_EQ(back.info, r.info);
    }
}

TEST(ControlBlockRecords, InvalidSlotTouchesNothing)
{
    ControlBlock block = patterned();
    const ControlBlock before = block;
    MemoryRecord r;
    r.signature = kLocalSignature;
    for (const int n : {0, 5, -1, 100}) {
        EXPECT_FALSE(writeMemoryRecord(block, n, r));
        EXPECT_FALSE(fillMemoryRecord(block, n, false, 0, "Name"));
        EXPECT_FALSE(clearMemoryName(block, n));
        EXPECT_EQ(readMemoryRecord(block, n).signature, (Signature{0, 0, 0}));
    }
    EXPECT_EQ(block, before);
}

TEST(ControlBlockRecords, FillMemoryRecordLocalM3)
{
    ControlBlock block = patterned();
    const ControlBlock before = block;
    ASSERT_TRUE(fillMemoryRecord(block, 3, false, 0, "Park"));
    EXPECT_EQ(Bytes(block.begin() + 32, block.begin() + 48),
              (Bytes{0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x01, 'P', 'a', 'r', 'k', ' ', ' ', ' ', ' '}));
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (i < 32 || i >= 48) {
            EXPECT_EQ(block[i], before[i]) << i;
        }
    }
}

TEST(ControlBlockRecords, FillMemoryRecordEmptyInfoKeepsInfoBytes)
{
    ControlBlock block = patterned();
    put(block, 16 + 8, {'O', 'l', 'd', 'N', 'a', 'm', 'e', 0xFF});
    ASSERT_TRUE(fillMemoryRecord(block, 2, true, 0x15, ""));
    const MemoryRecord r = readMemoryRecord(block, 2);
    EXPECT_EQ(r.signature, kRemoteSignature);
    EXPECT_EQ(r.status, 0x15);
    EXPECT_EQ(r.length, kStoredLength);
    EXPECT_EQ(r.blockNumber, 0x0080);
    EXPECT_EQ(r.name(), "OldName");
    EXPECT_TRUE(r.isValid(true));
}

TEST(ControlBlockRecords, ClearMemoryName)
{
    ControlBlock block = patterned();
    const ControlBlock before = block;
    ASSERT_TRUE(clearMemoryName(block, 3));
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (i >= 40 && i < 48) {
            EXPECT_EQ(block[i], 0xFF) << i;
        } else {
            EXPECT_EQ(block[i], before[i]) << i;
        }
    }
    EXPECT_EQ(readMemoryRecord(block, 3).name(), "");
}

TEST(FirmwareRecord, ReadAndVersion)
{
    ControlBlock block{};
    EXPECT_EQ(stickFirmwareVersion(block), 0); // no firmware record
    put(block, 64, {0x8A, 0x65, 0xC1, 77, 0x48, 0x16, 0x04, 0x00});
    const FirmwareRecord r = readFirmwareRecord(block);
    EXPECT_TRUE(r.isValid());
    EXPECT_EQ(r.version, 77);
    EXPECT_EQ(r.size, 5704);
    EXPECT_EQ(r.firstBlock, kFirmwareFirstBlock);
    EXPECT_EQ(stickFirmwareVersion(block), 77);

    put(block, 64, {0x8A, 0x65, 0xC2}); // a memory signature is no firmware record
    EXPECT_FALSE(readFirmwareRecord(block).isValid());
    EXPECT_EQ(stickFirmwareVersion(block), 0);
}

TEST(FirmwareRecord, WriteLeavesBytes72To127Untouched)
{
    ControlBlock block = patterned();
    const ControlBlock before = block;
    writeFirmwareRecord(block, 77, 5704);
    EXPECT_EQ(Bytes(block.begin() + 64, block.begin() + 72), (Bytes{0x8A, 0x65, 0xC1, 77, 0x48, 0x16, 0x04, 0x00}));
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (i < 64 || i >= 72) {
            EXPECT_EQ(block[i], before[i]) << i;
        }
    }
    EXPECT_EQ(stickFirmwareVersion(block), 77);
}

TEST(ControlBlockCodec, NeverTouchesBytes80To127)
{
    ControlBlock block = patterned();
    const ControlBlock before = block;
    for (int n = 1; n <= kMemoryCount; ++n) {
        fillMemoryRecord(block, n, n % 2 == 0, 0xFF, "Everything");
        clearMemoryName(block, n);
        MemoryRecord r;
        r.info.fill(0xEE);
        writeMemoryRecord(block, n, r);
    }
    writeFirmwareRecord(block, 0xFF, 0xFFFF);
    for (std::size_t i = kInterpretedBytes; i < block.size(); ++i)
        EXPECT_EQ(block[i], before[i]) << i;
}

} // namespace
} // namespace ormid
