#include "files/config_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <numeric>

#include "core/crc16.h"
#include "core/text_lines.h"
#include "files/atomic_file.h"

namespace ormid {
namespace {

using Lines = std::vector<std::string>;

// An image in which every byte differs from its neighbours and from FF, astro bytes included.
EeBlock patternImage()
{
    EeBlock image(kImageSize);
    std::iota(image.begin(), image.end(), Byte{0x10});
    return image;
}

// An image that differs from the pattern everywhere, as the one being edited before a load.
EeBlock editedImage()
{
    return EeBlock(kImageSize, 0x5A);
}

Lines linesOf(std::string_view text)
{
    const auto views = splitTextLines(text);
    return Lines(views.begin(), views.end());
}

std::string join(const Lines& lines, std::string_view eol = "\r\n")
{
    std::string text;
    for (const auto& line : lines)
        text += line + std::string(eol);
    return text;
}

// A saved file of the pattern image with line 1 replaced.
std::string withHeader(const std::string& header)
{
    Lines lines = linesOf(saveConfiguration(patternImage(), ""));
    lines[0] = header;
    return join(lines);
}

std::string crcText(const EeBlock& image)
{
    return hexNumber(crc16(ByteSpan(image).first(kStoredImageBytes)), 4);
}

bool astroIsZero(const EeBlock& image)
{
    return std::all_of(image.begin() + 76, image.begin() + 85, [](Byte b) { return b == 0; });
}

// Bytes 0..95 of the pattern, astro cleared, FF behind.
EeBlock loadedPattern()
{
    EeBlock expected = patternImage();
    std::fill(expected.begin() + 96, expected.end(), 0xFF);
    std::fill(expected.begin() + 76, expected.begin() + 85, 0);
    return expected;
}

// The edited image after a refused load: only the astro bytes are cleared.
EeBlock refusedEdit()
{
    EeBlock expected = editedImage();
    std::fill(expected.begin() + 76, expected.begin() + 85, 0);
    return expected;
}

// default.kdc was written by an independent tool from the default image table.
TEST(SaveConfiguration, WritesTheDefaultImageExactlyAsTheReferenceFile)
{
    const auto reference = readWholeFile(ORMID_TEST_DATA_DIR "/default.kdc");
    ASSERT_TRUE(reference.ok()) << reference.error;
    EXPECT_EQ(saveConfiguration(makeDefaultImage(), "Default"), reference.bytes);

    const auto loaded = loadConfiguration(reference.bytes, editedImage(), {});
    ASSERT_EQ(loaded.outcome, ConfigLoadOutcome::Loaded);
    EXPECT_EQ(loaded.info, "Default");
    EeBlock expected = makeDefaultImage();
    std::fill(expected.begin() + 96, expected.end(), 0xFF);
    EXPECT_EQ(loaded.image, expected);
}

TEST(SaveConfiguration, InfoTextIsCutToEightCharactersOfTheCodePage)
{
    const struct {
        std::string info;
        std::string line1Tail;
    } cases[] = {
        {"", ""},
        {"Street12", "Street12"},
        {"Street 12 North", "Street 1"},
        {"Straße 9",
         "Stra\xDF"
         "e 9"},            // one byte per character in the file
        {"a\r\nb", "a  b"}, // a line break would split the file
    };
    for (const auto& c : cases) {
        const Lines lines = linesOf(saveConfiguration(patternImage(), c.info));
        ASSERT_EQ(lines.size(), 7u);
        EXPECT_EQ(lines[0], "MMN" + crcText(patternImage()) + c.line1Tail) << c.info;
    }
}

TEST(SaveConfiguration, ShortImageIsSavedWithFfForMissingBytes)
{
    const EeBlock shortImage(10, 0x01);
    const Lines lines = linesOf(saveConfiguration(shortImage, ""));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1], "01010101010101010101FFFFFFFFFFFF");
    EXPECT_EQ(lines[6], std::string(32, 'F'));
}

TEST(LoadConfiguration, RoundTripKeepsStoredBytesAndClearsTheRest)
{
    const std::string file = saveConfiguration(patternImage(), "Lamp 7");

    const auto loaded = loadConfiguration(file, editedImage(), {});
    EXPECT_EQ(loaded.kind, ConfigFileKind::Configuration);
    EXPECT_EQ(loaded.outcome, ConfigLoadOutcome::Loaded);
    EXPECT_TRUE(loaded.messages.empty());
    EXPECT_EQ(loaded.info, "Lamp 7");
    EXPECT_EQ(loaded.image, loadedPattern());

    const auto withAstro = loadConfiguration(file, editedImage(), {.copyAstro = true});
    EXPECT_TRUE(std::equal(withAstro.image.begin(), withAstro.image.begin() + 96, patternImage().begin()));
}

TEST(LoadConfiguration, InfoTextComesBackAsUtf8)
{
    const auto loaded = loadConfiguration(saveConfiguration(patternImage(), "Straße 12345"), editedImage(), {});
    EXPECT_EQ(loaded.info, "Straße 1");
}

