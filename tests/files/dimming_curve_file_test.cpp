#include "files/dimming_curve_file.h"

#include <gtest/gtest.h>

#include <string>

namespace ormid {
namespace {

std::vector<std::string> identityLines()
{
    std::vector<std::string> lines;
    for (int i = 0; i <= 100; ++i)
        lines.push_back(std::to_string(i));
    return lines;
}

std::string join(const std::vector<std::string>& lines, std::string_view eol, bool finalBreak)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size() || finalBreak)
            text += eol;
    }
    return text;
}

// The curve loaded before, so that kept points can be told from new ones.
const std::vector<Byte> kPrevious(kCurvePoints, 77);

std::vector<Byte> identityPoints()
{
    std::vector<Byte> points;
    for (int i = 0; i <= 100; ++i)
        points.push_back(static_cast<Byte>(i));
    return points;
}

TEST(DimmingCurveFile, Reads101LinesWithOrWithoutAFinalBreakOrAByteOrderMark)
{
    for (const std::string_view eol : {"\r\n", "\n"}) {
        for (const bool finalBreak : {false, true}) {
            const auto load = readDimmingCurve(
                (finalBreak ? "\xEF\xBB\xBF" : "") + join(identityLines(), eol, finalBreak), kPrevious);
            EXPECT_TRUE(load.valid());
            EXPECT_EQ(load.points, identityPoints());
            EXPECT_EQ(curveFileMessage(load.status), "");
        }
    }
}

TEST(DimmingCurveFile, WrongNumberOfLinesKeepsThePreviousPoints)
{
    auto shortLines = identityLines();
    shortLines.pop_back();
    const std::string cases[] = {
        join(identityLines(), "\r\n", true) + "\r\n", // an empty line after the last value counts
        join(shortLines, "\r\n", true),
        join(identityLines(), "\n", true) + "101\n",
        "",
    };
    for (const auto& text : cases) {
        const auto load = readDimmingCurve(text, kPrevious);
        EXPECT_EQ(load.status, CurveFileStatus::WrongPointCount);
        EXPECT_EQ(curveFileMessage(load.status), "Error: Nr. of points is not 101!");
        EXPECT_EQ(load.points, kPrevious);
    }
}

TEST(DimmingCurveFile, BadValuesMarkTheFileAndKeepWhatParsed)
{
    const struct {
        std::string line;
        Byte point; // entry 50 afterwards
    } cases[] = {
        {"101", 101},                                            // out of range: low 8 bits kept
        {"-1", 0xFF},        {"300", 44}, {"abc", 77},           // not an integer: the previous point stays
        {"5.0", 77},         {" ", 77},   {"+5", 77},  {"", 77}, // an empty line inside counts as a line with no value
        {"99999999999", 77},
    };
    for (const auto& c : cases) {
        auto lines = identityLines();
        lines[50] = c.line;
        const auto load = readDimmingCurve(join(lines, "\r\n", true), kPrevious);
        EXPECT_EQ(load.status, CurveFileStatus::WrongData) << c.line;
        EXPECT_EQ(curveFileMessage(load.status), "Error: Wrong Data!");
        EXPECT_EQ(load.points[50], c.point) << c.line;
        EXPECT_EQ(load.points[49], 49) << c.line;
        EXPECT_EQ(load.points[51], 51) << c.line;
    }
}

TEST(DimmingCurveFile, BlanksAroundAValueAreAccepted)
{
    for (const char* line : {" 5", "5 ", "\t5\t", "  5  "}) {
        auto lines = identityLines();
        lines[50] = line;
        const auto load = readDimmingCurve(join(lines, "\n", true), kPrevious);
        EXPECT_TRUE(load.valid()) << '"' << line << '"';
        EXPECT_EQ(load.points[50], 5) << '"' << line << '"';
    }
}

TEST(DimmingCurveFile, ShortCurrentCurveIsExtendedWithZeros)
{
    auto lines = identityLines();
    lines[0] = "x";
    const auto load = readDimmingCurve(join(lines, "\n", true), {});
    ASSERT_EQ(load.points.size(), kCurvePoints);
    EXPECT_EQ(load.points[0], 0);
    EXPECT_EQ(load.points[100], 100);
}

TEST(DimmingCurveFile, ListingAndExtensionRules)
{
    EXPECT_FALSE(isListableCurveFileSize(0));
    EXPECT_FALSE(isListableCurveFileSize(100));
    EXPECT_TRUE(isListableCurveFileSize(101));

    for (const char* name : {"a.dc", "LED.DC", "x.Dc", ".dc"})
        EXPECT_TRUE(hasCurveExtension(name)) << name;
    for (const char* name : {"a.kdc", "dc", "a.dcx", "a_dc", ""})
        EXPECT_FALSE(hasCurveExtension(name)) << name;
}

} // namespace
} // namespace ormid
