#pragma once
// The firmware container: a text header "FWX" + size + version + CRC, then lines of
// 256 hexadecimal digits (128 image bytes each). The payload is opaque to the program;
// only the CRC-16 over every data byte is checked.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/image.h"

namespace ormid {

constexpr std::size_t kFirmwareBufferSize = 0x3000;
constexpr std::size_t kFirmwareLineBytes = 128;
constexpr std::size_t kFirmwareMaxLines = kFirmwareBufferSize / kFirmwareLineBytes;
constexpr std::size_t kFirmwareHeaderLength = 13;
// A container of 96 data lines of 258 bytes is about 25 KB; a file far larger is none.
constexpr std::size_t kMaxFirmwareFileSize = 256 * 1024;

enum class FirmwareContainerStatus {
    Valid,
    NotContainer, // no "FWX" header of 13 characters with hexadecimal fields
    CrcMismatch,
    TooManyLines, // more data lines than the buffer holds
    CorruptLine,  // a data line that is not 256 hexadecimal digits
};

struct FirmwareHeader {
    std::uint16_t size = 0;
    Byte version = 0;
    std::uint16_t crc = 0;
};

struct FirmwareContainer {
    FirmwareContainerStatus status = FirmwareContainerStatus::NotContainer;
    FirmwareHeader header;         // filled whenever the header could be read
    std::uint16_t computedCrc = 0; // over the data lines read before any refusal
    bool crcMatches = false;       // every line read and the CRC equal to the header's
    std::size_t dataLines = 0;     // data lines in the text
    std::vector<Byte> image;       // kFirmwareBufferSize bytes when Valid, else empty
};

FirmwareContainer parseFirmwareContainer(std::string_view text);

// The firmware branch of "Load" refuses images that would not fit the buffer.
constexpr bool firmwareSizeFits(std::uint16_t size)
{
    return size < kFirmwareBufferSize;
}

} // namespace ormid