TEST(LoadConfiguration, AcceptsEveryLineEndingTrailingEmptyLinesAndAByteOrderMark)
{
    const Lines lines = linesOf(saveConfiguration(patternImage(), "x"));
    for (const std::string eol : {"\r\n", "\n", "\r"}) {
        for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
            const auto loaded = loadConfiguration(bom + join(lines, eol) + eol + eol, editedImage(), {});
            EXPECT_EQ(loaded.outcome, ConfigLoadOutcome::Loaded);
            EXPECT_EQ(loaded.image, loadedPattern());
            EXPECT_EQ(loaded.info, "x");
        }
    }
}

TEST(LoadConfiguration, OldFormWarnsThenLoadsWithTheCrcCheck)
{
    const std::string crc = crcText(patternImage());

    const auto good = loadConfiguration(withHeader("MEM" + crc + "old"), editedImage(), {});
    EXPECT_EQ(good.kind, ConfigFileKind::OldConfiguration);
    EXPECT_EQ(good.outcome, ConfigLoadOutcome::Loaded);
    EXPECT_EQ(good.messages, std::vector<std::string_view>{configMessage::oldFormat});
    EXPECT_EQ(good.image, loadedPattern());
    EXPECT_EQ(good.info, "old");

    const auto bad = loadConfiguration(withHeader("MEM0000old"), editedImage(), {});
    EXPECT_EQ(bad.outcome, ConfigLoadOutcome::Corrupted);
    EXPECT_EQ(bad.messages, (std::vector<std::string_view>{configMessage::oldFormat, configMessage::corrupted}));
    EXPECT_EQ(bad.image, refusedEdit());
}

TEST(LoadConfiguration, FirmwareAndUnknownFilesChangeNothing)
{
    const struct {
        std::string header;
        ConfigFileKind kind;
        ConfigLoadOutcome outcome;
        std::vector<std::string_view> messages;
    } cases[] = {
        {"FWX16484D1234", ConfigFileKind::Firmware, ConfigLoadOutcome::Firmware, {}},
        {"XYZ1234", ConfigFileKind::Unknown, ConfigLoadOutcome::NotRecognised, {configMessage::notRecognised}},
        {"mmn1234", ConfigFileKind::Unknown, ConfigLoadOutcome::NotRecognised, {configMessage::notRecognised}},
        {"", ConfigFileKind::Unknown, ConfigLoadOutcome::NotRecognised, {configMessage::notRecognised}},
    };
    for (const auto& c : cases) {
        const auto loaded = loadConfiguration(withHeader(c.header), editedImage(), {.copyAstro = false});
        EXPECT_EQ(loaded.kind, c.kind) << c.header;
        EXPECT_EQ(loaded.outcome, c.outcome) << c.header;
        EXPECT_EQ(loaded.messages, c.messages) << c.header;
        EXPECT_EQ(loaded.image, editedImage()) << c.header;
        EXPECT_FALSE(loaded.info) << c.header;
    }
}

// Trailing empty lines are lines: a text of one line and an empty one is a file of
// two lines, and one that is no configuration is said to be none.
TEST(LoadConfiguration, TrailingEmptyLinesCountAsLines)
{
    for (const std::string file : {"hello\r\n\r\n", "hello\n\n", "hello\r\r"}) {
        const auto loaded = loadConfiguration(file, editedImage(), {});
        EXPECT_EQ(loaded.outcome, ConfigLoadOutcome::NotRecognised) << file;
        EXPECT_EQ(loaded.messages, std::vector<std::string_view>{configMessage::notRecognised}) << file;
        EXPECT_EQ(loaded.image, editedImage()) << file;
    }
}

TEST(LoadConfiguration, FileWithoutDataLinesIsIgnoredSilently)
{
    for (const std::string file :
         {"", "MMN1234info\r\n", "MMN1234info", "MMN1234\r\n\r\n\r\n", "XYZ\r\n", "MMN0000\r\n\r\n"}) {
        const auto loaded = loadConfiguration(file, editedImage(), {});
        EXPECT_EQ(loaded.outcome, ConfigLoadOutcome::Ignored);
        EXPECT_TRUE(loaded.messages.empty());
        EXPECT_EQ(loaded.image, editedImage());
    }
}

TEST(LoadConfiguration, WrongCrcRefusesUnlessTheCheckIsOff)
{
    const std::string file = withHeader("MMN0000info");
    ASSERT_NE(crcText(patternImage()), "0000");

    const auto refused = loadConfiguration(file, editedImage(), {});
    EXPECT_EQ(refused.outcome, ConfigLoadOutcome::Corrupted);
    EXPECT_EQ(refused.messages, std::vector<std::string_view>{configMessage::corrupted});
    EXPECT_EQ(refused.image, refusedEdit());
    EXPECT_FALSE(refused.info);

    const auto refusedKeepingAstro = loadConfiguration(file, editedImage(), {.copyAstro = true});
    EXPECT_EQ(refusedKeepingAstro.image, editedImage());

    const auto forced = loadConfiguration(file, editedImage(), {.noLoadCheck = true});
    EXPECT_EQ(forced.outcome, ConfigLoadOutcome::Loaded);
    EXPECT_TRUE(forced.messages.empty());
    EXPECT_EQ(forced.image, loadedPattern());
    EXPECT_EQ(forced.info, "info");
}

