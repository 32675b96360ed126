#include "link/firmware_container.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/crc16.h"
#include "core/text_lines.h"
#include "link/stick_frames.h"

namespace ormid {
namespace {

// An image of `size` bytes (a counting pattern) padded to whole lines with `fill`.
std::vector<Byte> paddedImage(std::size_t size, Byte fill = 0xFF)
{
    const std::size_t lines = (size + kFirmwareLineBytes - 1) / kFirmwareLineBytes;
    std::vector<Byte> bytes(lines * kFirmwareLineBytes, fill);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<Byte>(i * 7 + 3);
    return bytes;
}

std::string containerText(const std::vector<Byte>& lineBytes, std::uint16_t size, Byte version,
                          std::optional<std::uint16_t> crc = std::nullopt, std::string_view eol = "\r\n")
{
    std::string text
        = "FWX" + hexNumber(size, 4) + hexNumber(version, 2) + hexNumber(crc.value_or(crc16(lineBytes)), 4);
    text += eol;
    for (std::size_t i = 0; i < lineBytes.size(); i += kFirmwareLineBytes) {
        text += hexBytes(ByteSpan(lineBytes).subspan(i, kFirmwareLineBytes));
        text += eol;
    }
    return text;
}

TEST(FirmwareContainer, ParsesTheBuiltInShape)
{
    // 5704 bytes in 45 lines, as the container shipped with the program.
    const auto lineBytes = paddedImage(5704);
    const auto parsed = parseFirmwareContainer(containerText(lineBytes, 5704, 77));

    ASSERT_EQ(parsed.status, FirmwareContainerStatus::Valid);
    EXPECT_TRUE(parsed.crcMatches);
    EXPECT_EQ(parsed.header.size, 5704);
    EXPECT_EQ(parsed.header.version, 77);
    EXPECT_EQ(parsed.dataLines, 45u);
    ASSERT_EQ(parsed.image.size(), kFirmwareBufferSize);
    EXPECT_TRUE(std::equal(lineBytes.begin(), lineBytes.end(), parsed.image.begin()));
    EXPECT_TRUE(std::all_of(parsed.image.begin() + 5760, parsed.image.end(), [](Byte b) { return b == 0xFF; }));
}

TEST(FirmwareContainer, CrcCoversTheFillOfTheLastLine)
{
    const auto lineBytes = paddedImage(200, 0x00);
    const std::uint16_t overSizeOnly = crc16(ByteSpan(lineBytes).first(200));
    ASSERT_NE(overSizeOnly, crc16(lineBytes));

    EXPECT_EQ(parseFirmwareContainer(containerText(lineBytes, 200, 1)).status, FirmwareContainerStatus::Valid);
    EXPECT_EQ(parseFirmwareContainer(containerText(lineBytes, 200, 1, overSizeOnly)).status,
              FirmwareContainerStatus::CrcMismatch);
}

TEST(FirmwareContainer, WrongCrcIsReportedAndTheImageNotTaken)
{
    const auto lineBytes = paddedImage(300);
    const std::uint16_t good = crc16(lineBytes);
    const auto parsed = parseFirmwareContainer(containerText(lineBytes, 300, 5, static_cast<std::uint16_t>(good ^ 1)));

    EXPECT_EQ(parsed.status, FirmwareContainerStatus::CrcMismatch);
    EXPECT_FALSE(parsed.crcMatches);
    EXPECT_EQ(parsed.computedCrc, good);
    EXPECT_EQ(parsed.header.crc, good ^ 1);
    EXPECT_TRUE(parsed.image.empty());
}

TEST(FirmwareContainer, AcceptsLowercaseHexAndAnyLineEnding)
{
    const auto lineBytes = paddedImage(256);
    for (const std::string_view eol : {"\r\n", "\n", "\r"}) {
        std::string text = containerText(lineBytes, 0xABC, 0xEF, std::nullopt, eol);
        for (char& c : text)
            if (c >= 'A' && c <= 'F')
                c = static_cast<char>(c - 'A' + 'a');
        const auto parsed = parseFirmwareContainer("FWX" + text.substr(3)); // the magic stays uppercase
        EXPECT_EQ(parsed.status, FirmwareContainerStatus::Valid);
        EXPECT_EQ(parsed.header.size, 0xABC);
        EXPECT_EQ(parsed.header.version, 0xEF);
        // An editor's UTF-8 byte-order mark before "FWX" changes nothing.
        EXPECT_EQ(parseFirmwareContainer("\xEF\xBB\xBF"
                                         "FWX"
                                         + text.substr(3))
                      .status,
                  FirmwareContainerStatus::Valid);
    }
}

TEST(FirmwareContainer, FillsTheWholeBufferAndRefusesOneLineMore)
{
    const auto full = paddedImage(kFirmwareBufferSize);
    EXPECT_EQ(parseFirmwareContainer(containerText(full, 0x2FFF, 9)).status, FirmwareContainerStatus::Valid);

    auto tooMany = full;
    tooMany.resize(full.size() + kFirmwareLineBytes, 0x11);
    const auto parsed = parseFirmwareContainer(containerText(tooMany, 0x2FFF, 9));
    EXPECT_EQ(parsed.status, FirmwareContainerStatus::TooManyLines);
    EXPECT_EQ(parsed.dataLines, kFirmwareMaxLines + 1);
    EXPECT_EQ(parsed.header.version, 9);
    EXPECT_TRUE(parsed.image.empty());
}

TEST(FirmwareContainer, OversizedHeaderKeepsItsValues)
{
    // "Load" takes size and version before it refuses an image that cannot fit.
    const auto parsed = parseFirmwareContainer(containerText(paddedImage(128), 0x3000, 0x42));
    EXPECT_EQ(parsed.header.size, 0x3000);
    EXPECT_EQ(parsed.header.version, 0x42);
    EXPECT_FALSE(firmwareSizeFits(parsed.header.size));
    EXPECT_TRUE(firmwareSizeFits(0x2FFF));
}

TEST(FirmwareContainer, RefusesDataLinesThatAreNot256HexDigits)
{
    const std::string good = hexBytes(paddedImage(128));
    const std::string cases[] = {
        good.substr(0, 254),
        good + "00",
        good.substr(0, 100) + "G" + good.substr(101),
        "",
    };
    for (const auto& badLine : cases) {
        const std::string text = "FWX0100010000\r\n" + good + "\r\n" + badLine + "\r\n" + good + "\r\n";
        const auto parsed = parseFirmwareContainer(text);
        EXPECT_EQ(parsed.status, FirmwareContainerStatus::CorruptLine) << badLine.size();
        EXPECT_EQ(parsed.header.size, 0x0100);
        EXPECT_TRUE(parsed.image.empty());
    }
}

TEST(FirmwareContainer, RecognisesOnlyAComplete13CharacterHeader)
{
    const std::string data = "\r\n" + hexBytes(paddedImage(128)) + "\r\n";
    for (const std::string header :
         {"FWX16484D123", "FWX1648 D1234", "FWX16484DXYZW", "MMN16484D1234", "fwx16484D1234", ""}) {
        const auto parsed = parseFirmwareContainer(header + data);
        EXPECT_EQ(parsed.status, FirmwareContainerStatus::NotContainer) << header;
        EXPECT_TRUE(parsed.image.empty());
    }
}

} // namespace
} // namespace ormid
