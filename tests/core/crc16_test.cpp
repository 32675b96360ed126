#include "core/crc16.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace ormid {
namespace {

std::vector<Byte> bytesOf(std::string_view text)
{
    return {text.begin(), text.end()};
}

// The augmented shift-register form, bit by bit: every message
// bit enters bit 0, the register is XORed with 0x8005 when the bit leaving bit 15 was
// 1; after the message two zero bytes are shifted in.
std::uint16_t augmentedCrc(const std::vector<Byte>& message)
{
    std::vector<Byte> augmented = message;
    augmented.push_back(0);
    augmented.push_back(0);
    std::uint16_t reg = 0;
    for (const Byte byte : augmented) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool out = reg & 0x8000;
            reg = static_cast<std::uint16_t>((reg << 1) | ((byte >> bit) & 1));
            if (out)
                reg ^= 0x8005;
        }
    }
    return reg;
}

struct CrcCase {
    const char* name;
    std::vector<Byte> data;
    std::uint16_t expected;
};

TEST(Crc16, KnownValues)
{
    const std::vector<CrcCase> cases = {
        {"check value", bytesOf("123456789"), 0xFEE8},
        {"empty", {}, 0x0000},
        {"single zero", {0x00}, 0x0000},
        {"single one", {0x01}, 0x8005},
    };
    for (const auto& c : cases)
        EXPECT_EQ(crc16(c.data), c.expected) << c.name;
}

TEST(Crc16, MatchesAugmentedShiftRegisterForm)
{
    const std::vector<std::vector<Byte>> messages = {
        {},
        bytesOf("123456789"),
        {0xFF},
        {0x80, 0x00, 0x01},
        {0x0C, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C},
    };
    for (const auto& m : messages)
        EXPECT_EQ(crc16(m), augmentedCrc(m)) << "length " << m.size();

    std::vector<Byte> all(256);
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<Byte>(i);
    EXPECT_EQ(crc16(all), augmentedCrc(all));
}

TEST(Crc16, SeedEqualsShiftingTheSeedFirst)
{
    const std::vector<Byte> data = bytesOf("23456789");
    EXPECT_EQ(crc16(Byte{'1'}, data), crc16(bytesOf("123456789")));
    EXPECT_EQ(crc16(Byte{'1'}, data), 0xFEE8);
    for (const Byte seed : {Byte{0x00}, Byte{0x5A}, Byte{0xFF}}) {
        std::vector<Byte> joined = {seed};
        joined.insert(joined.end(), data.begin(), data.end());
        EXPECT_EQ(crc16(seed, data), crc16(joined)) << int(seed);
    }
    EXPECT_EQ(crc16(Byte{0x00}, ByteSpan{}), 0x0000);
}

TEST(Crc16, UpdateContinuesOverFurtherData)
{
    const std::vector<Byte> all = bytesOf("123456789");
    const ByteSpan span(all);
    for (std::size_t split = 0; split <= all.size(); ++split)
        EXPECT_EQ(crc16Update(crc16(span.first(split)), span.subspan(split)), 0xFEE8) << split;
}

} // namespace
} // namespace ormid
