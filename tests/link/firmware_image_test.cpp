#include "link/firmware_image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "link/embedded_firmware.h"
#include "link/firmware_text.h"

namespace ormid {
namespace {

using test::firmwareLineBytes;
using test::firmwareText;

TEST(BuiltInFirmware, ThePlaceholderAnnouncesSize5704AndVersion77InCrLfLines)
{
    std::ifstream in(ORMID_PLACEHOLDER_FIRMWARE, std::ios::binary);
    ASSERT_TRUE(in) << ORMID_PLACEHOLDER_FIRMWARE;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    const FirmwareContainer parsed = parseFirmwareContainer(text);
    ASSERT_EQ(parsed.status, FirmwareContainerStatus::Valid);
    EXPECT_EQ(parsed.header.size, 5704);
    EXPECT_EQ(parsed.header.version, 77);
    EXPECT_EQ(parsed.dataLines, 45u);
    EXPECT_EQ(text.size(), 15u + 45u * 258u) << "13-character header and 256-digit lines, each ending in CR LF";
}

TEST(BuiltInFirmware, TheEmbeddedContainerCarriesAValidImage)
{
    const FirmwareContainer parsed = parseFirmwareContainer(embeddedFirmwareContainer());
    EXPECT_EQ(parsed.status, FirmwareContainerStatus::Valid);
    EXPECT_TRUE(firmwareSizeFits(parsed.header.size));
}

TEST(EmbeddedFirmwareLoad, TakesTheImageAndComparesItsVersionWithTheStick)
{
    const struct {
        const char* name;
        bool usbStick;
        Byte stickFwVersion;
        const char* hint;
        bool fwPending;
        Byte fwVersion;
    } cases[] = {
        {"stick without firmware record", false, 0, "Version 1.77 (Update!)", true, 77},
        {"stick holds another version", false, 76, "Version 1.77 (Update!)", true, 77},
        {"stick holds this version", false, 77, "Version 1.77", false, 77},
        {"USB Stick mode stores nothing", true, 0, "Version 1.77", false, 0},
    };
    const std::string container = firmwareText(firmwareLineBytes(5704), 5704, 77);
    for (const auto& c : cases) {
        FirmwareImage firmware;
        firmware.stickFwVersion = c.stickFwVersion;
        EXPECT_EQ(loadEmbeddedFirmware(firmware, container, c.usbStick), c.hint) << c.name;
        EXPECT_EQ(firmware.fwPending, c.fwPending) << c.name;
        EXPECT_EQ(firmware.fwVersion, c.fwVersion) << c.name;
        EXPECT_EQ(firmware.fwSize, 5704) << c.name;
        EXPECT_EQ(firmware.embeddedFwVersion, 77) << c.name;
        EXPECT_EQ(firmware.fwImage.size(), kFirmwareBufferSize) << c.name;
    }
}

TEST(EmbeddedFirmwareLoad, AnImageItCannotUseIsSilentlyNotTakenButItsVersionIsKnown)
{
    const struct {
        const char* name;
        std::string container;
    } cases[] = {
        {"wrong CRC", firmwareText(firmwareLineBytes(5704), 5704, 0x42, 0x1234)},
        {"size beyond the buffer", firmwareText(firmwareLineBytes(200), 0x3000, 0x42)},
    };
    for (const auto& c : cases) {
        FirmwareImage firmware;
        EXPECT_EQ(loadEmbeddedFirmware(firmware, c.container, false), std::nullopt) << c.name;
        EXPECT_EQ(firmware.embeddedFwVersion, 0x42) << c.name;
        EXPECT_FALSE(firmware.fwPending) << c.name;
        EXPECT_EQ(firmware.fwSize, 0) << c.name;
        EXPECT_TRUE(firmware.fwImage.empty()) << c.name;
    }
}

TEST(FirmwareFile, AValidFileBecomesPendingAndShowsItsVersionOutsideDemoMode)
{
    for (const bool demo : {false, true}) {
        FirmwareImage firmware;
        const FirmwareFileLoad load = loadFirmwareFile(firmware, firmwareText(firmwareLineBytes(300), 300, 5), demo);
        EXPECT_EQ(load.outcome, FirmwareFileLoad::Outcome::loaded);
        EXPECT_EQ(load.hint, demo ? std::nullopt : std::optional<std::string>("Version 1.5"));
        EXPECT_EQ(load.message, std::nullopt);
        EXPECT_TRUE(firmware.fwPending);
        EXPECT_EQ(firmware.fwSize, 300);
        EXPECT_EQ(firmware.fwVersion, 5);
        EXPECT_EQ(firmware.fwImage.size(), kFirmwareBufferSize);
    }
}

// A file that is not taken must not change what the next Transfer stores: neither the
// pending image nor the size and version it is stored under.
TEST(FirmwareFile, ARefusedFileLeavesThePendingFirmwareAsItWas)
{
    std::string tooManyLines = firmwareText(firmwareLineBytes(97 * 128), 0x2000, 9);
    const struct {
        const char* name;
        std::string text;
        FirmwareFileLoad::Outcome outcome;
        std::optional<std::string> message;
    } cases[] = {
        {"size field 0x3000", firmwareText(firmwareLineBytes(200), 0x3000, 9),
         FirmwareFileLoad::Outcome::ignoredTooLarge, std::nullopt},
        {"size field FFFF and a wrong CRC", firmwareText(firmwareLineBytes(200), 0xFFFF, 8, 0xBEEF),
         FirmwareFileLoad::Outcome::ignoredTooLarge, std::nullopt},
        {"wrong CRC", firmwareText(firmwareLineBytes(300), 300, 0x99, 0xBEEF), FirmwareFileLoad::Outcome::refused,
         "File is corrupted!"},
        {"line of 255 digits", firmwareText(firmwareLineBytes(200), 200, 9).erase(20, 1),
         FirmwareFileLoad::Outcome::refused, "File is corrupted!"},
        {"no header", "FWX12\r\n", FirmwareFileLoad::Outcome::refused, "File is corrupted!"},
        {"97 data lines", tooManyLines, FirmwareFileLoad::Outcome::refused,
         "The firmware file holds more than 96 lines of 128 bytes and does not fit the firmware buffer."},
        // The lines would be sent as 114 pages, most of them FF.
        {"size field 0x2000 over 45 lines", firmwareText(firmwareLineBytes(5704), 0x2000, 9),
         FirmwareFileLoad::Outcome::refused, "The firmware file announces 8192 bytes, but its lines hold 5760."},
        {"size field one byte past the lines", firmwareText(firmwareLineBytes(5704), 5761, 9),
         FirmwareFileLoad::Outcome::refused, "The firmware file announces 5761 bytes, but its lines hold 5760."},
        {"size field 0", firmwareText(firmwareLineBytes(200), 0, 9), FirmwareFileLoad::Outcome::refused,
         "The firmware file announces an image of 0 bytes."},
    };
    for (const bool builtInPending : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (builtInPending ? ", built-in image pending" : ", nothing pending"));
            FirmwareImage firmware;
            if (builtInPending) {
                ASSERT_TRUE(loadEmbeddedFirmware(firmware, firmwareText(firmwareLineBytes(5704), 5704, 77), false));
            }
            const FirmwareImage before = firmware;
            const FirmwareFileLoad load = loadFirmwareFile(firmware, c.text, false);
            EXPECT_EQ(load.outcome, c.outcome);
            EXPECT_EQ(load.header.size, parseFirmwareContainer(c.text).header.size) << "named as announced";
            EXPECT_EQ(load.message, c.message);
            EXPECT_EQ(load.hint, std::nullopt);
            EXPECT_EQ(firmware.fwPending, before.fwPending);
            EXPECT_EQ(firmware.fwImage, before.fwImage);
            EXPECT_EQ(firmware.fwSize, before.fwSize);
            EXPECT_EQ(firmware.fwVersion, before.fwVersion);
        }
    }
}

