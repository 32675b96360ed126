// Power-on, block timer and thermal management in the window: switches and fields
// clicked with the mouse, sliders and range selectors moved from the keyboard.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include <vector>

#include "app/window_fixture.h"
#include "core/encodings.h"
#include "core/image.h"

namespace ormid {
namespace {

class OutputProtectionTest : public test::WindowOnStick {
protected:
    void editMemory(const EeBlock& memory, bool remote = false)
    {
        start(test::memoryStick(remote).withMemory(1, memory, "Lamp"), {"-skipFW"});
        press("bM1");
        ASSERT_FALSE(run().formDisabled);
    }
    QString text(const char* name) const { return element<QLineEdit>(name)->text(); }
    QString label(const char* name) const { return element<QLabel>(name)->text(); }
    bool ticked(const char* name) const { return element<QCheckBox>(name)->isChecked(); }
    bool enabled(const char* name) const { return element<QWidget>(name)->isEnabled(); }
    void keys(const char* name, Qt::Key key, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(element<QWidget>(name), key);
    }
};

TEST_F(OutputProtectionTest, PowerOnRandomWritesAtOnceAndOkStoresTheDelayWithDpc)
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
    EXPECT_EQ(image()[field::powerOnDelay], convertTime(90));
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

TEST_F(OutputProtectionTest, PowerOnLevelStartsAtTheMinimumAndRemoteModeUsesTheDeviceGrid)
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

TEST_F(OutputProtectionTest, BlockTimerSwitchesOnThroughItsPanelAndOffAtOnce)
{
    editMemory(makeDefaultImage());
    press("sw_block_open");
    ASSERT_TRUE(shown("pBlockTime"));
    press("bTBlockCancel");
    EXPECT_EQ(image()[field::blockTime], 0);
    EXPECT_TRUE(shown("sw_block_open")) << "cancelled, the block is off again";
    EXPECT_FALSE(shown("lBlock"));

    press("sw_block_open");
    press("eBlockTime");
    keys("sbBlockTime", Qt::Key_End);
    EXPECT_EQ(text("eBlockTime"), "00:21:15");
    keys("sbBlockTime", Qt::Key_Home);
    keys("sbBlockTime", Qt::Key_Right, 12);
    EXPECT_EQ(text("eBlockTime"), "00:01:00");
    press("bTBlockOK");
    EXPECT_EQ(image()[field::blockTime], 12);
    EXPECT_TRUE(shown("lBlock"));
    EXPECT_EQ(label("lBlock"), "00:01:00");

    press("SW_block_close");
    EXPECT_EQ(image()[field::blockTime], 0);
    EXPECT_FALSE(shown("lBlock"));
    EXPECT_FALSE(shown("pBlockTime"));
}

TEST_F(OutputProtectionTest, ThermalThresholdsThroughTheSliderAndTheSwitchKeepsThem)
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

TEST_F(OutputProtectionTest, ThermalOkLowersThresholdsLeftAboveAMovedT1AndSaysSoOnce)
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

// Where each of the panel's fields is in the window.
std::vector<QRect> placesOf(const QWidget& window, const std::vector<QWidget*>& fields)
{
    std::vector<QRect> rects;
    for (const QWidget* field : fields)
        rects.emplace_back(field->mapTo(&window, QPoint(0, 0)), field->size());
    return rects;
}

TEST_F(OutputProtectionTest, FieldsKeepTheirSizeAndPlaceWhenTheSliderStripComes)
{
    const struct {
        const char* open;
        std::vector<const char*> fields;
        const char* clicked;
        const char* strip;
        const char* cancel;
    } panels[] = {
        {"iTDpc_en", {"ePORelayDelay", "ePOFade", "ePOLevel", "cbEnableDPC"}, "ePOLevel", "pPOSlider", "bDPC_Cancel"},
        {"sw_mff_off",
         {"eLifeTime", "eReduction", "eL3", "eBurnIn", "cbresetOH"},
         "eLifeTime",
         "pMFFSlider",
         "bMFFCancel"},
        {"sw_tm_off", {"eOutput_T1", "eOutput_L3", "cbOutput_Off"}, "eOutput_T1", "pThermo", "bTMCancel"},
        {"sw_block_open", {"eBlockTime"}, "eBlockTime", "pBTSlider", "bTBlockCancel"},
    };
    editMemory(makeDefaultImage());
    for (const auto& panel : panels) {
        SCOPED_TRACE(panel.open);
        press(panel.open);
        std::vector<QWidget*> fields;
        for (const char* name : panel.fields)
            fields.push_back(element(name));
        const std::vector<QRect> before = placesOf(*window_, fields);
        press(panel.clicked);
        ASSERT_TRUE(shown(panel.strip));
        EXPECT_EQ(placesOf(*window_, fields), before);
        for (const QWidget* field : fields)
            EXPECT_GE(field->height(), field->sizeHint().height()) << field->objectName().toStdString() << " squashed";
        press(panel.cancel);
    }
}

TEST_F(OutputProtectionTest, ThePowerOnPanelOfTheRemoteLayoutHasNoRoomLeftForTheHiddenDpcGroup)
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
