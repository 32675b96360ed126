#include "core/text_lines.h"

#include <gtest/gtest.h>

#include <string>

namespace ormid {
namespace {

using Lines = std::vector<std::string_view>;

TEST(SplitTextLines, AcceptsEveryLineEnding)
{
    const struct {
        std::string_view text;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}}, // an empty line inside counts
        {"a\n\n", {"a", ""}},           // only the last break is swallowed
        {"a\n\r\nb", {"a", "", "b"}},
        {"\n", {""}},
        {"\xEF\xBB\xBF"
         "a\r\nb",
         {"a", "b"}}, // a UTF-8 byte-order mark is no part of line 1
        {"\xEF\xBB\xBF", {}},
        {"a\xEF\xBB\xBF\nb", {"a\xEF\xBB\xBF", "b"}}, // only at the very start
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitTextLines(c.text), c.lines) << testing::PrintToString(std::string(c.text));
}

TEST(SplitTextLines, StopsAfterTheLinesAsked)
{
    EXPECT_EQ(splitTextLines("a\nb\nc\n", 2), (Lines{"a", "b"}));
    EXPECT_EQ(splitTextLines("a\nb", 5), (Lines{"a", "b"}));
    EXPECT_EQ(splitTextLines("a\nb", 0), Lines{});
}

TEST(SplitTextLines, DropsOnlyTrailingEmptyLines)
{
    Lines lines{"", "a", "", "b", "", ""};
    dropTrailingEmptyLines(lines);
    EXPECT_EQ(lines, (Lines{"", "a", "", "b"}));
}

TEST(SplitList, KeepsEmptyItemsAndGivesNoneForNothing)
{
    EXPECT_EQ(splitList("M1,M3"), (Lines{"M1", "M3"}));
    EXPECT_EQ(splitList("a"), (Lines{"a"}));
    EXPECT_EQ(splitList("a,,b,"), (Lines{"a", "", "b", ""}));
    EXPECT_EQ(splitList(""), Lines{});
    EXPECT_EQ(splitList("a;b", ';'), (Lines{"a", "b"}));
}

TEST(Trimmed, DropsTheBlanksAtBothEndsOnly)
{
    const struct {
        std::string_view text;
        std::string_view blanks;
        std::string_view expected;
    } cases[] = {
        {" \tkey = value\t ", " \t", "key = value"},
        {"   ", " \t", ""},
        {"", " \t", ""},
        {"\tpadded ", " ", "\tpadded"},
        {"inner  blanks", " ", "inner  blanks"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(trimmed(c.text, c.blanks), c.expected) << '"' << c.text << '"';
}

TEST(Decimal, TakesOnlyAWholeNumber)
{
    EXPECT_EQ(parseDecimal("42"), 42);
    EXPECT_EQ(parseDecimal("-3"), -3);
    for (const char* bad : {"", "3x", " 3", "+3", "99999999999"})
        EXPECT_EQ(parseDecimal(bad), std::nullopt) << bad;
}

TEST(TextForMessage, ShowsShortTextAsItIsAndCutsLongTextAtACharacter)
{
    const struct {
        std::string text;
        std::size_t maxBytes;
        std::string shown;
    } cases[] = {
        {"", 60, ""},
        {"-skipfw", 60, "-skipfw"},
        {"abcdef", 6, "abcdef"},
        {"abcdefg", 6, "abcdef... (7 bytes)"},
        {"a\nb\x1B[2Jc\x7F", 60, "a?b?[2Jc?"},
        {"ab\xC3\xA4"
         "cd",
         3, "ab... (6 bytes)"}, // "ä" is not split
        {"ab\xE2\x82\xAC"
         "cd",
         4, "ab... (7 bytes)"}, // nor "€"
        {"ab\xE2\x82\xAC"
         "cd",
         5, "ab\xE2\x82\xAC... (7 bytes)"},
        {std::string(100 * 1024, 'x'), 60, std::string(60, 'x') + "... (102400 bytes)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(textForMessage(c.text, c.maxBytes), c.shown) << c.text.substr(0, 20);
}

TEST(Hex, ParsesEitherCaseAndRejectsOtherCharacters)
{
    EXPECT_EQ(parseHexNumber("1aF0"), 0x1AF0u);
    EXPECT_EQ(parseHexNumber("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_FALSE(parseHexNumber(""));
    EXPECT_FALSE(parseHexNumber("12G4"));
    EXPECT_FALSE(parseHexNumber(" 123"));
    EXPECT_FALSE(parseHexNumber("123456789"));
    EXPECT_EQ(parseHexBytes("00ff7A"), (std::vector<Byte>{0x00, 0xFF, 0x7A}));
    EXPECT_FALSE(parseHexBytes("0"));
    EXPECT_FALSE(parseHexBytes("0x"));
}

TEST(Hex, FormatsUppercaseZeroPadded)
{
    EXPECT_EQ(hexNumber(0xAB, 4), "00AB");
    EXPECT_EQ(hexNumber(0x3000, 4), "3000");
}

TEST(HexText, BytesAsUppercaseTwoDigits)
{
    EXPECT_EQ(hexByte(0x00), "00");
    EXPECT_EQ(hexByte(0x0A), "0A");
    EXPECT_EQ(hexByte(0xEA), "EA");
    const std::vector<Byte> bytes = {0x12, 0x34, 0xAB, 0x0F};
    EXPECT_EQ(hexBytes(bytes), "1234AB0F");
    EXPECT_EQ(hexBytes({}), "");
}

} // namespace
} // namespace ormid
