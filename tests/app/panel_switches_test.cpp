// The switches of the main panel that write at once and open no editor: LST (and
// what it does to the hold timer and engine 2) and the remote input.

#include <gtest/gtest.h>

#include <QCheckBox>

#include "app/editor_fixture.h"
#include "core/encodings.h"
#include "core/image.h"

namespace ormid {
namespace {

class PanelSwitchesTest : public test::EditorOnStick {};

TEST_F(PanelSwitchesTest, LstSwitchKeepsTheHoldTimeWhileOffAndClearsItWhenOnAgain)
{
    EeBlock memory = makeDefaultImage();
    memory[field::holdTime] = 10;
    editMemory(memory);
    EXPECT_EQ(holdBlock(), "iTHold_en/sw_hold_on");
    EXPECT_EQ(element<QLabel>("lHold")->text(), "00:00:10");

    press("SW_lst_close");
    EXPECT_FALSE(TestBit(image()[field::outputByte], bit::lstEnable));
    EXPECT_EQ(image()[field::holdTime], 10);
    EXPECT_EQ(showing({"iLst_en", "iLST_pol", "LST_dis"}), "LST_dis");
    EXPECT_EQ(holdBlock(), "HOLD_dis/SW_hold_dis");
    EXPECT_FALSE(shown("lHold"));
    EXPECT_EQ(showing({"iISD2_en", "dm2_dis"}), "dm2_dis");

    press("sw_lst_open");
    EXPECT_TRUE(TestBit(image()[field::outputByte], bit::lstEnable));
    EXPECT_EQ(image()[field::holdTime], 0);
    EXPECT_EQ(holdBlock(), "HOLD_dis/sw_hold_off");
    EXPECT_EQ(showing({"iISD2_en", "dm2_dis"}), "iISD2_en");

    const Byte before = image()[field::outputByte];
    press("iLst_en");
    EXPECT_EQ(image()[field::outputByte], before | 0x10);
    EXPECT_EQ(showing({"iLst_en", "iLST_pol", "LST_dis"}), "iLST_pol");
    EXPECT_FALSE(run().formDisabled) << "the picture opens no panel";
    press("iLST_pol");
    EXPECT_EQ(image()[field::outputByte], before);
    EXPECT_EQ(showing({"iLst_en", "iLST_pol", "LST_dis"}), "iLst_en");
}

TEST_F(PanelSwitchesTest, RemoteLayoutLstOffUnticksAndDisablesTheEngine2TxBox)
{
    EeBlock memory = makeDefaultImage();
    memory[field::holdTime] = 10;
    editMemory(memory, true);
    ASSERT_TRUE(run().remoteMode);
    auto* tx = element<QCheckBox>("cbTXLstEngine");
    press("cbTXLstEngine");
    ASSERT_TRUE(tx->isChecked());

    const Byte before = image()[field::outputByte];
    press("Lst_en_r1");
    EXPECT_EQ(image()[field::outputByte], before) << "no polarity in the remote layout";

    press("SW_lst_close");
    EXPECT_FALSE(TestBit(image()[field::outputByte], bit::lstEnable));
    EXPECT_FALSE(tx->isChecked());
    EXPECT_FALSE(tx->isEnabled());
    EXPECT_EQ(showing({"Lst_en_r1", "LST_dis_r1"}), "LST_dis_r1");
    EXPECT_EQ(showing({"iISD2_en", "dm2_dis"}), "dm2_dis");

    press("sw_lst_open");
    EXPECT_TRUE(TestBit(image()[field::outputByte], bit::lstEnable));
    EXPECT_TRUE(tx->isEnabled());
    EXPECT_FALSE(tx->isChecked());
    EXPECT_EQ(image()[field::holdTime], 10) << "the remote layout has no hold timer to switch off";
}

TEST_F(PanelSwitchesTest, RemoteSwitchCyclesTheInputsAndLeavesTheRemoteFunction)
{
    EeBlock memory = makeDefaultImage();
    memory[field::optionByte] = 0x31;
    editMemory(memory);
    EXPECT_EQ(showing({"rc_off", "rc_main", "rc_lst"}) + "/" + showing({"iRemote_en", "rem_dis"}), "rc_off/rem_dis");
    const struct {
        const char* press;
        const char* shows;
        Byte bits; // byte 0 bits 5 and 6
    } clicks[] = {
        {"rc_off", "rc_main/iRemote_en", 0x20},
        {"rc_main", "rc_lst/iRemote_en", 0x40},
        {"rc_lst", "rc_off/rem_dis", 0x00},
    };
    const Byte others = image()[field::outputByte] & 0x9F;
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.press);
        press(click.press);
        EXPECT_EQ(showing({"rc_off", "rc_main", "rc_lst"}) + "/" + showing({"iRemote_en", "rem_dis"}), click.shows);
        EXPECT_EQ(image()[field::outputByte], others | click.bits);
        EXPECT_EQ(image()[field::optionByte], 0x31);
    }
    press("rc_off");
    const EeBlock before = image();
    press("iRemote_en");
    EXPECT_FALSE(run().formDisabled) << "the picture opens nothing";
    EXPECT_EQ(image(), before);
}

} // namespace
} // namespace ormid
