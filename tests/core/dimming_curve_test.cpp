// The dimming curve's conversions of the image's levels.

#include "core/dimming_curve.h"

#include <gtest/gtest.h>

#include <numeric>

#include "core/encodings.h"

namespace ormid {
namespace {

CurvePoints identity()
{
    CurvePoints curve(101);
    std::iota(curve.begin(), curve.end(), Byte{0});
    return curve;
}

// An image with every converted level set and every condition met.
EeBlock imageWithLevels()
{
    EeBlock image = makeDefaultImage();
    image[field::outputByte] = ClearBit(image[field::outputByte], bit::outputDali);
    image[field::minLevel] = 50;
    image[field::powerOnLevel] = 0xB2;
    for (std::size_t k = 1; k <= field::stepCount; ++k) {
        image[engine1Step(k) + 2] = static_cast<Byte>(k * 10);
        image[engine2Step(k) + 2] = static_cast<Byte>(k * 10);
    }
    image[field::mffStartLevel] = 70;
    image[field::mffStopLevel] = 100;
    for (const std::size_t t : {field::tmT1, field::tmT2, field::tmT3})
        image[t] = 60;
    image[field::tmLevel1] = 40;
    image[field::tmLevel2] = 30;
    image[field::tmLevel3] = 20;
    return image;
}

TEST(DimmingCurve, LevelsGoThroughTheCurveKeepingTheRelayBit)
{
    CurvePoints curve = identity();
    curve[50] = 33;
    curve[100] = 90;
    const struct {
        const char* name;
        Byte level, forward, backward;
    } cases[] = {
        {"50 % is written as 33 % and read back as 50 %", 50, 33, 50},
        {"relay off keeps bit 7", 0xB2, 0x80 + 33, 0x80 + 50},
        {"0x7F counts as 100 %", 0x7F, 90, 100},
        {"above 100 counts as 100", 120, 90, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(correctLevel(c.level, curve), c.forward);
        EXPECT_EQ(uncorrectLevel(c.forward, curve), c.backward);
    }
}

TEST(DimmingCurve, BackwardTakesTheHighestInputAndTheNearestWhenNoneMatches)
{
    CurvePoints curve = identity();
    for (std::size_t i = 0; i <= 5; ++i)
        curve[i] = 0;
    EXPECT_EQ(uncorrectLevel(0, curve), 5) << "lines 0..5 give 0: the highest wins";
    EXPECT_EQ(uncorrectLevel(0x80, curve), 0x85);

    CurvePoints square(101);
    for (std::size_t i = 0; i < square.size(); ++i)
        square[i] = static_cast<Byte>(i * i / 100);
    EXPECT_EQ(square[71], 50);
    EXPECT_EQ(uncorrectLevel(50, square), 71);
    // 99 is no output of this curve (98 at 99 %, 100 at 100 %): the nearest, highest on a tie.
    EXPECT_EQ(uncorrectLevel(99, square), 100);
    CurvePoints flat(101, 40);
    EXPECT_EQ(uncorrectLevel(0, flat), 100) << "never the free-step mark";
    EXPECT_EQ(uncorrectLevel(0x80, flat), 0x80 + 100);
}

TEST(DimmingCurve, TheIdentityLeavesEveryLevel)
{
    EeBlock image = imageWithLevels();
    const EeBlock before = image;
    correctImageLevels(image, identity());
    EXPECT_EQ(image, before);
    uncorrectImageLevels(image, identity());
    EXPECT_EQ(image, before);
}

TEST(DimmingCurve, ChartPointsLieFourPixelsAPercentFromTheOrigin)
{
    CurvePoints curve = identity();
    curve[50] = 33;
    const auto points = curveChartPoints(curve);
    ASSERT_EQ(points.size(), 101U);
    EXPECT_EQ(points.front(), (ChartPoint{49, 446}));
    EXPECT_EQ(points[50], (ChartPoint{249, 314}));
    EXPECT_EQ(points.back(), (ChartPoint{449, 46}));
}

TEST(DimmingCurve, TheImageConvertsItsLevelsUnderTheirConditions)
{
    CurvePoints halves(101);
    for (std::size_t i = 0; i < halves.size(); ++i)
        halves[i] = static_cast<Byte>(i / 2);

    const struct {
        const char* name;
        void (*prepare)(EeBlock& image);
        std::size_t at;
        Byte expected;
    } cases[] = {
        {"minimum level", [](EeBlock&) {}, field::minLevel, 25},
        {"power-on level with relay off", [](EeBlock&) {}, field::powerOnLevel, 0x80 + 25},
        {"engine 1 step", [](EeBlock&) {}, engine1Step(3) + 2, 15},
        {"engine 2 step", [](EeBlock&) {}, engine2Step(10) + 2, 50},
        {"free step", [](EeBlock& i) { i[engine1Step(2) + 2] = kFreeLevel; }, engine1Step(2) + 2, kFreeLevel},
        {"MFF start", [](EeBlock&) {}, field::mffStartLevel, 35},
        {"MFF stop", [](EeBlock&) {}, field::mffStopLevel, 50},
        {"MFF off leaves the stop level", [](EeBlock& i) { i[field::mffStartLevel] = 0xFF; }, field::mffStopLevel, 100},
        {"MFF L1 is not converted", [](EeBlock& i) { i[field::mffLevel1] = 80; }, field::mffLevel1, 80},
        {"thermal level with its temperature", [](EeBlock&) {}, field::tmLevel2, 15},
        {"thermal level without temperature", [](EeBlock& i) { i[field::tmT3] = 0; }, field::tmLevel3, 20},
        {"DALI converts nothing",
         [](EeBlock& i) { i[field::outputByte] = SetBit(i[field::outputByte], bit::outputDali); }, field::minLevel, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = imageWithLevels();
        c.prepare(image);
        correctImageLevels(image, halves);
        EXPECT_EQ(image[c.at], c.expected);
    }
    EeBlock image = imageWithLevels();
    const EeBlock before = image;
    EXPECT_FALSE(correctImageLevels(image, {}));
    EXPECT_EQ(image, before) << "no curve, no conversion";
    EXPECT_TRUE(uncorrectImageLevels(image, halves));
    image[field::outputByte] = SetBit(image[field::outputByte], bit::outputDali);
    EXPECT_FALSE(uncorrectImageLevels(image, halves)) << "a DALI image is not converted, so no flag may say it was";
}

} // namespace
} // namespace ormid
