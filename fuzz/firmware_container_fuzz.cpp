// The firmware container (.kdp and the built-in one): parsing, `loadEmbeddedFirmware`, the firmware
// branch of "Load", and the 128-byte stick blocks an image is stored in.

#include <algorithm>
#include <string>

#include "fuzz_input.h"
#include "link/firmware_container.h"
#include "link/firmware_image.h"

namespace ormid::fuzz {
namespace {

bool sameFirmware(const FirmwareImage& a, const FirmwareImage& b)
{
    return a.fwImage == b.fwImage && a.fwSize == b.fwSize && a.fwVersion == b.fwVersion
        && a.embeddedFwVersion == b.embeddedFwVersion && a.stickFwVersion == b.stickFwVersion
        && a.fwPending == b.fwPending;
}

// Block b holds the image bytes b x 128 .. up to the size, FF after them.
void checkBlocks(const std::vector<Byte>& image, std::uint16_t size, std::size_t firstBlock, std::size_t blockCount)
{
    for (std::size_t b = firstBlock; b < firstBlock + blockCount; ++b) {
        const Block block = firmwareBlock(image, size, b);
        for (std::size_t i = 0; i < block.size(); ++i) {
            const std::size_t at = b * kBlockSize + i;
            FUZZ_CHECK(block[i] == (at < size && at < image.size() ? image[at] : 0xFF));
        }
    }
}

void checkParse(const FirmwareContainer& parsed)
{
    const bool valid = parsed.status == FirmwareContainerStatus::Valid;
    FUZZ_CHECK(valid == parsed.crcMatches);
    FUZZ_CHECK(parsed.image.size() == (valid ? kFirmwareBufferSize : 0));
    FUZZ_CHECK(parsed.status == FirmwareContainerStatus::TooManyLines || parsed.dataLines <= kFirmwareMaxLines);
}

void checkEmbeddedLoad(const std::string& text, const FirmwareContainer& parsed, bool usbStick, Byte stickFwVersion)
{
    FirmwareImage firmware;
    firmware.stickFwVersion = stickFwVersion;
    const FirmwareImage before = firmware;
    const std::optional<std::string> hint = loadEmbeddedFirmware(firmware, text, usbStick);
    FUZZ_CHECK(firmware.embeddedFwVersion == parsed.header.version);
    if (!hint) {
        firmware.embeddedFwVersion = before.embeddedFwVersion;
        FUZZ_CHECK(sameFirmware(firmware, before));
        return;
    }
    FUZZ_CHECK(parsed.status == FirmwareContainerStatus::Valid && firmwareSizeFits(firmware.fwSize));
    FUZZ_CHECK(firmware.fwImage == parsed.image && firmware.fwSize == parsed.header.size);
    FUZZ_CHECK(!usbStick || !firmware.fwPending);
}

void checkFileLoad(const std::string& text, const FirmwareContainer& parsed, bool demo)
{
    // A pending image from an earlier load, which a refused file must leave alone.
    FirmwareImage firmware;
    firmware.fwImage.assign(kFirmwareBufferSize, 0xA5);
    firmware.fwSize = 300;
    firmware.fwVersion = 70;
    firmware.fwPending = true;
    const FirmwareImage before = firmware;
    const FirmwareFileLoad load = loadFirmwareFile(firmware, text, demo);
    if (load.outcome != FirmwareFileLoad::Outcome::loaded) {
        FUZZ_CHECK(sameFirmware(firmware, before));
        FUZZ_CHECK(load.message.has_value() == (load.outcome == FirmwareFileLoad::Outcome::refused));
        return;
    }
    FUZZ_CHECK(parsed.status == FirmwareContainerStatus::Valid && firmwareSizeFits(firmware.fwSize));
    FUZZ_CHECK(firmware.fwPending && firmware.fwImage == parsed.image);
    FUZZ_CHECK(firmware.fwVersion == parsed.header.version);
    FUZZ_CHECK(load.hint.has_value() != demo);
    // Every block the stick store writes lies inside the buffer and the firmware area.
    const std::size_t blocks = firmwareBlockCount(firmware.fwSize);
    FUZZ_CHECK(blocks <= kFirmwareMaxLines);
    FUZZ_CHECK(blocks == 0 || firmwareBlockAddress(blocks - 1) < 0xFF80);
    checkBlocks(firmware.fwImage, firmware.fwSize, 0, blocks);
}

} // namespace
} // namespace ormid::fuzz

// Input: one byte of choices (bit 0 USB Stick mode, bit 1 demo mode, the rest the
// stick's firmware version / 4), then the container text. Any image size and block
// number are also tried on an image of exactly the text's bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    fuzz::FuzzInput input(data, size);
    const Byte choice = input.byte();
    const std::string text = input.restText();

    const FirmwareContainer parsed = parseFirmwareContainer(text);
    fuzz::checkParse(parsed);
    fuzz::checkEmbeddedLoad(text, parsed, (choice & 1) != 0, static_cast<Byte>(choice >> 2));
    fuzz::checkFileLoad(text, parsed, (choice & 2) != 0);

    const std::vector<Byte> raw(text.begin(), text.end());
    const std::uint16_t blockSize = text.size() >= 2 ? static_cast<std::uint16_t>(raw[0] | raw[1] << 8) : 0;
    fuzz::checkBlocks(raw, blockSize, text.empty() ? 0 : raw.back() % 4, 2);
    return 0;
}
