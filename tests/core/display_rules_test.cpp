// What a redraw writes into the image: functions without a first engine step are off,
// and the remote layout's normalisation.

#include "core/display_rules.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace ormid {
namespace {

using Writes = std::vector<std::pair<std::size_t, Byte>>;

TEST(DisplayRules, AFunctionWithoutAFirstEngineStepIsOff)
{
    const struct {
        const char* name;
        Writes writes;
        Byte byte0; // after, starting from 0xFF
    } cases[] = {
        {"both engines used", {}, 0xFF},
        {"engine 2 step 1 free: LSt off", {{10, 0xFF}}, 0xF7},
        {"engine 1 step 1 free: ISD off", {{40, 0xFF}}, 0xFB},
        {"both free", {{10, 0xFF}, {40, 0xFF}}, 0xF3},
    };
    for (const bool remote : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.name << (remote ? ", remote layout" : ""));
            EeBlock image = makeDefaultImage();
            image[0] = 0xFF;
            for (const auto& [at, value] : c.writes)
                image[at] = value;
            applyDisplayRules(image, remote);
            EXPECT_EQ(image[0], c.byte0);
        }
    }
}

TEST(DisplayRules, TheRemoteLayoutBringsLevelsAndFadesIntoTheFormOfRemoteFrames)
{
    EeBlock image = makeDefaultImage();
    image[3] = 52;    // power-on level
    image[5] = 51;    // power-on fade: 51 ms
    image[9] = 70;    // engine 2 step 1 fade: 60 ms
    image[10] = 0x8D; // engine 2 step 1 level: relay off, 13 %
    image[43] = 0xFF; // engine 1 step 2 level free
    EeBlock standard = image;
    applyDisplayRules(standard, false);
    EXPECT_EQ(standard, image) << "the standard layout touches no level or fade";

    applyDisplayRules(image, true);
    EXPECT_EQ(image[3], 50);
    EXPECT_EQ(image[5], 0x4A);
    EXPECT_EQ(image[9], 0x4A);
    EXPECT_EQ(image[10], 0x8F);
    EXPECT_EQ(image[43], 0xFF);
}

TEST(DisplayRules, TheRemoteFormKeepsWhatFramesDoNotCarry)
{
    EeBlock image = makeDefaultImage();
    for (const auto& [at, value] : Writes{{2, 52}, {13, 0xFF}, {41, 0x3C}, {42, 0x99}, {43, 100 | 0x80}})
        image[at] = value;
    applyDisplayRules(image, true);
    EXPECT_EQ(image[2], 52) << "the minimum level is not part of a remote frame";
    EXPECT_EQ(image[13], 0xFF) << "a free step stays free";
    EXPECT_EQ(image[41], 0x3C) << "a switching time is not a fade";
    EXPECT_EQ(image[42], 0x94) << "engine-1 step 2 fade 1500 ms lies on a midpoint and goes down to 1200 ms";
    EXPECT_EQ(image[43], 100 | 0x80) << "the relay bit of a level is kept";
}

TEST(DisplayRules, TheDefaultImageIsAlreadySettledInBothLayouts)
{
    for (const bool remote : {false, true}) {
        EeBlock image = makeDefaultImage();
        applyDisplayRules(image, remote);
        EXPECT_EQ(image, makeDefaultImage()) << (remote ? "remote" : "standard");
    }
}

TEST(DisplayRules, AShortImageIsLeftAlone)
{
    EeBlock image(10, 0xFF);
    applyDisplayRules(image, true);
    EXPECT_EQ(image, EeBlock(10, 0xFF));
}

} // namespace
} // namespace ormid