TEST(LoadConfiguration, CrcFieldIsReadInEitherCaseAndOtherwiseCountsAsWrong)
{
    std::string lower = crcText(patternImage());
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_EQ(loadConfiguration(withHeader("MMN" + lower), editedImage(), {}).outcome, ConfigLoadOutcome::Loaded);

    for (const std::string header : {"MMN", "MMN12", "MMNZZZZ", "MMN 123"}) {
        EXPECT_EQ(loadConfiguration(withHeader(header), editedImage(), {}).outcome, ConfigLoadOutcome::Corrupted)
            << header;
        const auto forced = loadConfiguration(withHeader(header), editedImage(), {.noLoadCheck = true});
        EXPECT_EQ(forced.outcome, ConfigLoadOutcome::Loaded) << header;
        EXPECT_EQ(forced.info, "") << header;
    }
}

TEST(LoadConfiguration, FewerDataLinesLeaveFfBehindTheData)
{
    const EeBlock image = patternImage();
    const auto crc = crc16(ByteSpan(image).first(32));
    const std::string file = join(
        {"MMN" + hexNumber(crc, 4), hexBytes(ByteSpan(image).first(16)), hexBytes(ByteSpan(image).subspan(16, 16))});

    const auto loaded = loadConfiguration(file, editedImage(), {.copyAstro = true});
    ASSERT_EQ(loaded.outcome, ConfigLoadOutcome::Loaded);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 32, loaded.image.begin()));
    EXPECT_TRUE(std::all_of(loaded.image.begin() + 32, loaded.image.end(), [](Byte b) { return b == 0xFF; }));
}

TEST(LoadConfiguration, DataLinesMayCarryMoreThan32Characters)
{
    Lines lines = linesOf(saveConfiguration(patternImage(), ""));
    lines[3] += "  trailing text";
    EXPECT_EQ(loadConfiguration(join(lines), editedImage(), {}).image, loadedPattern());
}

TEST(LoadConfiguration, UnreadableDataIsCorruptEvenWithoutTheCheck)
{
    const Lines saved = linesOf(saveConfiguration(patternImage(), ""));
    const struct {
        const char* name;
        Lines lines;
    } cases[] = {
        {"nine data lines",
         [&] {
             Lines l = saved;
             l.push_back(saved[1]);
             l.push_back(saved[1]);
             l.push_back(saved[1]);
             return l;
         }()},
        {"short line",
         [&] {
             Lines l = saved;
             l[2].pop_back();
             return l;
         }()},
        {"non-hex digit",
         [&] {
             Lines l = saved;
             l[4][31] = 'G';
             return l;
         }()},
        {"space inside",
         [&] {
             Lines l = saved;
             l[5][0] = ' ';
             return l;
         }()},
        {"empty line inside",
         [&] {
             Lines l = saved;
             l[3] = "";
             return l;
         }()},
    };
    for (const auto& c : cases) {
        for (const bool noLoadCheck : {false, true}) {
            const auto loaded = loadConfiguration(join(c.lines), editedImage(), {.noLoadCheck = noLoadCheck});
            EXPECT_EQ(loaded.outcome, ConfigLoadOutcome::Corrupted) << c.name << noLoadCheck;
            EXPECT_EQ(loaded.messages, std::vector<std::string_view>{configMessage::corrupted}) << c.name;
            EXPECT_EQ(loaded.image, refusedEdit()) << c.name;
        }
    }
}

TEST(LoadConfiguration, ImageSizeOfTheCallerIsHandledSafely)
{
    const std::string file = saveConfiguration(patternImage(), "");

    EeBlock device(kDeviceImageSize, 0x77);
    const auto big = loadConfiguration(file, device, {});
    ASSERT_EQ(big.image.size(), kDeviceImageSize);
    EXPECT_TRUE(std::equal(big.image.begin(), big.image.begin() + 128, loadedPattern().begin()));
    EXPECT_TRUE(std::all_of(big.image.begin() + 128, big.image.end(), [](Byte b) { return b == 0x77; }));

    for (const EeBlock& small : {EeBlock{}, EeBlock(50, 0x33)}) {
        EXPECT_EQ(loadConfiguration(file, small, {}).image, loadedPattern());
        const auto refused = loadConfiguration(withHeader("MMN0000"), small, {});
        ASSERT_EQ(refused.image.size(), kImageSize);
        EXPECT_TRUE(astroIsZero(refused.image));
    }
}

} // namespace
} // namespace ormid
