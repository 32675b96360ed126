// The step editor's arithmetic: where a slider opens, what a position shows, and how
// a range change moves a value onto the new grid.

#include "core/step_values.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace ormid {
namespace {

struct Opening {
    const char* name;
    FieldOpening field;
    int minimum;
    int maximum;
    int position;
    std::optional<int> rangeIndex;
};

TEST(StepSlider, OpensWithinItsKindsRangeAndGrid)
{
    const Opening cases[] = {
        {"a level opens at its value", {kindLevel, "40", 0, ""}, 0, 100, 40, {}},
        {"a level below the minimum opens at the minimum", {kindLevel, "20", 30, ""}, 30, 100, 30, {}},
        {"a free level opens at 100", {kindLevel, "-", 30, ""}, 30, 100, 100, {}},
        {"a minimum above 100 leaves only 100", {kindLevel, "50", 120, ""}, 100, 100, 100, {}},
        {"remote level, minimum 12: positions 2..20", {kindLevel5, "50", 12, ""}, 2, 20, 10, {}},
        {"remote level of a free row opens at 100 %", {kindLevel5, "-", 12, ""}, 2, 20, 20, {}},
        {"remote level 12 % is position 2", {kindLevel5, "12", 0, ""}, 0, 20, 2, {}},
        {"remote minimum 13 % is position 3", {kindLevel5, "20", 13, ""}, 3, 20, 4, {}},
        {"remote level 38 % is position 8", {kindLevel5, "38", 0, ""}, 0, 20, 8, {}},
        {"fade rate 00,600 is the seventh rate", {kindFadeRate, "00,600", 0, ""}, 0, 15, 6, {}},
        {"a fade that is no rate opens at the last", {kindFadeRate, "00,150", 0, ""}, 0, 15, 15, {}},
        {"row 1 time spans 15:00..09:00", {kindTimeOfDay, "22:00:00", 0, ""}, 20, 236, 104, {}},
        {"after 21:00 the time starts at 21:05", {kindTimeOfDay, "00:00:00", 0, "21:00:00"}, 93, 236, 128, {}},
        {"a time before its predecessor's opens at its lower bound",
         {kindTimeOfDay, "20:00:00", 0, "21:00:00"},
         93,
         236,
         93,
         {}},
        {"45 minutes open at -> 01:00:00, position 45", {kindDelay, "00:45:00", 0, ""}, 0, 60, 45, 2},
        {"61 s open at -> 00:10:00, position 6", {kindDelay, "00:01:01", 0, ""}, 0, 60, 6, 1},
        {"59 s open at -> 00:01:00", {kindDelay, "00:00:59", 0, ""}, 0, 60, 59, 0},
        {"a zero delay opens at 0", {kindDelay, "0", 0, ""}, 0, 60, 0, 0},
        {"15:45:00 does not fit and opens at 60 of the widest", {kindDelay, "15:45:00", 0, ""}, 0, 60, 60, 3},
        {"a fade of 36 s per % opens at -> 54,000", {kindFade, "36,000", 0, ""}, 0, 60, 40, 3},
        {"a fade of 0,3 s per % opens at -> 00,600", {kindFade, "00,300", 0, ""}, 0, 60, 30, 1},
    };
    for (const Opening& c : cases) {
        SCOPED_TRACE(c.name);
        const auto setup = openSlider(c.field);
        ASSERT_TRUE(setup.has_value());
        EXPECT_EQ(setup->minimum, c.minimum);
        EXPECT_EQ(setup->maximum, c.maximum);
        EXPECT_EQ(setup->position, c.position);
        EXPECT_EQ(setup->rangeIndex, c.rangeIndex);
    }
}

TEST(StepSlider, ATimeWhoseLowerBoundWouldBe0900OrLaterCannotBeEdited)
{
    EXPECT_FALSE(openSlider({kindTimeOfDay, "00:00:00", 0, "09:00:00"}).has_value());
    EXPECT_FALSE(openSlider({kindTimeOfDay, "00:00:00", 0, "08:55:00"}).has_value());
    const auto after0850 = openSlider({kindTimeOfDay, "00:00:00", 0, "08:50:00"});
    ASSERT_TRUE(after0850.has_value());
    EXPECT_EQ(after0850->minimum, 235);
}

TEST(StepSlider, APositionShowsItsKindsText)
{
    const struct {
        StepKind kind;
        int position;
        int rangeIndex;
        const char* text;
    } cases[] = {
        {kindTimeOfDay, 20, -1, "15:00:00"},
        {kindTimeOfDay, 127, -1, "23:55:00"},
        {kindTimeOfDay, 128, -1, "00:00:00"},
        {kindTimeOfDay, 236, -1, "09:00:00"},
        {kindLevel, 37, -1, "37"},
        {kindLevel5, 9, -1, "45"},
        {kindFadeRate, 0, -1, "0"},
        {kindFadeRate, 15, -1, "36,000"},
        {kindDelay, 6, 1, "00:01:00"},
        {kindDelay, 60, 3, "15:00:00"},
        {kindDelay, 0, 2, "0"},
        {kindFade, 54, 0, "00,054"},
        {kindFade, 60, 3, "54,000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(sliderText(c.kind, c.position, c.rangeIndex), c.text);
    }
}

TEST(StepSlider, ADurationWithoutARangeItemIsLeftAlone)
{
    EXPECT_EQ(sliderText(kindDelay, 10, -1), std::nullopt);
    EXPECT_EQ(sliderText(kindFade, 10, -1), std::nullopt);
}

TEST(StepSlider, TimeOfDayPositionsAndCodesAreInverse)
{
    for (int position = kFirstTimeOfDay; position <= kLastTimeOfDay; ++position) {
        const auto text = sliderText(kindTimeOfDay, position, -1);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(timeOfDayPosition(*text), position) << *text;
    }
    EXPECT_EQ(timeOfDayCode(20), 148);
    EXPECT_EQ(timeOfDayCode(127), 255);
    EXPECT_EQ(timeOfDayCode(128), 0);
    EXPECT_EQ(timeOfDayCode(236), 108);
}

TEST(RangeSelector, ItemsNameTheLargestValueOfEachKind)
{
    EXPECT_EQ(rangeTexts(kindDelay),
              (std::array<std::string_view, 4>{"-> 00:01:00", "-> 00:10:00", "-> 01:00:00", "-> 15:00:00"}));
    EXPECT_EQ(rangeTexts(kindFade),
              (std::array<std::string_view, 4>{"-> 00,060", "-> 00,600", "-> 03,600", "-> 54,000"}));
}

TEST(RangeSelector, ARangeChangeTakesTheNearestMultipleHalvesUpWithinTheRange)
{
    const struct {
        const char* name;
        StepKind kind;
        const char* text;
        int index;
        const char* after;
        int position;
    } cases[] = {
        {"45 min to -> 00:10:00 is the most it holds", kindDelay, "00:45:00", 1, "00:10:00", 60},
        {"45 min to -> 15:00:00 stays 45 min", kindDelay, "00:45:00", 3, "00:45:00", 3},
        {"45 min to -> 01:00:00", kindDelay, "00:45:00", 2, "00:45:00", 45},
        {"61 s to -> 00:01:00 is capped at 60", kindDelay, "00:01:01", 0, "00:01:00", 60},
        {"65 s to -> 00:10:00 rounds half up to 70", kindDelay, "00:01:05", 1, "00:01:10", 7},
        {"64 s to -> 00:10:00 rounds down to 60", kindDelay, "00:01:04", 1, "00:01:00", 6},
        {"7 min 30 s to -> 15:00:00 rounds half up to 15 min", kindDelay, "00:07:30", 3, "00:15:00", 1},
        {"7 min 29 s to -> 15:00:00 rounds to 0", kindDelay, "00:07:29", 3, "0", 0},
        {"a fade of 0,305 s to -> 00,600", kindFade, "00,305", 1, "00,310", 31},
        {"a fade of 36 s to -> 03,600 is capped", kindFade, "36,000", 2, "03,600", 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RangeChange change = changeRange(c.kind, c.text, c.index);
        EXPECT_EQ(change.text, c.after);
        EXPECT_EQ(change.position, c.position);
    }
}

TEST(StepValues, NearestRoundsHalvesToEven)
{
    const struct {
        int x, y, nearest;
    } cases[] = {{10, 5, 2}, {12, 5, 2}, {13, 5, 3}, {25, 10, 2}, {35, 10, 4}, {5, 2, 2}, {7, 2, 4}, {0, 5, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(nearestEven(c.x, c.y), c.nearest) << c.x << "/" << c.y;
}

TEST(StepValues, OnlyAnIntegerLevelIsAUsedStep)
{
    EXPECT_EQ(levelOf("100"), 100);
    EXPECT_EQ(levelOf("0"), 0);
    for (const char* text : {"-", "", "5%", " 5", "x"})
        EXPECT_EQ(levelOf(text), std::nullopt) << text;
}

TEST(StepValues, TagsCarryRowAndKind)
{
    EXPECT_EQ(stepTag(3, kindFade), 51);
    EXPECT_EQ(tagRow(stepTag(10, kindLevel5)), 10);
    EXPECT_EQ(tagKind(stepTag(0, kindDelay)), kindDelay);
    EXPECT_EQ(levelKind(true), kindLevel5);
    EXPECT_EQ(levelKind(false), kindLevel);
    EXPECT_EQ(fadeKind(true), kindFadeRate);
    EXPECT_EQ(fadeKind(false), kindFade);
}

} // namespace
} // namespace ormid
