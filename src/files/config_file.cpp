#include "files/config_file.h"

#include <algorithm>
#include <array>

#include "core/crc16.h"
#include "core/display_rules.h"
#include "core/file_signatures.h"
#include "core/text_codec.h"
#include "core/text_lines.h"

namespace ormid {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kBytesPerLine = 16;
constexpr std::size_t kDigitsPerLine = kBytesPerLine * 2;
constexpr std::size_t kMaxDataLines = kImageSize / kBytesPerLine;
constexpr std::size_t kCrcStart = kFileSignatureLength;
constexpr std::size_t kCrcDigits = 4;
constexpr std::size_t kInfoStart = kCrcStart + kCrcDigits;

ConfigFileKind kindOf(std::string_view firstLine)
{
    const auto kind = signedFileKind(firstLine);
    if (!kind)
        return ConfigFileKind::Unknown;
    switch (*kind) {
    case SignedFileKind::configuration:
        return ConfigFileKind::Configuration;
    case SignedFileKind::oldConfiguration:
        return ConfigFileKind::OldConfiguration;
    case SignedFileKind::firmwareContainer:
        return ConfigFileKind::Firmware;
    }
    return ConfigFileKind::Unknown;
}

// The info field is one line; a line break in it would split the file.
std::string infoForFile(std::string_view infoUtf8)
{
    std::string info = utf8ToCp1252(infoUtf8).substr(0, kInfoLength);
    std::replace_if(
        info.begin(), info.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return info;
}

struct DataBuffer {
    std::array<Byte, kImageSize> bytes;
    std::uint16_t crc = 0;
};

// Lines that cannot be read back to defined bytes make the file unreadable,
// whatever the CRC says.
std::optional<DataBuffer> readDataLines(const std::vector<std::string_view>& dataLines)
{
    if (dataLines.size() > kMaxDataLines)
        return std::nullopt;
    DataBuffer buffer;
    buffer.bytes.fill(0xFF);
    for (std::size_t k = 0; k < dataLines.size(); ++k) {
        const std::string_view line = dataLines[k];
        const auto bytes = line.size() >= kDigitsPerLine ? parseHexBytes(line.substr(0, kDigitsPerLine)) : std::nullopt;
        if (!bytes)
            return std::nullopt;
        buffer.crc = crc16Update(buffer.crc, *bytes);
        std::copy(bytes->begin(), bytes->end(), buffer.bytes.begin() + static_cast<std::ptrdiff_t>(k * kBytesPerLine));
    }
    return buffer;
}

} // namespace

std::string saveConfiguration(const EeBlock& image, std::string_view infoUtf8)
{
    std::array<Byte, kStoredImageBytes> stored;
    stored.fill(0xFF);
    std::copy_n(image.begin(), std::min(image.size(), stored.size()), stored.begin());

    std::string file = std::string(fileSignature(SignedFileKind::configuration)) + hexNumber(crc16(stored), kCrcDigits)
        + infoForFile(infoUtf8);
    file += kLineEnd;
    for (std::size_t i = 0; i < stored.size(); i += kBytesPerLine) {
        file += hexBytes(ByteSpan(stored).subspan(i, kBytesPerLine));
        file += kLineEnd;
    }
    return file;
}

ConfigLoadResult loadConfiguration(std::string_view fileBytes, const EeBlock& currentImage, ConfigLoadOptions options)
{
    ConfigLoadResult result;
    result.image = currentImage;
    // Empty lines count as lines here: only a file of fewer than two lines is passed over.
    auto lines = splitTextLines(fileBytes);
    if (lines.size() < 2)
        return result;

    const std::string_view header = lines.front();
    result.kind = kindOf(header);
    switch (result.kind) {
    case ConfigFileKind::Firmware:
        result.outcome = ConfigLoadOutcome::Firmware;
        return result;
    case ConfigFileKind::Unknown:
        result.outcome = ConfigLoadOutcome::NotRecognised;
        result.messages.push_back(configMessage::notRecognised);
        return result;
    case ConfigFileKind::OldConfiguration:
        result.messages.push_back(configMessage::oldFormat);
        break;
    default:
        break;
    }
    // A configuration saved with extra line breaks; a header alone holds nothing to take.
    dropTrailingEmptyLines(lines);
    if (lines.size() < 2)
        return result;

    const auto fileCrc
        = header.size() >= kInfoStart ? parseHexNumber(header.substr(kCrcStart, kCrcDigits)) : std::nullopt;
    const auto buffer = readDataLines({lines.begin() + 1, lines.end()});
    if (result.image.size() < kImageSize)
        result.image.resize(kImageSize, 0xFF);

    if (buffer && (options.noLoadCheck || fileCrc == buffer->crc)) {
        std::copy(buffer->bytes.begin(), buffer->bytes.end(), result.image.begin());
        result.info = cp1252ToUtf8(header.substr(std::min(header.size(), kInfoStart), kInfoLength));
        result.outcome = ConfigLoadOutcome::Loaded;
    } else {
        result.messages.push_back(configMessage::corrupted);
        result.outcome = ConfigLoadOutcome::Corrupted;
    }
    if (!options.copyAstro)
        clearAstroData(result.image);
    return result;
}

ConfigLoadResult loadAndRedraw(std::string_view fileBytes, const EeBlock& currentImage, ConfigLoadOptions options,
                               bool remoteLayout)
{
    ConfigLoadResult result = loadConfiguration(fileBytes, currentImage, options);
    if (result.outcome == ConfigLoadOutcome::Loaded || result.outcome == ConfigLoadOutcome::Corrupted)
        applyDisplayRules(result.image, remoteLayout);
    return result;
}

} // namespace ormid
