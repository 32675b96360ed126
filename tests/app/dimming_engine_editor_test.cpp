// The two dimming-engine editors in the window: rows taken into use and deleted with
// the mouse, values moved with the slider strip and the range selector from the
// keyboard, OK and Cancel, and the help pictures.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include <string>
#include <tuple>
#include <vector>

#include "app/window_fixture.h"
#include "core/encodings.h"
#include "core/image.h"

namespace ormid {
namespace {

constexpr const char* kLinesRemoved = "Error: Invalid Times. Lines were removed!";

// An image whose engine 1 has `times` (5-minute counts) at level 50, and whose engine 2
// has `delays` (time codes) at level 50.
EeBlock imageWith(std::vector<int> times, std::vector<Byte> delays = {0})
{
    EeBlock image = makeDefaultImage();
    image[field::outputByte] = SetBit(SetBit(image[field::outputByte], bit::isdEnable), bit::lstEnable);
    for (std::size_t k = 1; k <= field::stepCount; ++k) {
        const bool used1 = k <= times.size();
        image[engine1Step(k)] = used1 ? static_cast<Byte>(times[k - 1]) : 0;
        image[engine1Step(k) + 1] = 0;
        image[engine1Step(k) + 2] = used1 ? 50 : kFreeLevel;
        const bool used2 = k <= delays.size();
        image[engine2Step(k)] = used2 ? delays[k - 1] : 0;
        image[engine2Step(k) + 1] = 0;
        image[engine2Step(k) + 2] = used2 ? 50 : kFreeLevel;
    }
    return image;
}

std::vector<Byte> engineBytes(const EeBlock& image, std::size_t first)
{
    return {image.begin() + static_cast<std::ptrdiff_t>(first),
            image.begin() + static_cast<std::ptrdiff_t>(first + field::stepCount * field::stepSize)};
}

class DimmingEngineEditorTest : public test::WindowOnStick {
protected:
    QString text(const std::string& name) const { return element<QLineEdit>(name.c_str())->text(); }
    bool rowEnabled(const std::string& name) const { return element<QGroupBox>(name.c_str())->isEnabled(); }
    bool checked(const std::string& name) const { return element<QRadioButton>(name.c_str())->isChecked(); }
    bool highlighted(const std::string& name) const
    {
        const QLineEdit* field = element<QLineEdit>(name.c_str());
        return field->palette().color(QPalette::Text) != field->parentWidget()->palette().color(QPalette::Text);
    }
    void pressName(const std::string& name) { press(name.c_str()); }
};

TEST_F(DimmingEngineEditorTest, ClickingTheLevelOfTheFirstFreeRowTakesItIntoUse)
{
    editMemory(imageWith({-24, 60})); // 22:00, 05:00
    press("iISD1_en");
    ASSERT_TRUE(shown("pDimmer1"));
    EXPECT_TRUE(run().formDisabled);
    EXPECT_FALSE(shown("pD1Slider"));
    EXPECT_EQ(text("eD1_Level3"), "-");
    EXPECT_TRUE(rowEnabled("ED1_gb3"));
    EXPECT_FALSE(rowEnabled("ED1_gb4"));
    EXPECT_FALSE(shown("ED1_cbDel3"));

    press("eD1_Level3");
    EXPECT_TRUE(shown("pD1Slider"));
    EXPECT_FALSE(shown("comboD1"));
    EXPECT_EQ(text("eD1_Level3"), "100");
    EXPECT_TRUE(shown("ED1_cbDel3"));
    EXPECT_TRUE(rowEnabled("ED1_gb4")) << "the next row becomes the first free one";
    EXPECT_EQ(text("eD1_Level4"), "-");
    EXPECT_FALSE(rowEnabled("ED1_gb5"));

    press("eD1_Level3");
    EXPECT_EQ(text("eD1_Level3"), "100");
    EXPECT_FALSE(rowEnabled("ED1_gb5")) << "a second click does nothing to the rows below";

    keys("sbD1", Qt::Key_Left, 100);
    EXPECT_EQ(text("eD1_Level3"), "0");
    EXPECT_TRUE(checked("rbD1_Off3")) << "level 0 turns the relay off";
    keys("sbD1", Qt::Key_Right, 20);
    EXPECT_EQ(text("eD1_Level3"), "20");
    EXPECT_TRUE(checked("rbD1_On3"));

    press("eD1_Time3"); // after 05:00 the slider starts at 05:05
    EXPECT_EQ(text("eD1_Time3"), "05:05:00");
    EXPECT_TRUE(highlighted("eD1_Time3"));
    EXPECT_FALSE(highlighted("eD1_Level3")) << "one field at a time";
    keys("sbD1", Qt::Key_Right, 11);
    EXPECT_EQ(text("eD1_Time3"), "06:00:00");

    press("bDimmer1_OK");
    EXPECT_FALSE(shown("pDimmer1"));
    EXPECT_FALSE(run().formDisabled);
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(image()[engine1Step(3)], 72);
    EXPECT_EQ(image()[engine1Step(3) + 2], 20);
    EXPECT_EQ(image()[engine1Step(4) + 2], kFreeLevel);
}

// No time of day follows 09:00: a click on the time after it opens nothing, and the strip
// goes on editing the field it edited, so the slider cannot write the refused field.
TEST_F(DimmingEngineEditorTest, ATimeAfter0900CannotBeOpenedAndTheStripKeepsItsField)
{
    editMemory(imageWith({-24, 108})); // 22:00, 09:00
    press("iISD1_en");
    press("eD1_Level1");
    ASSERT_TRUE(highlighted("eD1_Level1"));
    const QString time3 = text("eD1_Time3");

    press("eD1_Time3");
    EXPECT_FALSE(highlighted("eD1_Time3"));
    EXPECT_TRUE(highlighted("eD1_Level1"));
    EXPECT_TRUE(shown("pD1Slider"));
    keys("sbD1", Qt::Key_Left, 5);
    EXPECT_EQ(text("eD1_Time3"), time3);
    EXPECT_EQ(text("eD1_Level1"), "45");
}

TEST_F(DimmingEngineEditorTest, ARowTakenIntoUseAtMidnightAfter0500IsRemovedWithOneMessage)
{
    editMemory(imageWith({-24, 60}));
    press("iISD1_en");
    press("eD1_Level3");
    press("eD1_Level4");
    press("bDimmer1_OK");
    EXPECT_EQ(dialogs_.messages, std::vector<QString>{kLinesRemoved});
    EXPECT_EQ(engineBytes(image(), field::engine1Steps), engineBytes(imageWith({-24, 60}), field::engine1Steps));
    EXPECT_FALSE(run().formDisabled) << "the message comes after the panel is closed";
}

TEST_F(DimmingEngineEditorTest, DeletingRow3OfFiveFreesRows3To10)
{
    editMemory(imageWith({-36, -24, -12, 0, 12}));
    press("iISD1_en");
    press("eD1_Level2"); // the strip is up; a delete box takes it away
    press("ED1_cbDel3");
    EXPECT_FALSE(shown("pD1Slider"));
    EXPECT_FALSE(element<QCheckBox>("ED1_cbDel3")->isChecked());
    EXPECT_EQ(text("eD1_Level2"), "50");
    EXPECT_TRUE(shown("ED1_cbDel2"));
    EXPECT_EQ(text("eD1_Level3"), "-");
    EXPECT_TRUE(rowEnabled("ED1_gb3"));
    EXPECT_FALSE(shown("ED1_cbDel3"));
    for (int row = 4; row <= 10; ++row) {
        EXPECT_EQ(text("eD1_Level" + std::to_string(row)), "-") << row;
        EXPECT_FALSE(rowEnabled("ED1_gb" + std::to_string(row))) << row;
    }
    press("bDimmer1_OK");
    EXPECT_EQ(engineBytes(image(), field::engine1Steps), engineBytes(imageWith({-36, -24}), field::engine1Steps));
}

// Row 2 of each engine is free but holds a time (engine 1: 05:00) or a delay (engine 2:
// 10 s) and a fade of 100 ms per %.
struct FreeRowCase {
    const char* picture;
    std::size_t firstByte;
    Byte time;
    const char* prefix; // "eD1_" or "eD2_"
    const char* first;  // "Time" or "Delay"
    const char* shownTime;
    const char* on;
    const char* off;
    const char* ok;
};
constexpr FreeRowCase kFreeRowCases[] = {
    {"iISD1_en", field::engine1Steps, 0x3C, "eD1_", "Time", "05:00:00", "rbD1_On", "rbD1_Off", "bDimmer1_OK"},
    {"iISD2_en", field::engine2Steps, 0x0A, "eD2_", "Delay", "00:00:10", "rbD2_On", "rbD2_Off", "bDimmer2OK"},
};

EeBlock withFreeRow2(const FreeRowCase& c)
{
    EeBlock memory = imageWith({-24}, {0});
    memory[c.firstByte + 3] = c.time;
    memory[c.firstByte + 4] = 0x4A;
    return memory;
}

TEST_F(DimmingEngineEditorTest, AFreeRowShowsItsStoredTimeAndFadeAndKeepsThemWhenTakenIntoUse)
{
    for (const FreeRowCase& c : kFreeRowCases) {
        SCOPED_TRACE(c.picture);
        editMemory(withFreeRow2(c));
        const std::string prefix = c.prefix;
        press(c.picture);
        EXPECT_EQ(text(prefix + c.first + "2"), c.shownTime);
        EXPECT_EQ(text(prefix + "Fade2"), "00,100");
        EXPECT_EQ(text(prefix + "Level2"), "-");
        for (const char* relay : {c.on, c.off})
            EXPECT_FALSE(checked(std::string(relay) + "2")) << relay << ": a free row has no relay state";

        pressName(prefix + "Level2");
        EXPECT_EQ(text(prefix + "Level2"), "100");
        EXPECT_EQ(text(prefix + c.first + "2"), c.shownTime);
        EXPECT_TRUE(checked(std::string(c.on) + "2")) << "shown as OK stores it";
        EXPECT_FALSE(checked(std::string(c.off) + "2"));
        press(c.ok);
        EXPECT_TRUE(dialogs_.messages.empty());
        const std::vector<Byte> step2(image().begin() + static_cast<std::ptrdiff_t>(c.firstByte + 3),
                                      image().begin() + static_cast<std::ptrdiff_t>(c.firstByte + 6));
        EXPECT_EQ(step2, (std::vector<Byte>{c.time, 0x4A, 100}));
    }
}

TEST_F(DimmingEngineEditorTest, RowsFreedByADeleteBoxLookLikeFreeRowsOnOpening)
{
    for (const auto& [picture, level, remove, on, off] :
         {std::tuple{"iISD1_en", "eD1_Level", "ED1_cbDel2", "rbD1_On", "rbD1_Off"},
          std::tuple{"iISD2_en", "eD2_Level", "ED2_cbDel2", "rbD2_On", "rbD2_Off"}}) {
        SCOPED_TRACE(picture);
        EeBlock memory = imageWith({-36, -24, -12}, {0, 30, 40});
        memory[engine1Step(2) + 2] = 0x80 | 50; // relay off
        memory[engine2Step(2) + 2] = 0x80 | 50;
        editMemory(memory);
        press(picture);
        ASSERT_TRUE(checked(std::string(off) + "2"));
        press(remove);
        for (int row = 2; row <= 4; ++row) {
            EXPECT_EQ(text(level + std::to_string(row)), "-") << row;
            EXPECT_FALSE(checked(on + std::to_string(row))) << row;
            EXPECT_FALSE(checked(off + std::to_string(row))) << row;
        }
        pressName(level + std::string("2"));
        EXPECT_TRUE(checked(on + std::string("2"))) << "taken into use again: On, as OK stores it";
    }
}

TEST_F(DimmingEngineEditorTest, RowsStayInPlaceWhenTheFirstClickBringsTheDeleteColumnAndTheStrip)
{
    for (const auto& [picture, level, cancel] : {std::tuple{"iISD1_en", "eD1_Level", "bDimmer1_Cancel"},
                                                 std::tuple{"iISD2_en", "eD2_Level", "bDimmer2Cancel"}}) {
        SCOPED_TRACE(picture);
        editMemory(imageWith({-24}, {0})); // one row: no delete box, no "DEL" yet
        press(picture);
        const auto places = [this, levelField = std::string(level)] {
            std::vector<QRect> rects;
            for (int row = 1; row <= 10; ++row) {
                const QWidget* field = element((levelField + std::to_string(row)).c_str());
                rects.emplace_back(field->mapTo(window_.get(), QPoint(0, 0)), field->size());
            }
            return rects;
        };
        const std::vector<QRect> before = places();
        pressName(level + std::string("2"));
        ASSERT_EQ(text(level + std::string("2")), "100");
        EXPECT_EQ(places(), before);
        press(cancel);
    }
}

TEST_F(DimmingEngineEditorTest, CancelLeavesTheImageAndTheNextOpeningShowsItAgain)
{
    editMemory(imageWith({-24, 60}, {0, 30}));
    const EeBlock before = image();
    for (const auto& [picture, level, cancel] : {std::tuple{"iISD1_en", "eD1_Level2", "bDimmer1_Cancel"},
                                                 std::tuple{"iISD2_en", "eD2_Level2", "bDimmer2Cancel"}}) {
        SCOPED_TRACE(picture);
        press(picture);
        press(level);
        keys(std::string(level).starts_with("eD1") ? "sbD1" : "sbD2", Qt::Key_Left, 30);
        EXPECT_EQ(text(level), "20");

        press("iRelay"); // the main panel is locked while a panel is open
        EXPECT_FALSE(shown("pRelay"));

        press(cancel);
        EXPECT_FALSE(run().formDisabled);
        EXPECT_EQ(image(), before);
        press(picture);
        EXPECT_EQ(text(level), "50");
        EXPECT_FALSE(highlighted(level));
        press(cancel);
    }
}

TEST_F(DimmingEngineEditorTest, Engine2RangeSelectorMovesADelayOntoItsGrid)
{
    editMemory(imageWith({-24}, {static_cast<Byte>(encodeTimeCode(2700))})); // 45 minutes
    press("iISD2_en");
    press("eD2_Delay1");
    ASSERT_TRUE(shown("comboD2"));
    const auto* selector = element<QComboBox>("comboD2");
    EXPECT_EQ(selector->currentText(), "-> 01:00:00");
    EXPECT_EQ(element<QSlider>("sbD2")->value(), 45);
    EXPECT_EQ(text("eD2_Delay1"), "00:45:00");

    keys("comboD2", Qt::Key_Up);
    EXPECT_EQ(selector->currentText(), "-> 00:10:00");
    EXPECT_EQ(text("eD2_Delay1"), "00:10:00");
    EXPECT_EQ(element<QSlider>("sbD2")->value(), 60);
    press("bDimmer2Cancel");

    press("iISD2_en");
    press("eD2_Delay1");
    keys("comboD2", Qt::Key_Down);
    EXPECT_EQ(selector->currentText(), "-> 15:00:00");
    EXPECT_EQ(text("eD2_Delay1"), "00:45:00");
    EXPECT_EQ(element<QSlider>("sbD2")->value(), 3);
    keys("sbD2", Qt::Key_End);
    EXPECT_EQ(text("eD2_Delay1"), "15:00:00");
    press("bDimmer2OK");
    EXPECT_EQ(image()[engine2Step(1)], 252);
}

TEST_F(DimmingEngineEditorTest, Engine2ADelayOf61SecondsOpensAtTenSecondSteps)
{
    editMemory(imageWith({-24}, {61}));
    press("iISD2_en");
    press("eD2_Fade1"); // the slider stands elsewhere before the delay opens
    keys("sbD2", Qt::Key_End);
    press("eD2_Delay1");
    EXPECT_EQ(element<QComboBox>("comboD2")->currentText(), "-> 00:10:00");
    EXPECT_EQ(element<QSlider>("sbD2")->value(), 6);
    EXPECT_EQ(text("eD2_Delay1"), "00:01:00");
}

TEST_F(DimmingEngineEditorTest, Engine2AZeroDelayAfterStep1RemovesTheRestWithoutAMessage)
{
    editMemory(imageWith({-24}, {0, 30, 40}));
    press("iISD2_en");
    press("eD2_Delay2");
    keys("sbD2", Qt::Key_Home);
    EXPECT_EQ(text("eD2_Delay2"), "0");
    press("bDimmer2OK");
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(engineBytes(image(), field::engine2Steps), engineBytes(imageWith({}, {0}), field::engine2Steps));
    EXPECT_TRUE(TestBit(image()[field::outputByte], bit::lstEnable)) << "step 1 stays";
}

TEST_F(DimmingEngineEditorTest, OnlyTheRemoteLevelSliderOfEngine2MovesTheRelay)
{
    for (const bool remote : {false, true}) {
        SCOPED_TRACE(remote ? "remote" : "local");
        editMemory(imageWith({-24}, {0}), remote);
        press("iISD2_en");
        press("eD2_Level1");
        keys("sbD2", Qt::Key_Home);
        EXPECT_EQ(text("eD2_Level1"), "0");
        EXPECT_EQ(checked("rbD2_Off1"), remote);
        press("bDimmer2Cancel");
    }
}

TEST_F(DimmingEngineEditorTest, InRemoteModeLevelsMoveInFivesAndFadesOverTheDeviceRates)
{
    EeBlock memory = imageWith({-24});
    memory[field::minLevel] = 12;
    editMemory(memory, true);
    press("iISD1_en");
    press("eD1_Level2"); // a free row: the slider starts at 100 % and the row stays free
    const auto* slider = element<QSlider>("sbD1");
    EXPECT_EQ(slider->minimum(), 2);
    EXPECT_EQ(slider->maximum(), 20);
    EXPECT_EQ(text("eD1_Level2"), "100");
    EXPECT_FALSE(shown("ED1_cbDel2"));
    keys("sbD1", Qt::Key_Left);
    EXPECT_EQ(text("eD1_Level2"), "95");

    press("eD1_Fade1");
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 15);
    EXPECT_FALSE(shown("comboD1"));
    keys("sbD1", Qt::Key_End);
    EXPECT_EQ(text("eD1_Fade1"), "36,000");
}

TEST_F(DimmingEngineEditorTest, HelpPicturesComeWithTheQuestionButtonsAndGoWithAClick)
{
    editMemory(imageWith({-24}));
    for (const auto& [picture, button, panel, target, cancel] :
         {std::tuple{"iISD1_en", "bHelpD1a", "pHelpD1a", "pHelpD1a", "bDimmer1_Cancel"},
          std::tuple{"iISD2_en", "bQuestion", "pHelpD1", "Image2", "bDimmer2Cancel"}}) {
        SCOPED_TRACE(panel);
        press(picture);
        EXPECT_FALSE(shown(panel));
        press(button);
        EXPECT_TRUE(shown(panel));
        press(target);
        EXPECT_FALSE(shown(panel));
        press(cancel);
    }
}

} // namespace
} // namespace ormid
