// The power-on editor in the window: delay, fade and level through the slider strip,
// the random delay and DPC, in the standard and the remote layout.

#include <gtest/gtest.h>

#include <QSlider>
#include <QTest>

#include <utility>

#include "app/editor_fixture.h"
#include "core/encodings.h"
#include "core/image.h"

namespace ormid {
namespace {

class PowerOnEditorTest : public test::EditorOnStick {};

TEST_F(PowerOnEditorTest, PowerOnRandomWritesAtOnceAndOkStoresTheDelayWithDpc)
{
    editMemory(makeDefaultImage());
    press("lPO_Delay");
    ASSERT_TRUE(shown("pStartupDelay"));
    EXPECT_TRUE(ticked("cbRandom"));
    EXPECT_EQ(text("ePORelayDelay"), "Random");
    EXPECT_FALSE(enabled("ePORelayDelay"));
    EXPECT_TRUE(enabled("cbEnableDPC"));
    EXPECT_FALSE(ticked("cbEnableDPC"));

    press("cbRandom");
    EXPECT_EQ(image()[field::powerOnDelay], 0) << "unticking writes at once";
    EXPECT_EQ(text("ePORelayDelay"), "0");
    EXPECT_FALSE(enabled("cbEnableDPC"));
    press("bDPC_Cancel");
    EXPECT_EQ(image()[field::powerOnDelay], 0) << "Cancel does not undo it";
    EXPECT_EQ(label("lPO_Delay"), "D=0");

    press("iTDpc_en");
    press("ePORelayDelay");
    ASSERT_TRUE(shown("pPOSlider"));
    keys("combRange", Qt::Key_Down); // -> 00:10:00
    keys("sbPU", Qt::Key_Right, 9);
    EXPECT_EQ(text("ePORelayDelay"), "00:01:30");
    EXPECT_TRUE(enabled("cbEnableDPC")) << "a delay offers DPC again";
    EXPECT_FALSE(ticked("cbEnableDPC"));
    press("cbEnableDPC");
    press("bDPC_OK");
    EXPECT_EQ(image()[field::powerOnDelay], encodeTimeCode(90));
    EXPECT_TRUE(TestBit(image()[field::optionByte], bit::dpcEnable));
    EXPECT_EQ(label("lPO_Delay"), "D=00:01:30");

    press("lPO_Level");
    EXPECT_TRUE(ticked("cbEnableDPC"));
    press("ePORelayDelay");
    keys("sbPU", Qt::Key_Home);
    EXPECT_EQ(text("ePORelayDelay"), "0");
    EXPECT_FALSE(enabled("cbEnableDPC"));
    EXPECT_FALSE(ticked("cbEnableDPC")) << "no delay, no DPC";
    press("bDPC_Cancel");
}

TEST_F(PowerOnEditorTest, PowerOnLevelStartsAtTheMinimumAndRemoteModeUsesTheDeviceGrid)
{
    EeBlock memory = makeDefaultImage();
    memory[field::minLevel] = 30;
    memory[field::powerOnLevel] = 20;
    editMemory(memory);
    press("iTDpc_en");
    press("ePOLevel");
    EXPECT_EQ(text("ePOLevel"), "30");
    press("bDPC_OK");
    EXPECT_EQ(image()[field::powerOnLevel], 30);

    editMemory(makeDefaultImage(), true);
    press("iTDpc_en");
    EXPECT_FALSE(shown("cbEnableDPC")) << "no DPC/DOO in the remote layout";
    press("ePOFade");
    EXPECT_EQ(element<QSlider>("sbPU")->maximum(), 15);
    keys("sbPU", Qt::Key_End);
    EXPECT_EQ(text("ePOFade"), "36,000");
    press("ePOLevel");
    keys("sbPU", Qt::Key_Left);
    EXPECT_EQ(text("ePOLevel"), "95");
    press("bDPC_OK");
    EXPECT_EQ(image()[field::powerOnFade], 0xE8);
    EXPECT_EQ(image()[field::powerOnLevel], 95);
}

TEST_F(PowerOnEditorTest, ThePowerOnPanelOfTheRemoteLayoutHasNoRoomLeftForTheHiddenDpcGroup)
{
    // The gap between the last field and the OK row.
    const auto gap = [this] {
        press("iTDpc_en");
        const QWidget* panel = element("pStartupDelay");
        const int below = element("pPOSlider")->geometry().bottom();
        const int gapToOk = element("bDPC_OK")->mapTo(panel, QPoint(0, 0)).y() - below;
        const int height = panel->height();
        press("bDPC_Cancel");
        return std::pair{gapToOk, height};
    };
    editMemory(makeDefaultImage());
    const auto [standardGap, standardHeight] = gap();
    editMemory(makeDefaultImage(), true);
    ASSERT_FALSE(shown("cbEnableDPC"));
    const auto [remoteGap, remoteHeight] = gap();
    EXPECT_EQ(remoteGap, standardGap);
    EXPECT_LT(remoteHeight, standardHeight);
}

} // namespace
} // namespace ormid
