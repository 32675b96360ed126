#include "core/encodings.h"

#include <gtest/gtest.h>

#include <string>

#include "case_name.h"

namespace ormid {
namespace {

TEST(BitOperations, ChangeOnlyTheNamedBitAndWrapTheBitNumber)
{
    EXPECT_EQ(SetBit(0xA0, 2), 0xA4);
    EXPECT_EQ(ClearBit(0xFF, 7), 0x7F);
    EXPECT_EQ(SetBit(0x00, 32 + 3), 0x08); // bit numbers are taken modulo 32
    EXPECT_EQ(SetBit(0x1FF, 9), 0xFF);     // the result is the low byte
    EXPECT_TRUE(TestBit(0x80000000u, 31));
    EXPECT_TRUE(TestBit(0x04, 34));
    EXPECT_FALSE(TestBit(0x04, 3));
}

TEST(TimeCodes, DecodeEachUnit)
{
    struct Case {
        int code;
        int value;
    };
    for (const Case c :
         {Case{0, 0}, {63, 63}, {70, 60}, {129, 60}, {0x7F, 630}, {0xBF, 3780}, {0xFF, 56700}, {0xE8, 36000}})
        EXPECT_EQ(decodeTimeCode(c.code), c.value) << "code " << c.code;
}

TEST(TimeCodes, EncodePicksTheFinestUnitAndTruncates)
{
    struct Case {
        int t;
        int code;
    };
    for (const Case c :
         {Case{0, 0}, {63, 63}, {64, 70}, {65, 70}, {630, 127}, {631, 138}, {3780, 191}, {3781, 196}, {56700, 255}})
        EXPECT_EQ(encodeTimeCode(c.t), c.code) << "t " << c.t;
    EXPECT_GT(encodeTimeCode(57600), 255); // no clamp: callers keep t within range
}

TEST(TimeCodes, RoundTripLosesOnlyTheUnitRemainder)
{
    for (int t = 0; t <= kLargestTime; ++t) {
        const int unit = t < 64 ? 1 : t <= 630 ? 10 : t <= 3780 ? 60 : 900;
        ASSERT_EQ(decodeTimeCode(encodeTimeCode(t)), unit * (t / unit)) << "t " << t;
    }
}

TEST(FadeTables, CodesAreTheTimeCodesOfTheMillisecondsAndTextsTheirDisplay)
{
    for (std::size_t i = 0; i < kFadeCount; ++i) {
        EXPECT_EQ(fadeCodes[i], encodeTimeCode(fadeTimesMs[i])) << i;
        EXPECT_EQ(millisecondsText(fadeTimesMs[i]), fadeTexts[i]) << i;
    }
}

TEST(FadeSpeeds, NearestFadeRateSnapsWithTiesDown)
{
    struct Case {
        Byte code;
        Byte index;
    };
    const Case cases[] = {
        {0, 0},     {50, 0},    {51, 1},    {70, 1}, // 70 decodes to 60 ms
        {153, 7},                                    // 1500 ms, a midpoint, goes down
        {0xE8, 15}, {0xFF, 15}, {0xE7, 15},          // E7 = 35100 ms, nearer 36000
        {0x4A, 1},  {0xCC, 13},
    };
    for (const Case c : cases)
        EXPECT_EQ(nearestFadeRate(c.code), c.index) << "code " << int(c.code);
}

TEST(FadeSpeeds, ParseFadeRateFindsTableTextsOnly)
{
    EXPECT_EQ(parseFadeRate("0"), 0);
    EXPECT_EQ(parseFadeRate("01,200"), 7);
    EXPECT_EQ(parseFadeRate("36,000"), 15);
    EXPECT_EQ(parseFadeRate("01,250"), 16); // not a table rate
    EXPECT_EQ(parseFadeRate("0a,200"), std::nullopt);
}

TEST(Levels, LevelInFiveStepsRoundsToFiveAndKeepsTheRelayBit)
{
    struct Case {
        Byte in;
        Byte out;
    };
    for (const Case c : {Case{12, 10}, {13, 15}, {127, 125}, {0xB4, 0xB2}, {0xFF, 0xFF}, {0, 0}, {0x80, 0x80}})
        EXPECT_EQ(levelInFiveSteps(c.in), c.out) << int(c.in);
}

struct ParseCase {
    const char* name;
    Parsed (*parse)(std::string_view);
    const char* text;
    Parsed expected;
};

class TextParsers : public testing::TestWithParam<ParseCase> {};

TEST_P(TextParsers, ReadFixedPositions)
{
    const ParseCase& c = GetParam();
    EXPECT_EQ(c.parse(c.text), c.expected) << c.name << "(\"" << c.text << "\")";
}

INSTANTIATE_TEST_SUITE_P(
    AllParsers, TextParsers,
    testing::Values(
        ParseCase{"parseSeconds", parseSeconds, "01:02:05", 3725},
        ParseCase{"parseSeconds", parseSeconds, "01-02-05", 3725}, // separators are not checked
        ParseCase{"parseSeconds", parseSeconds, "1:02:05", 0},     // wrong length
        ParseCase{"parseSeconds", parseSeconds, "0", 0},
        ParseCase{"parseSeconds", parseSeconds, "0a:02:05", std::nullopt},
        ParseCase{"parseSeconds", parseSeconds, "01:02: 5", std::nullopt},
        ParseCase{"parseMinutes", parseMinutes, "10:30", 630}, ParseCase{"parseMinutes", parseMinutes, "10:30:00", 0},
        ParseCase{"parseMinutes", parseMinutes, "1x:30", std::nullopt},
        ParseCase{"parseMilliseconds", parseMilliseconds, "01,200", 1200},
        ParseCase{"parseMilliseconds", parseMilliseconds, "00,005 s/%", 5}, // six or more characters
        ParseCase{"parseMilliseconds", parseMilliseconds, "0", 0},
        ParseCase{"parseMilliseconds", parseMilliseconds, "01,2x0", std::nullopt},
        ParseCase{"parseTimeOfDayCode", parseTimeOfDayCode, "22:03:00", 233},
        ParseCase{"parseTimeOfDayCode", parseTimeOfDayCode, "05:00:00", 316},
        ParseCase{"parseTimeOfDayCode", parseTimeOfDayCode, "12:00:00", 400}, // 720 minutes is not after noon
        ParseCase{"parseTimeOfDayCode", parseTimeOfDayCode, "12:05:00", 113},
        ParseCase{"parseTimeOfDayCode", parseTimeOfDayCode, "22:03", 128},
        ParseCase{"parseTimeOfDayCode", parseTimeOfDayCode, "2?:03:00", std::nullopt},
        ParseCase{"parseOffsetCode", parseOffsetCode, "-01:00:00", 98},
        ParseCase{"parseOffsetCode", parseOffsetCode, "+01:00:00", 98}, // any first character of nine is a sign
        ParseCase{"parseOffsetCode", parseOffsetCode, "01:00:00", 158},
        ParseCase{"parseOffsetCode", parseOffsetCode, "01:00:00xx", 158}, // ten or more read like eight
        ParseCase{"parseOffsetCode", parseOffsetCode, "1:00", 128},
        ParseCase{"parseOffsetCode", parseOffsetCode, "-0b:00:00", std::nullopt}),
    [](const testing::TestParamInfo<ParseCase>& info) {
        return std::string(info.param.name) + "_" + test::caseName(info.param.text);
    });

TEST(TimeTexts, DisplayFunctionsPadAndFallBackToZero)
{
    EXPECT_EQ(secondsText(3725), "01:02:05");
    EXPECT_EQ(secondsText(90000), "25:00:00");
    EXPECT_EQ(secondsText(0), "0");
    EXPECT_EQ(secondsText(360000), "100:00:00"); // three digits written in full
    EXPECT_EQ(hoursMinutesText(3725), "01:02");  // seconds dropped
    EXPECT_EQ(hoursMinutesText(59), "00:00");
    EXPECT_EQ(hoursMinutesText(0), "0");
    EXPECT_EQ(millisecondsText(1200), "01,200");
    EXPECT_EQ(millisecondsText(100), "00,100");
    EXPECT_EQ(millisecondsText(5), "00,005");
    EXPECT_EQ(millisecondsText(36000), "36,000");
    EXPECT_EQ(millisecondsText(0), "0");
    EXPECT_EQ(offsetCodeText(0), "0");
    EXPECT_EQ(offsetCodeText(-90), "-01:30:00");
    EXPECT_EQ(offsetCodeText(254), "04:14:00");
}

TEST(TimeTexts, TimeOfDayTextShowsTimeOfDayCodes)
{
    struct Case {
        int code;
        const char* text;
    };
    for (const Case c : {Case{0, "00:00:00"},
                         {128, "00:00:00"},
                         {232, "22:00:00"},
                         {233, "22:05:00"},
                         {60, "05:00:00"},
                         {127, "10:35:00"},
                         {129, "13:25:00"},
                         {255, "23:55:00"}})
        EXPECT_EQ(timeOfDayText(c.code), c.text) << c.code;
}

TEST(TimeTexts, SwitchingTimesRoundTripThroughTheStoredByte)
{
    // Engine switching times lie between 15:00 and 09:00; the image keeps the
    // low 8 bits of parseTimeOfDayCode's result.
    for (int minutes = -540; minutes <= 540; minutes += 5) {
        const int ofDay = (minutes + 1440) % 1440;
        const std::string hms = (ofDay < 600 ? "0" : "") + std::to_string(ofDay / 60) + ":"
            + (ofDay % 60 < 10 ? "0" : "") + std::to_string(ofDay % 60) + ":00";
        const Parsed code = parseTimeOfDayCode(hms);
        ASSERT_TRUE(code.has_value()) << hms;
        EXPECT_EQ(timeOfDayText(*code & 0xFF), hms);
    }
}

} // namespace
} // namespace ormid
