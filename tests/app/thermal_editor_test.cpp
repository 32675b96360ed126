// Thermal management in the window: thresholds and levels through the slider strip,
// the switch, and the thresholds OK puts in order.

#include <gtest/gtest.h>

#include <QTest>

#include <vector>

#include "app/editor_fixture.h"
#include "core/encodings.h"
#include "core/image.h"

namespace ormid {
namespace {

class ThermalEditorTest : public test::EditorOnStick {};

TEST_F(ThermalEditorTest, ThermalThresholdsThroughTheSliderAndTheSwitchKeepsThem)
{
    editMemory(makeDefaultImage());
    press("sw_tm_off");
    ASSERT_TRUE(shown("pThermoM"));
    press("eOutput_T2");
    keys("sbThermo", Qt::Key_End);
    EXPECT_EQ(text("eOutput_T2"), "") << "no T2 without T1";
    press("eOutput_T1");
    keys("sbThermo", Qt::Key_End);
    keys("sbThermo", Qt::Key_Left, 15);
    EXPECT_EQ(text("eOutput_T1"), "70");
    press("bTMOk");
    const std::vector<Byte> expected{70, 0, 0, 0, 0, 0, 0xFF};
    EXPECT_EQ(std::vector<Byte>(image().begin() + field::tmT1, image().begin() + field::tmReserved + 1), expected);
    EXPECT_TRUE(TestBit(image()[field::outputByte], bit::tmEnable));

    press("iTM");
    press("eOutput_T2");
    keys("sbThermo", Qt::Key_End);
    EXPECT_EQ(text("eOutput_T2"), "69") << "T2 stops below T1";
    press("eOutput_L1");
    keys("sbThermo", Qt::Key_Right, 40);
    press("cbOutput_Off");
    press("bTMOk");
    EXPECT_EQ(image()[field::tmLevel1], 0xA8);
    EXPECT_EQ(image()[field::tmT2], 69);

    press("sw_tm_on");
    EXPECT_FALSE(TestBit(image()[field::outputByte], bit::tmEnable));
    EXPECT_EQ(image()[field::tmT1], 70) << "switching off keeps the thresholds";
    press("sw_tm_off");
    EXPECT_EQ(text("eOutput_T1"), "70");
    EXPECT_EQ(text("eOutput_L1"), "0");
    EXPECT_TRUE(ticked("cbOutput_Off"));
    press("bTMCancel");
    EXPECT_FALSE(TestBit(image()[field::outputByte], bit::tmEnable)) << "Cancel leaves it off";
    EXPECT_TRUE(shown("sw_tm_off"));
}

TEST_F(ThermalEditorTest, ThermalOkLowersThresholdsLeftAboveAMovedT1AndSaysSoOnce)
{
    editMemory(makeDefaultImage());
    press("sw_tm_off");
    press("eOutput_T1");
    keys("sbThermo", Qt::Key_End);
    keys("sbThermo", Qt::Key_Left, 15);
    for (const char* lower : {"eOutput_T2", "eOutput_T3"}) {
        press(lower);
        keys("sbThermo", Qt::Key_End); // one below the threshold above
    }
    ASSERT_EQ(text("eOutput_T3"), "68");
    press("eOutput_T1");
    keys("sbThermo", Qt::Key_Left, 20);
    ASSERT_EQ(text("eOutput_T1"), "50");
    EXPECT_EQ(text("eOutput_T2"), "69") << "the fields keep what the user set until OK";
    press("bTMOk");
    const std::vector<Byte> expected{50, 0, 49, 0, 48, 0, 0xFF};
    EXPECT_EQ(std::vector<Byte>(image().begin() + field::tmT1, image().begin() + field::tmReserved + 1), expected);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(dialogs_.messages.front().startsWith(QStringLiteral("Error: Invalid Temperatures.")));
    EXPECT_FALSE(run().formDisabled) << "the message comes after the panel is closed";

    press("iTM");
    EXPECT_EQ(text("eOutput_T2"), "49");
    press("bTMOk");
    EXPECT_EQ(dialogs_.messages.size(), 1u) << "thresholds in order need no repair";
}

} // namespace
} // namespace ormid
