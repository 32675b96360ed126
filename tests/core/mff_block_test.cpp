// Maintenance factor and burn-in: the editor's field changes, its slider ranges, what
// OK and the block switch write, and the help chart's points.

#include "core/mff_block.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "core/encodings.h"

namespace ormid {
namespace {

using Texts = std::array<std::string, kMffFieldCount>; // lifetime, start, burn-in, stop, L1, L2, L3

// An image with a lifetime of `lifetime` × 500 h and the levels start, L1, L2, L3, stop.
EeBlock imageWithLevels(Byte lifetime, std::array<Byte, 5> levels, Byte burnIn = 0)
{
    EeBlock image = makeDefaultImage();
    image[field::mffLifetime] = lifetime;
    for (std::size_t i = 0; i < levels.size(); ++i)
        image[field::mffStartLevel + i] = levels[i];
    image[field::burnInHours] = burnIn;
    return image;
}

TEST(MffFields, TheDefaultImageOpensWithoutLifetimeAndWithoutLevels)
{
    const MffFields fields = readMff(makeDefaultImage());
    EXPECT_EQ(fields.texts, (Texts{"0", "-", "0", "-", "-", "-", "-"}));
    EXPECT_FALSE(mffLevelsEnabled(fields));
}

TEST(MffFields, AnImageWithALifetimeOpensWithItsLevels)
{
    const MffFields fields = readMff(imageWithLevels(7, {70, 75, 80, 85, 90}, 12));
    EXPECT_EQ(fields.texts, (Texts{"3500", "70", "12", "90", "75", "80", "85"}));
    EXPECT_TRUE(mffLevelsEnabled(fields));
}

TEST(MffSlider, MovesTheFieldsAndRecomputesL1ToL3)
{
    using Steps = std::vector<std::pair<MffTag, int>>;
    const struct {
        const char* name;
        Steps steps; // from the default image
        Texts after;
    } cases[] = {
        {"a first lifetime starts at 80 and ends at 100",
         {{tagLifeTime, 100}},
         {"50000", "80", "0", "100", "85", "90", "95"}},
        {"start 80, stop 90: halves go to the even neighbour",
         {{tagLifeTime, 100}, {tagStopLevel, 90}},
         {"50000", "80", "0", "90", "82", "85", "88"}},
        {"start 81, stop 90",
         {{tagLifeTime, 100}, {tagStopLevel, 90}, {tagReduction, 81}},
         {"50000", "81", "0", "90", "83", "86", "88"}},
        {"L2 moved on its own", {{tagLifeTime, 100}, {tagL2, 93}}, {"50000", "80", "0", "100", "85", "93", "95"}},
        {"a lifetime moved after L2 was edited resets L2",
         {{tagLifeTime, 100}, {tagL2, 93}, {tagLifeTime, 101}},
         {"50500", "80", "0", "100", "85", "90", "95"}},
        {"a second lifetime keeps start and stop",
         {{tagLifeTime, 100}, {tagReduction, 60}, {tagLifeTime, 4}},
         {"2000", "60", "0", "100", "70", "80", "90"}},
        {"lifetime back to 0 blanks the levels",
         {{tagLifeTime, 100}, {tagLifeTime, 0}},
         {"0", "-", "0", "-", "-", "-", "-"}},
        {"burn-in alone", {{tagBurnIn, 50}}, {"0", "-", "50", "-", "-", "-", "-"}},
        {"start equal to stop",
         {{tagLifeTime, 1}, {tagReduction, 100}},
         {"500", "100", "0", "100", "100", "100", "100"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MffFields fields = readMff(makeDefaultImage());
        for (const auto& [tag, position] : c.steps)
            setMffField(fields, tag, position);
        EXPECT_EQ(fields.texts, c.after);
    }
}

TEST(MffSlider, RangesComeFromTheNeighboursAndAreNeverInverted)
{
    const struct {
        const char* name;
        Texts before;
        MffTag tag;
        MffSlider slider;
        Texts after; // a value outside the range is moved into it
    } cases[] = {
        {"lifetime in steps of 500 h",
         {"50000", "80", "0", "100", "85", "90", "95"},
         tagLifeTime,
         {0, 255, 100},
         {"50000", "80", "0", "100", "85", "90", "95"}},
        {"burn-in in hours",
         {"0", "-", "50", "-", "-", "-", "-"},
         tagBurnIn,
         {0, 255, 50},
         {"0", "-", "50", "-", "-", "-", "-"}},
        {"the start level stays below the stop level",
         {"50000", "80", "0", "90", "82", "85", "88"},
         tagReduction,
         {0, 90, 80},
         {"50000", "80", "0", "90", "82", "85", "88"}},
        {"the stop level stays above the start level",
         {"50000", "80", "0", "90", "82", "85", "88"},
         tagStopLevel,
         {80, 100, 90},
         {"50000", "80", "0", "90", "82", "85", "88"}},
        {"L1 between start and L2",
         {"50000", "80", "0", "100", "85", "93", "95"},
         tagL1,
         {80, 93, 85},
         {"50000", "80", "0", "100", "85", "93", "95"}},
        {"L2 between L1 and L3",
         {"50000", "80", "0", "100", "85", "93", "95"},
         tagL2,
         {85, 95, 93},
         {"50000", "80", "0", "100", "85", "93", "95"}},
        {"L3 between L2 and stop",
         {"50000", "80", "0", "100", "85", "93", "95"},
         tagL3,
         {93, 100, 95},
         {"50000", "80", "0", "100", "85", "93", "95"}},
        {"levels out of order from elsewhere: L1 spans its neighbours as they stand",
         {"50000", "95", "0", "90", "97", "90", "90"},
         tagL1,
         {90, 95, 95},
         {"50000", "95", "0", "90", "95", "90", "90"}},
        {"a start above the stop is moved down to it and L1..L3 follow",
         {"50000", "95", "0", "90", "97", "90", "90"},
         tagReduction,
         {0, 90, 90},
         {"50000", "90", "0", "90", "90", "90", "90"}},
        {"an unset start level (255) is brought into range",
         {"500", "255", "0", "100", "0", "0", "0"},
         tagReduction,
         {0, 100, 100},
         {"500", "100", "0", "100", "100", "100", "100"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MffFields fields{c.before};
        const MffSlider slider = openMffField(fields, c.tag);
        EXPECT_EQ(slider.minimum, c.slider.minimum);
        EXPECT_EQ(slider.maximum, c.slider.maximum);
        EXPECT_EQ(slider.position, c.slider.position);
        EXPECT_LE(slider.minimum, slider.maximum);
        EXPECT_EQ(fields.texts, c.after);
    }
}

TEST(MffOk, WritesLifetimeLevelsBurnInAndTheResetRequest)
{
    const struct {
        const char* name;
        EeBlock before;
        Texts fields;
        bool reset;
        std::array<Byte, 7> bytes69to75;
        Byte byte68;
        bool on;
    } cases[] = {
        {"a lifetime with its levels",
         makeDefaultImage(),
         {"50000", "80", "0", "90", "82", "85", "88"},
         false,
         {80, 82, 85, 88, 90, 0, 100},
         0x01,
         true},
        {"lifetime 0 zeroes the levels, and without burn-in the block is off",
         imageWithLevels(100, {80, 85, 90, 95, 100}),
         {"0", "-", "0", "-", "-", "-", "-"},
         false,
         {0, 0, 0, 0, 0, 0, 0},
         0x01,
         false},
        {"burn-in 50 h without a lifetime keeps the block on",
         makeDefaultImage(),
         {"0", "-", "50", "-", "-", "-", "-"},
         false,
         {0, 0, 0, 0, 0, 50, 0},
         0x01,
         true},
        {"the reset request sets bit 3 only",
         makeDefaultImage(),
         {"500", "80", "0", "100", "85", "90", "95"},
         true,
         {80, 85, 90, 95, 100, 0, 1},
         0x09,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = c.before;
        const EeBlock untouched = image;
        applyMff(image, MffFields{c.fields}, c.reset);
        EXPECT_EQ(std::vector<Byte>(image.begin() + 69, image.begin() + 76),
                  std::vector<Byte>(c.bytes69to75.begin(), c.bytes69to75.end()));
        EXPECT_EQ(image[68], c.byte68);
        EXPECT_EQ(mffOn(image), c.on);
        for (std::size_t i = 0; i < image.size(); ++i) {
            if (i == 68 || (i >= 69 && i <= 75))
                continue;
            EXPECT_EQ(image[i], untouched[i]) << "byte " << i;
        }
    }
}

TEST(MffOk, ClearingTheResetRequestKeepsTheOtherBitsOfByte68)
{
    EeBlock image = makeDefaultImage();
    image[68] = 0xFF;
    applyMff(image, readMff(image), false);
    EXPECT_EQ(image[68], 0xF7);
}

TEST(MffSwitch, OffClearsLifetimeBurnInAndTheResetRequestAndKeepsTheLevels)
{
    EeBlock image = imageWithLevels(100, {80, 85, 90, 95, 100}, 50);
    image[68] = 0x39;
    ASSERT_TRUE(mffOn(image));
    switchMffOff(image);
    EXPECT_FALSE(mffOn(image));
    EXPECT_EQ(image[68], 0x31);
    EXPECT_EQ(std::vector<Byte>(image.begin() + 69, image.begin() + 74), (std::vector<Byte>{80, 85, 90, 95, 100}));
    EXPECT_EQ(readMff(image).texts, (Texts{"0", "-", "0", "-", "-", "-", "-"}));
}

TEST(MffChart, JoinsTheFivePointsAndHasNoneWithoutALifetime)
{
    EXPECT_FALSE(mffChartPoints(readMff(makeDefaultImage())).has_value());
    const auto points = mffChartPoints(MffFields{{"50000", "80", "0", "100", "85", "93", "95"}});
    ASSERT_TRUE(points.has_value());
    EXPECT_EQ(*points, (std::array<ChartPoint, 5>{{{49, 126}, {149, 106}, {249, 74}, {349, 66}, {449, 46}}}));
    const auto flat = mffChartPoints(MffFields{{"500", "0", "0", "0", "0", "0", "0"}});
    ASSERT_TRUE(flat.has_value());
    EXPECT_EQ(flat->front(), (ChartPoint{49, 446}));
}

} // namespace
} // namespace ormid
