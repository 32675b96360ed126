#include "link/firmware_container.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "core/crc16.h"
#include "core/file_signatures.h"
#include "core/text_lines.h"

namespace ormid {

namespace {

// "FWX", then the size (4 hexadecimal digits), the version (2) and the CRC (4).
constexpr std::size_t kSizeStart = kFileSignatureLength;
constexpr std::size_t kVersionStart = kSizeStart + 4;
constexpr std::size_t kCrcStart = kVersionStart + 2;
static_assert(kCrcStart + 4 == kFirmwareHeaderLength);

std::optional<FirmwareHeader> parseHeader(std::string_view line)
{
    if (line.size() < kFirmwareHeaderLength || signedFileKind(line) != SignedFileKind::firmwareContainer)
        return std::nullopt;
    const auto size = parseHexNumber(line.substr(kSizeStart, 4));
    const auto version = parseHexNumber(line.substr(kVersionStart, 2));
    const auto crc = parseHexNumber(line.substr(kCrcStart, 4));
    if (!size || !version || !crc)
        return std::nullopt;
    return FirmwareHeader{static_cast<std::uint16_t>(*size), static_cast<Byte>(*version),
                          static_cast<std::uint16_t>(*crc)};
}

} // namespace

FirmwareContainer parseFirmwareContainer(std::string_view text)
{
    FirmwareContainer result;
    auto lines = splitTextLines(text);
    dropTrailingEmptyLines(lines);
    const auto header = lines.empty() ? std::nullopt : parseHeader(lines.front());
    if (!header)
        return result;
    result.header = *header;
    result.dataLines = lines.size() - 1;
    if (result.dataLines > kFirmwareMaxLines) {
        result.status = FirmwareContainerStatus::TooManyLines;
        return result;
    }

    std::vector<Byte> buffer(kFirmwareBufferSize, 0xFF);
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < result.dataLines; ++i) {
        const std::string_view line = lines[i + 1];
        const auto bytes = line.size() == kFirmwareLineBytes * 2 ? parseHexBytes(line) : std::nullopt;
        if (!bytes) {
            result.computedCrc = crc;
            result.status = FirmwareContainerStatus::CorruptLine;
            return result;
        }
        crc = crc16Update(crc, *bytes);
        std::copy(bytes->begin(), bytes->end(), buffer.begin() + static_cast<std::ptrdiff_t>(i * kFirmwareLineBytes));
    }
    result.computedCrc = crc;
    result.crcMatches = crc == header->crc;
    result.status = result.crcMatches ? FirmwareContainerStatus::Valid : FirmwareContainerStatus::CrcMismatch;
    if (result.crcMatches)
        result.image = std::move(buffer);
    return result;
}

} // namespace ormid
