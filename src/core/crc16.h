#pragma once
// CRC-16/UMTS: polynomial 0x8005, initial value 0, no reflection, no final XOR.
// Protects stick records, link frames, configuration files and firmware containers.

#include <cstdint>

#include "core/image.h"

namespace ormid {

std::uint16_t crc16(ByteSpan data);
// The same with `seed` shifted in before the data (a register started at that byte).
std::uint16_t crc16(Byte seed, ByteSpan data);

// Continues a CRC over further data, so a CRC can run over bytes as they are parsed.
std::uint16_t crc16Update(std::uint16_t crc, ByteSpan data);

} // namespace ormid
