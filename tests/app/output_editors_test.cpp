// The editors of the output functions in the window: control output (its panel and
// its selector) and relay. Opened, changed and confirmed with the mouse and the
// keyboard, as a user does.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include <string>
#include <vector>

#include "app/window_fixture.h"
#include "core/image.h"

namespace ormid {
namespace {

class OutputEditorsTest : public test::WindowOnStick {
protected:
    // A memory stick whose M1 holds `image`, with M1 chosen: the panel is unlocked.
    void editMemory(const EeBlock& memory)
    {
        start(test::memoryStick().withMemory(1, memory, "Lamp"), {"-skipFW"});
        press("bM1");
        ASSERT_FALSE(run().formDisabled);
    }
    void editDefault() { editMemory(makeDefaultImage()); }

    QString text(const char* name) const { return element<QLineEdit>(name)->text(); }
    QString labelText(const char* name) const { return element<QLabel>(name)->text(); }
    // The minimum level's slider, moved with the keyboard.
    void slideMinLevel(Qt::Key key, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(element<QSlider>("sbMinLevel"), key);
    }
};

TEST_F(OutputEditorsTest, OutputSetupOpensFromThePictureOrTheLabelAndOkStoresTheMinimumLevel)
{
    for (const char* opener : {"iTen", "lMinLevel"}) {
        SCOPED_TRACE(opener);
        editDefault();
        press(opener);
        ASSERT_TRUE(shown("pOutput"));
        EXPECT_TRUE(run().formDisabled);
        EXPECT_EQ(text("eMinLevel"), "0");
        EXPECT_FALSE(shown("pMinLevel")) << "the slider strip comes with a click on the field";
        EXPECT_FALSE(shown("cbDaliLog"));
        EXPECT_FALSE(shown("cbStorePOL"));
        EXPECT_FALSE(shown("cbDC")) << "no dimming curves are offered";
        EXPECT_FALSE(shown("bDC"));

        press("eMinLevel");
        ASSERT_TRUE(shown("pMinLevel"));
        slideMinLevel(Qt::Key_Right, 12);
        EXPECT_EQ(text("eMinLevel"), "12");
        press("bOutput_OK");

        EXPECT_EQ(image()[field::minLevel], 12);
        EXPECT_EQ(labelText("lMinLevel"), "Min. Level=12%");
        EXPECT_FALSE(shown("pOutput"));
        EXPECT_FALSE(run().formDisabled);
    }
}

TEST_F(OutputEditorsTest, AStoredLevelAbove100OpensAsStoredAndTheSliderMakesIt100)
{
    EeBlock memory = makeDefaultImage();
    memory[field::minLevel] = 120;
    editMemory(memory);
    press("lMinLevel");
    EXPECT_EQ(text("eMinLevel"), "120");
    press("eMinLevel");
    EXPECT_EQ(text("eMinLevel"), "100");
    EXPECT_EQ(element<QSlider>("sbMinLevel")->value(), 100);
    press("bOutput_OK");
    EXPECT_EQ(image()[field::minLevel], 100);
}

// The options of a DALI output, and "Store POL" cleared for the other kinds by OK only.
TEST_F(OutputEditorsTest, OkWritesTheDaliOptionsAndCancelWritesNothing)
{
    const struct {
        const char* name;
        Byte kind;   // byte 0 bits 0 and 1
        Byte option; // byte 68
        const char* opener;
        std::vector<const char*> untick;
        bool ok;
        Byte kindAfter;
        Byte optionAfter;
    } cases[] = {
        {"DALI, Logarithmic unticked, OK: linear", 0x01, 0x01, "Dali", {"cbDaliLog"}, true, 0x03, 0x01},
        {"DALI, Store POL unticked, OK", 0x01, 0x05, "Dali", {"cbStorePOL"}, true, 0x01, 0x01},
        {"DALI, both unticked, Cancel", 0x01, 0x05, "Dali", {"cbDaliLog", "cbStorePOL"}, false, 0x01, 0x05},
        {"1-10V with Store POL set, OK clears it", 0x00, 0x05, "iTen", {}, true, 0x00, 0x01},
        {"1-10V with Store POL set, Cancel keeps it", 0x00, 0x05, "iTen", {}, false, 0x00, 0x05},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock memory = makeDefaultImage();
        memory[0] = static_cast<Byte>((memory[0] & 0xFC) | c.kind);
        memory[68] = c.option;
        editMemory(memory);
        const EeBlock before = image();
        press(c.opener);
        EXPECT_EQ(shown("cbDaliLog"), (c.kind & 1) != 0);
        EXPECT_EQ(shown("cbStorePOL"), (c.kind & 1) != 0);
        for (const char* box : c.untick)
            press(box);
        press("eMinLevel");
        slideMinLevel(Qt::Key_End);
        press(c.ok ? "bOutput_OK" : "bOutput_Cancel");

        EXPECT_EQ(image()[0] & 0x03, c.kindAfter);
        EXPECT_EQ(image()[0] & 0xFC, before[0] & 0xFC) << "the other functions' bits stay";
        EXPECT_EQ(image()[68], c.optionAfter);
        EXPECT_EQ(image()[field::minLevel], c.ok ? 100 : before[field::minLevel]);
        EXPECT_FALSE(shown("pOutput"));
        EXPECT_FALSE(shown("pMinLevel")) << "the strip goes with the panel";
        EXPECT_FALSE(run().formDisabled);
    }
}

TEST_F(OutputEditorsTest, TheSelectorStepsTheKindAndWritesAtOnce)
{
    EeBlock memory = makeDefaultImage();
    memory[68] |= 0x04; // Store POL on
    editMemory(memory);
    const struct {
        const char* click; // the selector position on screen
        const char* picture;
        Byte kind;
        bool storePol;
    } steps[] = {
        {"SW_Ten", "PWM", 0x02, true},
        {"SW_PWM", "Dali", 0x01, false},
        {"SW_DALI", "iTen", 0x00, false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.click);
        press(step.click);
        EXPECT_EQ(image()[0] & 0x03, step.kind);
        EXPECT_EQ((image()[68] & 0x04) != 0, step.storePol);
        for (const char* picture : {"iTen", "Dali", "PWM"})
            EXPECT_EQ(shown(picture), std::string(picture) == step.picture) << picture;
        EXPECT_FALSE(run().formDisabled) << "no panel is involved";
    }
}

// While a panel is open, every other block ignores the user.
TEST_F(OutputEditorsTest, AnOpenPanelLocksTheOtherBlocks)
{
    editDefault();
    press("iRelay");
    ASSERT_TRUE(shown("pRelay"));
    const EeBlock before = image();
    for (const char* other : {"iTen", "lMinLevel", "SW_Ten"})
        QTest::mouseClick(element(other), Qt::LeftButton); // under or beside the open panel
    EXPECT_FALSE(shown("pOutput"));
    EXPECT_EQ(image(), before);
    press("bRelay_Cancel");

    press("iTen");
    ASSERT_TRUE(shown("pOutput"));
    QTest::mouseClick(element("iRelay"), Qt::LeftButton);
    EXPECT_FALSE(shown("pRelay"));
    press("bOutput_Cancel");
    press("iRelay");
    EXPECT_TRUE(shown("pRelay")) << "unlocked again";
}

TEST_F(OutputEditorsTest, PanelsOpenAtTheirOwnBlocksOverDimmedBlocksThatClicksStillReach)
{
    const auto inWindow = [this](const char* name) {
        const QWidget* widget = element(name);
        return QRect(widget->mapTo(window_.get(), QPoint(0, 0)), widget->size());
    };
    const struct {
        const char* open;
        const char* panel;
        std::vector<const char*> elsewhere; // pictures of other blocks the panel leaves free
        const char* cancel;
    } panels[] = {
        {"iTen", "pOutput", {"iTDpc_en", "iTBlock_en", "iISD_en", "iISD1_en", "iMFF_en", "iTM"}, "bOutput_Cancel"},
        {"iRelay", "pRelay", {"iTM", "iTen", "iRemote_en"}, "bRelay_Cancel"},
    };
    editDefault();
    for (const auto& panel : panels) {
        SCOPED_TRACE(panel.panel);
        EXPECT_FALSE(shown("pLockShade"));
        press(panel.open);
        ASSERT_TRUE(shown(panel.panel));
        const QRect placed = inWindow(panel.panel);
        const QWidget* tile = element(panel.open)->parentWidget();
        EXPECT_TRUE(QRect(tile->mapTo(window_.get(), QPoint(0, 0)), tile->size()).contains(placed.topLeft()))
            << "the panel opens at its own block";
        for (const char* other : panel.elsewhere)
            EXPECT_FALSE(placed.intersects(inWindow(other))) << other;

        ASSERT_TRUE(shown("pLockShade"));
        for (const char* other : panel.elsewhere) {
            const QRect block = inWindow(other);
            EXPECT_TRUE(inWindow("pLockShade").contains(block)) << other << " is dimmed";
            EXPECT_NE(window_->childAt(block.center()), element("pLockShade"))
                << "a click on " << other << " goes to the block as before";
        }
        EXPECT_FALSE(inWindow("pLockShade").intersects(inWindow("bM1"))) << "the action bar stays bright";
        press(panel.cancel);
        EXPECT_FALSE(shown("pLockShade"));
    }
}

TEST_F(OutputEditorsTest, TheRelayPanelWritesBit0OfByte88Only)
{
    EeBlock memory = makeDefaultImage();
    memory[field::relayByte] = 0x03;
    editMemory(memory);
    press("iRelay");
    ASSERT_TRUE(shown("pRelay"));
    EXPECT_TRUE(run().formDisabled);
    EXPECT_TRUE(element<QCheckBox>("cbZCSwitch")->isChecked());
    press("cbZCSwitch");
    press("bRelay_Cancel");
    EXPECT_EQ(image()[field::relayByte], 0x03) << "Cancel writes nothing";
    EXPECT_FALSE(run().formDisabled);

    press("iRelay");
    EXPECT_TRUE(element<QCheckBox>("cbZCSwitch")->isChecked()) << "it shows what is stored";
    press("cbZCSwitch");
    press("bRelay_OK");
    EXPECT_EQ(image()[field::relayByte], 0x02);
    EXPECT_FALSE(shown("pRelay"));
    EXPECT_FALSE(run().formDisabled);
}

} // namespace
} // namespace ormid
