#pragma once
// Firmware containers for tests: `size` bytes of a counting pattern, the last line
// filled with `fill`, and the CRC over every data byte unless one is given.

#include <optional>
#include <string>
#include <vector>

#include "core/crc16.h"
#include "core/text_lines.h"
#include "link/firmware_container.h"

namespace ormid::test {

inline std::vector<Byte> firmwareLineBytes(std::size_t size, Byte fill = 0xFF)
{
    const std::size_t lines = (size + kFirmwareLineBytes - 1) / kFirmwareLineBytes;
    std::vector<Byte> bytes(lines * kFirmwareLineBytes, fill);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<Byte>(i * 13 + 5);
    return bytes;
}

inline std::string firmwareText(const std::vector<Byte>& lineBytes, std::uint16_t size, Byte version,
                                std::optional<std::uint16_t> crc = std::nullopt)
{
    std::string text
        = "FWX" + hexNumber(size, 4) + hexNumber(version, 2) + hexNumber(crc.value_or(crc16(lineBytes)), 4);
    text += "\r\n";
    for (std::size_t at = 0; at < lineBytes.size(); at += kFirmwareLineBytes)
        text += hexBytes(ByteSpan(lineBytes).subspan(at, kFirmwareLineBytes)) + "\r\n";
    return text;
}

} // namespace ormid::test
