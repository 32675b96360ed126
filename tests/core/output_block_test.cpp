// The control output's image rules: the selector cycle and the Output Setup OK.

#include "core/output_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ormid {
namespace {

// Byte 0 bits 0 and 1, and byte 68 bit 2, as "b0 b1 / pol".
std::string outputBits(const EeBlock& image)
{
    return std::to_string(image[0] & 1) + std::to_string((image[0] >> 1) & 1) + "/"
        + std::to_string((image[68] >> 2) & 1);
}

TEST(OutputSelector, StepsDaliThen1To10VThenPwmThenDaliAndLeavesTheOtherBits)
{
    EeBlock image = makeDefaultImage(); // 1-10V
    image[0] |= 0xFC;                   // every bit of the other functions set
    image[68] = 0xFF;                   // Store POL on, and the other options of byte 68
    std::vector<std::string> seen;
    for (int click = 0; click < 4; ++click) {
        stepOutputKind(image);
        seen.push_back(outputBits(image));
        EXPECT_EQ(image[0] & 0xFC, 0xFC) << "click " << click;
        EXPECT_EQ(image[68] | 0x04, 0xFF) << "click " << click;
    }
    // PWM, DALI logarithmic with Store POL off, 1-10V, PWM.
    EXPECT_EQ(seen, (std::vector<std::string>{"01/1", "10/0", "00/0", "01/0"}));
}

TEST(OutputSelector, DaliLinearGoesTo1To10V)
{
    EeBlock image = makeDefaultImage();
    image[0] = static_cast<Byte>((image[0] & 0xFC) | 0x03);
    ASSERT_EQ(outputKind(image), OutputKind::daliLinear);
    stepOutputKind(image);
    EXPECT_EQ(outputKind(image), OutputKind::analog);
}

TEST(OutputSetup, OkWritesTheLevelAndTheDaliOptionsOfTheKind)
{
    const struct {
        const char* name;
        Byte kindBits; // byte 0 bits 0 and 1 before
        Byte option;   // byte 68 before
        OutputSetup setup;
        Byte byte0Bits; // after
        Byte option68;  // after
    } cases[] = {
        {"DALI, Logarithmic unticked: linear", 0x01, 0x00, {35, false, false}, 0x03, 0x00},
        {"DALI linear, Logarithmic ticked: logarithmic", 0x03, 0x00, {35, true, false}, 0x01, 0x00},
        {"DALI, Store POL ticked", 0x01, 0x01, {35, true, true}, 0x01, 0x05},
        {"DALI, Store POL unticked", 0x01, 0x05, {35, true, false}, 0x01, 0x01},
        {"1-10V clears Store POL", 0x00, 0x05, {35, false, true}, 0x00, 0x01},
        {"PWM clears Store POL, keeps its kind", 0x02, 0x04, {35, true, true}, 0x02, 0x00},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = makeDefaultImage();
        image[0] = static_cast<Byte>(0xF0 | c.kindBits);
        image[68] = c.option;
        applyOutputSetup(image, c.setup);
        EXPECT_EQ(image[0], 0xF0 | c.byte0Bits);
        EXPECT_EQ(image[68], c.option68);
        EXPECT_EQ(image[2], 35);
    }
}

TEST(OutputSetup, ReadsWhatOkWrites)
{
    EeBlock image = makeDefaultImage();
    image[0] = 0x03;
    image[2] = 120; // a level above 100 stays as stored until the slider takes it
    image[68] = 0x04;
    const OutputSetup setup = readOutputSetup(image);
    EXPECT_EQ(setup.minLevel, 120);
    EXPECT_FALSE(setup.logarithmic);
    EXPECT_TRUE(setup.storePol);
    EeBlock again = image;
    applyOutputSetup(again, setup);
    EXPECT_EQ(again, image);
}

} // namespace
} // namespace ormid