// The built-in container is held to the same sizes as a file: it is not taken when its
// lines do not hold the size it announces; the last line may hold more.
TEST(EmbeddedFirmwareLoad, TakesOnlyAnImageItsLinesHold)
{
    const struct {
        std::uint16_t size;
        bool taken;
    } cases[] = {{5704, true}, {5760, true}, {5761, false}, {0, false}};
    for (const auto& c : cases) {
        FirmwareImage firmware;
        EXPECT_EQ(loadEmbeddedFirmware(firmware, firmwareText(firmwareLineBytes(5704), c.size, 77), true).has_value(),
                  c.taken)
            << c.size;
        EXPECT_EQ(firmware.fwImage.empty(), !c.taken) << c.size;
    }
}

TEST(FirmwareBlocks, TheLastBlockIsFilledWithFfFromTheSizeOn)
{
    // The last line's fill is 00 here: the stick still receives FF beyond the size.
    const std::vector<Byte> image = [] {
        std::vector<Byte> buffer(kFirmwareBufferSize, 0xFF);
        const auto lines = firmwareLineBytes(5704, 0x00);
        std::copy(lines.begin(), lines.end(), buffer.begin());
        return buffer;
    }();
    EXPECT_EQ(firmwareBlockCount(5704), 45u);
    EXPECT_EQ(firmwareBlockCount(5760), 45u);
    EXPECT_EQ(firmwareBlockCount(5761), 46u);
    EXPECT_EQ(firmwareBlockAddress(0), 0x0200);
    EXPECT_EQ(firmwareBlockAddress(44), 0x1800);

    const Block last = firmwareBlock(image, 5704, 44);
    EXPECT_TRUE(std::equal(last.begin(), last.begin() + 72, image.begin() + 44 * 128));
    EXPECT_TRUE(std::all_of(last.begin() + 72, last.end(), [](Byte b) { return b == 0xFF; }));
    const Block beyondTheImage = firmwareBlock({0x11, 0x22}, 300, 0);
    EXPECT_EQ(beyondTheImage[1], 0x22);
    EXPECT_TRUE(std::all_of(beyondTheImage.begin() + 2, beyondTheImage.end(), [](Byte b) { return b == 0xFF; }));
}

} // namespace
} // namespace ormid
