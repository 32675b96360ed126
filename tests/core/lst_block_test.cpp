// The LSt input's switch and polarity, and the hold timer's switch and OK.

#include "core/lst_block.h"

#include <gtest/gtest.h>

#include <string>

#include "core/encodings.h"
#include "core/step_values.h"

namespace ormid {
namespace {

TEST(LstSwitch, OffKeepsTheHoldTimeAndOnStartsWithTheHoldTimerOffInTheStandardLayout)
{
    const struct {
        const char* name;
        void (*click)(EeBlock&);
        Byte byte0;
        Byte byte6;
        Byte byte0After;
        Byte byte6After;
    } cases[] = {
        {"standard, on → off", switchLstInput, 0xFF, 10, 0xF7, 10},
        {"standard, off → on", switchLstInput, 0xF7, 10, 0xFF, 0},
        {"standard, default off → on", switchLstInput, 0x04, 0, 0x0C, 0},
        {"remote, on → off", switchLstInputRemote, 0x0C, 10, 0x04, 10},
        {"remote, off → on keeps the hold time", switchLstInputRemote, 0x04, 10, 0x0C, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = makeDefaultImage();
        image[field::outputByte] = c.byte0;
        image[field::holdTime] = c.byte6;
        c.click(image);
        EXPECT_EQ(image[field::outputByte], c.byte0After);
        EXPECT_EQ(image[field::holdTime], c.byte6After);
    }
}

TEST(LstPolarity, EachClickTogglesBit4Only)
{
    EeBlock image = makeDefaultImage();
    image[field::outputByte] = 0xEF;
    toggleLstPolarity(image);
    EXPECT_EQ(image[field::outputByte], 0xFF);
    toggleLstPolarity(image);
    EXPECT_EQ(image[field::outputByte], 0xEF);
}

TEST(HoldTimer, OkStoresTheTimeCodeOfTheFieldAndZeroTurnsItOff)
{
    const struct {
        const char* name;
        std::string text;
        Byte byte6;
        bool on;
        std::string shown;
    } cases[] = {
        {"90 s", "00:01:30", static_cast<Byte>(encodeTimeCode(90)), true, "00:01:30"},
        {"\"0\"", "0", 0, false, "0"},
        {"the longest the slider gives", "15:00:00", static_cast<Byte>(encodeTimeCode(54000)), true, "15:00:00"},
        {"10 s", "00:00:10", 10, true, "00:00:10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = makeDefaultImage();
        image[field::holdTime] = 33;
        applyHoldTime(image, c.text);
        EXPECT_EQ(image[field::holdTime], c.byte6);
        EXPECT_EQ(holdOn(image), c.on);
        EXPECT_EQ(holdTimeText(image), c.shown);
    }
}

TEST(HoldTimer, RangeTenMinutesAtPosition9Stores90Seconds)
{
    // The hold selector's second item, through the step editor's arithmetic.
    ASSERT_EQ(kHoldRangeTexts[1], "->00:10:00");
    const auto text = sliderText(kindDelay, 9, 1);
    ASSERT_TRUE(text.has_value());
    EeBlock image = makeDefaultImage();
    applyHoldTime(image, *text);
    EXPECT_EQ(image[field::holdTime], encodeTimeCode(90));
    EXPECT_EQ(holdTimeText(image), "00:01:30");
}

TEST(HoldTimer, TheSwitchTurnsItOff)
{
    EeBlock image = makeDefaultImage();
    image[field::holdTime] = 10;
    switchHoldOff(image);
    EXPECT_FALSE(holdOn(image));
    EXPECT_EQ(holdTimeText(image), "0");
}

} // namespace
} // namespace ormid
