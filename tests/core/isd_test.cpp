// The ISD function's image rules, the offset calculator and the length-of-night series.

#include <gtest/gtest.h>

#include "core/encodings.h"
#include "core/isd_block.h"
#include "core/night_length.h"

namespace ormid {
namespace {

TEST(IsdOffset, OpensAndStoresTheSigned2MinuteUnits)
{
    const struct {
        Byte stored;
        const char* text;
    } cases[] = {{0x80, "-04:16:00"}, {0x7F, "04:14:00"}, {0, "0"}, {0xD3, "-01:30:00"}, {15, "00:30:00"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EeBlock image = makeDefaultImage();
        image[field::isdOffset] = c.stored;
        const IsdFields fields = readIsd(image);
        EXPECT_EQ(fields.offset, c.text);
        image[field::isdOffset] = 0x55;
        applyIsd(image, fields);
        EXPECT_EQ(image[field::isdOffset], c.stored);
    }
}

TEST(IsdOffset, DstMovesTheOffsetByAnHourWithinTheSlider)
{
    EXPECT_EQ(offsetText(dstShifted(offsetPosition("00:00:00"), true)), "-01:00:00");
    EXPECT_EQ(offsetText(dstShifted(offsetPosition("-01:00:00"), false)), "0");
    EXPECT_EQ(dstShifted(255, false), 255) << "+254 minutes cannot go further";
    EXPECT_EQ(dstShifted(10, true), 0);
}

TEST(IsdOffset, TheCalculatorGivesSolarAgainstClockTime)
{
    const struct {
        int halfDegrees;
        int zone;
        std::optional<int> offset;
    } cases[]
        = {{15, 1, -30}, {-360, 0, std::nullopt}, {127, 0, std::nullopt}, {126, 0, 252}, {0, 0, 0}, {-150, -5, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(calculatedOffset(c.halfDegrees, c.zone), c.offset) << c.halfDegrees << " " << c.zone;
    EXPECT_EQ(zoneText(-5), "UTC-5");
    EXPECT_EQ(zoneText(0), "UTC+0");
    EXPECT_EQ(zoneText(12), "UTC+12");

    // E 7.5°, UTC+1 with DST: -01:30:00, stored as 256 − 45.
    const int position = calculatorPosition(-30, true);
    EXPECT_EQ(offsetText(position), "-01:30:00");
    EeBlock image = makeDefaultImage();
    applyIsd(image, {offsetText(position), true, false, "0", "0"});
    EXPECT_EQ(image[field::isdOffset], 0xD3);
    EXPECT_FALSE(TestBit(image[field::optionByte], bit::dstOff));
}

TEST(IsdCalculators, DegreesShowInTheShortestDecimalForm)
{
    EXPECT_EQ(longitudeText(15, ','), "E 7,5\u00B0");
    EXPECT_EQ(longitudeText(-360, '.'), "W 180\u00B0");
    EXPECT_EQ(longitudeText(0, '.'), "0\u00B0");
    EXPECT_EQ(latitudeText(100, '.'), "N 50");
    EXPECT_EQ(latitudeText(-15, '.'), "S 7.5");
    EXPECT_EQ(halfDegreesText(-6, '.'), "-3");
    EXPECT_EQ(halfDegreesText(-1, '.'), "-0.5");
    EXPECT_EQ(halfDegreesText(-3, '.'), "-1.5");
}

TEST(AutoDst, BothThresholdsValidOrNothingIsStored)
{
    const struct {
        const char* name;
        IsdFields fields;
        Byte reserved, start, end;
    } cases[] = {
        {"both valid", {"0", false, true, "10:45", "13:20"}, 0, 129, 160},
        {"a night under 05:00 is not stored", {"0", false, true, "01:35", "13:20"}, 0, 0, 0},
        {"enabled with both at 0", {"0", false, true, "0", "0"}, 0, 0, 0},
        {"not enabled", {"0", false, false, "10:45", "13:20"}, 0, 0, 0},
        {"18:00 is the longest", {"0", false, true, "18:00", "05:00"}, 0, 216, 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = makeDefaultImage();
        image[field::autoDstReserved] = 9;
        applyIsd(image, c.fields);
        EXPECT_EQ(image[field::autoDstReserved], c.reserved);
        EXPECT_EQ(image[field::autoDstStart], c.start);
        EXPECT_EQ(image[field::autoDstEnd], c.end);
    }
    EeBlock image = makeDefaultImage();
    image[field::autoDstStart] = 129;
    image[field::autoDstEnd] = 160;
    const IsdFields fields = readIsd(image);
    EXPECT_TRUE(fields.autoDst);
    EXPECT_EQ(fields.dstStart, "10:45");
    EXPECT_EQ(fields.dstEnd, "13:20");
    image[field::autoDstEnd] = 0;
    EXPECT_FALSE(readIsd(image).autoDst) << "one alone is not valid";
    EXPECT_EQ(readIsd(image).dstStart, "0");
}

TEST(AutoDst, TheThresholdSliderStandsFor5MinuteUnitsWith59Off)
{
    EXPECT_EQ(thresholdPosition("0"), 59);
    EXPECT_EQ(thresholdPosition("10:45"), 129);
    EXPECT_EQ(thresholdPosition("20:00"), 216);
    EXPECT_EQ(thresholdText(59), "0");
    EXPECT_EQ(thresholdText(60), "05:00");
    EXPECT_EQ(thresholdFromNightLength("10:46"), "10:45");
    EXPECT_EQ(thresholdFromNightLength("13:23"), "13:20");
    EXPECT_EQ(thresholdFromNightLength("junk"), "0");
}

TEST(NightLength, MatchesTheSeriesAtKnownDates)
{
    const struct {
        int d, m, y, latitude, horizon;
        const char* length;
    } cases[] = {
        {30, 3, 2014, 100, -6, "10:46"},  {26, 10, 2014, 100, -6, "13:23"},  {10, 3, 2014, 100, -6, "12:01"},
        {21, 6, 2017, 100, 0, "07:51"},   {21, 12, 2017, 100, -12, "14:39"}, {1, 1, 2000, 0, 0, "12:00"},
        {21, 6, 2017, 120, -12, "01:35"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const auto hours = lengthOfNight(c.d, c.m, c.y, c.latitude, c.horizon);
        ASSERT_TRUE(hours.has_value());
        EXPECT_EQ(hoursToHM(*hours), c.length);
    }
    EXPECT_EQ(julianDayNumber(1, 1, 2000), 2451545);
    EXPECT_FALSE(lengthOfNight(1, 1, 1999, 100, -6).has_value()) << "before 2000";
    EXPECT_FALSE(lengthOfNight(21, 6, 2017, 124, -12).has_value()) << "no twilight at N 62° in June";
}

// Beyond the polar circles the sun may stay above or below the twilight angle all day.
TEST(NightLength, TellsNoNightFromNoDay)
{
    const struct {
        int d, m, y;
        long double latitude, horizon;
        Twilight twilight;
        const char* length;
    } cases[] = {
        {21, 6, 2017, 62, -6, Twilight::alwaysAbove, "00:00"},   {21, 6, 2017, 62, -3, Twilight::crossed, "02:44"},
        {21, 6, 2017, 75, -3, Twilight::alwaysAbove, "00:00"},   {21, 12, 2017, 75, -3, Twilight::alwaysBelow, "24:00"},
        {21, 12, 2017, -75, -3, Twilight::alwaysAbove, "00:00"}, {21, 6, 2017, -75, -3, Twilight::alwaysBelow, "24:00"},
        {30, 3, 2014, 50, -3, Twilight::crossed, "10:46"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<double>(c.latitude));
        const auto night = nightAt(c.d, c.m, c.y, c.latitude, c.horizon);
        ASSERT_TRUE(night.has_value());
        EXPECT_EQ(night->twilight, c.twilight);
        EXPECT_EQ(hoursToHM(night->hours), c.length);
    }
    EXPECT_FALSE(nightAt(31, 12, 1999, 50, -3).has_value()) << "before 2000";
}

// The calculator's half degrees and the degrees of the command line are one calculation.
TEST(NightLength, HalfDegreesAreDegreesHalved)
{
    for (const int latitude : {-124, -95, 0, 1, 95, 100, 124})
        for (const int horizon : {-12, -7, -6, 0}) {
            const auto halves = lengthOfNight(30, 3, 2014, latitude, horizon);
            const auto degrees = nightAt(30, 3, 2014, latitude / 2.0L, horizon / 2.0L);
            ASSERT_TRUE(halves.has_value() && degrees.has_value());
            EXPECT_EQ(*halves, degrees->hours) << latitude << " " << horizon;
        }
}

TEST(NightLength, AnglesAndMinutesRound)
{
    constexpr long double kPi = 3.141592653589793238462643383279502884L;
    EXPECT_NEAR(static_cast<double>(normalizeAngle(-0.5L)), static_cast<double>(2 * kPi - 0.5L), 1e-12);
    EXPECT_NEAR(static_cast<double>(normalizeAngle(7 * kPi)), static_cast<double>(kPi), 1e-12);
    EXPECT_EQ(hoursToHM(7.9999L), "08:00");
    EXPECT_EQ(hoursToHM(5.5L), "05:30");
}

} // namespace
} // namespace ormid
