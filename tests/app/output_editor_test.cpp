// The control-output editor in the window: its panel (the minimum level and the DALI
// options) and its selector, opened, changed and confirmed with the mouse and the
// keyboard, as a user does.

#include <gtest/gtest.h>

#include <QSlider>
#include <QTest>

#include <string>
#include <vector>

#include "app/editor_fixture.h"
#include "core/image.h"

namespace ormid {
namespace {

class OutputEditorTest : public test::EditorOnStick {
protected:
    void editDefault() { editMemory(makeDefaultImage()); }
    // The minimum level's slider, moved with the keyboard.
    void slideMinLevel(Qt::Key key, int times = 1) { keys("sbMinLevel", key, times); }
};

TEST_F(OutputEditorTest, OutputSetupOpensFromThePictureOrTheLabelAndOkStoresTheMinimumLevel)
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
        EXPECT_EQ(label("lMinLevel"), "Min. Level=12%");
        EXPECT_FALSE(shown("pOutput"));
        EXPECT_FALSE(run().formDisabled);
    }
}

TEST_F(OutputEditorTest, AStoredLevelAbove100OpensAsStoredAndTheSliderMakesIt100)
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
TEST_F(OutputEditorTest, OkWritesTheDaliOptionsAndCancelWritesNothing)
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

TEST_F(OutputEditorTest, TheSelectorStepsTheKindAndWritesAtOnce)
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

} // namespace
} // namespace ormid
