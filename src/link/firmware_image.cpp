#include "link/firmware_image.h"

#include <algorithm>

#include "link/control_block.h"

namespace ormid {

namespace {

constexpr std::string_view kVersionPrefix = "Version 1.";
constexpr std::string_view kUpdateSuffix = " (Update!)";
constexpr std::string_view kCorrupted = "File is corrupted!";
constexpr std::string_view kTooManyLines
    = "The firmware file holds more than 96 lines of 128 bytes and does not fit the firmware buffer.";

struct RefusalText {
    FirmwareContainerStatus status;
    std::string_view message;
};

constexpr RefusalText kRefusals[] = {
    {FirmwareContainerStatus::NotContainer, kCorrupted},
    {FirmwareContainerStatus::CrcMismatch, kCorrupted},
    {FirmwareContainerStatus::CorruptLine, kCorrupted},
    {FirmwareContainerStatus::TooManyLines, kTooManyLines},
};

std::string refusalMessage(FirmwareContainerStatus status)
{
    const auto* found = std::find_if(std::begin(kRefusals), std::end(kRefusals),
                                     [status](const RefusalText& r) { return r.status == status; });
    return std::string(found != std::end(kRefusals) ? found->message : kCorrupted);
}

} // namespace

std::string firmwareHint(Byte version, bool update)
{
    std::string hint = std::string(kVersionPrefix) + std::to_string(version);
    if (update)
        hint += kUpdateSuffix;
    return hint;
}

std::string imageSizeProblem(const FirmwareContainer& container)
{
    const std::size_t held = container.dataLines * kFirmwareLineBytes;
    if (container.header.size == 0)
        return "The firmware file announces an image of 0 bytes.";
    if (container.header.size > held)
        return "The firmware file announces " + std::to_string(container.header.size) + " bytes, but its lines hold "
            + std::to_string(held) + ".";
    return {};
}

std::optional<std::string> loadEmbeddedFirmware(FirmwareImage& firmware, std::string_view container, bool usbStick)
{
    FirmwareContainer parsed = parseFirmwareContainer(container);
    firmware.embeddedFwVersion = parsed.header.version;
    // A size beyond the buffer would make the stick store read past the image.
    if (parsed.status != FirmwareContainerStatus::Valid || !firmwareSizeFits(parsed.header.size)
        || !imageSizeProblem(parsed).empty())
        return std::nullopt;
    firmware.fwImage = std::move(parsed.image);
    firmware.fwSize = parsed.header.size;
    if (usbStick)
        return firmwareHint(parsed.header.version);
    firmware.fwVersion = parsed.header.version;
    firmware.fwPending = parsed.header.version != firmware.stickFwVersion;
    return firmwareHint(parsed.header.version, firmware.fwPending);
}

FirmwareFileLoad loadFirmwareFile(FirmwareImage& firmware, std::string_view text, bool demo)
{
    FirmwareFileLoad result;
    FirmwareContainer parsed = parseFirmwareContainer(text);
    result.header = parsed.header;
    if (parsed.status != FirmwareContainerStatus::NotContainer && !firmwareSizeFits(parsed.header.size)) {
        result.outcome = FirmwareFileLoad::Outcome::ignoredTooLarge;
        return result;
    }
    if (parsed.status != FirmwareContainerStatus::Valid) {
        result.message = refusalMessage(parsed.status);
        return result;
    }
    if (std::string problem = imageSizeProblem(parsed); !problem.empty()) {
        result.message = std::move(problem);
        return result;
    }
    // Only a file that is taken changes the pending image, its size and its version.
    firmware.fwSize = parsed.header.size;
    firmware.fwVersion = parsed.header.version;
    firmware.fwImage = std::move(parsed.image);
    firmware.fwPending = true;
    result.outcome = FirmwareFileLoad::Outcome::loaded;
    if (!demo)
        result.hint = firmwareHint(parsed.header.version);
    return result;
}

std::size_t firmwareBlockCount(std::uint16_t size)
{
    return (std::size_t{size} + kFirmwareLineBytes - 1) / kFirmwareLineBytes;
}

std::uint16_t firmwareBlockAddress(std::size_t block)
{
    return static_cast<std::uint16_t>((kFirmwareFirstBlock + block) * kBlockSize);
}

Block firmwareBlock(const std::vector<Byte>& image, std::uint16_t size, std::size_t block)
{
    Block out;
    out.fill(0xFF);
    const std::size_t first = block * kBlockSize;
    const std::size_t end = std::min({first + kBlockSize, std::size_t{size}, image.size()});
    if (first < end)
        std::copy(image.begin() + static_cast<std::ptrdiff_t>(first), image.begin() + static_cast<std::ptrdiff_t>(end),
                  out.begin());
    return out;
}

} // namespace ormid
