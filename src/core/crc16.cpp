#include "core/crc16.h"

#include <array>

namespace ormid {

namespace {

constexpr std::uint16_t kPolynomial = 0x8005;

constexpr std::array<std::uint16_t, 256> makeTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
        for (int b = 0; b < 8; ++b)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ kPolynomial : crc << 1);
        table[i] = crc;
    }
    return table;
}

constexpr auto kTable = makeTable();

} // namespace

std::uint16_t crc16Update(std::uint16_t crc, ByteSpan data)
{
    for (const Byte b : data)
        crc = static_cast<std::uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ b) & 0xFF]);
    return crc;
}

std::uint16_t crc16(ByteSpan data)
{
    return crc16Update(0, data);
}

std::uint16_t crc16(Byte seed, ByteSpan data)
{
    return crc16Update(crc16Update(0, ByteSpan(&seed, 1)), data);
}

} // namespace ormid
