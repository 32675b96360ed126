// The MFF editor in the window: switched on, set up and confirmed, switched off, and
// its help chart.

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "app/editor_fixture.h"
#include "core/encodings.h"
#include "core/image.h"
#include "editors/output/mff_chart.h"

namespace ormid {
namespace {

class MffEditorTest : public test::EditorOnStick {
protected:
    std::vector<Byte> bytes(std::size_t first, std::size_t last) const
    {
        return {image().begin() + static_cast<std::ptrdiff_t>(first),
                image().begin() + static_cast<std::ptrdiff_t>(last + 1)};
    }
    std::string mffBlock() const
    {
        return showing({"iMFF_en", "MFF_dis"}) + "/" + showing({"SW_mff_on", "sw_mff_off"});
    }
};

constexpr const char* kLevelFields[] = {"eReduction", "eL1", "eL2", "eL3", "eStopLevel"};

TEST_F(MffEditorTest, MffSwitchedOnSetUpConfirmedAndSwitchedOff)
{
    EeBlock memory = makeDefaultImage();
    memory[field::optionByte] = 0x31;
    editMemory(memory);
    EXPECT_EQ(mffBlock(), "MFF_dis/sw_mff_off");

    press("sw_mff_off");
    ASSERT_TRUE(shown("pMFF"));
    EXPECT_TRUE(run().formDisabled);
    EXPECT_EQ(text("eLifeTime"), "0");
    EXPECT_EQ(text("eBurnIn"), "0");
    for (const char* name : kLevelFields) {
        EXPECT_EQ(text(name), "-") << name;
        EXPECT_FALSE(enabled(name)) << name;
    }
    EXPECT_FALSE(shown("pMFFSlider"));

    press("eLifeTime");
    ASSERT_TRUE(shown("pMFFSlider"));
    keys("sbMFF", Qt::Key_Right, 100);
    EXPECT_EQ(text("eLifeTime"), "50000");
    std::vector<QString> levels;
    for (const char* name : kLevelFields) {
        levels.push_back(text(name));
        EXPECT_TRUE(enabled(name)) << name;
    }
    EXPECT_EQ(levels, (std::vector<QString>{"80", "85", "90", "95", "100"}));

    press("eL2");
    EXPECT_EQ(element<QSlider>("sbMFF")->minimum(), 85);
    EXPECT_EQ(element<QSlider>("sbMFF")->maximum(), 95);
    keys("sbMFF", Qt::Key_Right, 3);
    EXPECT_EQ(text("eL2"), "93");
    press("eLifeTime");
    keys("sbMFF", Qt::Key_Right);
    EXPECT_EQ(text("eLifeTime"), "50500");
    EXPECT_EQ(text("eL2"), "90") << "a new lifetime puts L1..L3 back on the line";

    press("eStopLevel");
    keys("sbMFF", Qt::Key_Left, 10);
    EXPECT_EQ(text("eL1"), "82");
    EXPECT_EQ(text("eL2"), "85");
    EXPECT_EQ(text("eL3"), "88");
    press("eReduction");
    EXPECT_EQ(element<QSlider>("sbMFF")->maximum(), 90) << "the start level stays at or below the stop level";
    keys("sbMFF", Qt::Key_End);
    EXPECT_EQ(text("eReduction"), "90");
    keys("sbMFF", Qt::Key_Left, 9);
    EXPECT_EQ(text("eL1"), "83");
    press("eBurnIn");
    keys("sbMFF", Qt::Key_Right, 12);
    press("cbresetOH");
    press("bMFFOk");
    EXPECT_FALSE(shown("pMFF"));
    EXPECT_FALSE(run().formDisabled);
    EXPECT_EQ(bytes(69, 75), (std::vector<Byte>{81, 83, 86, 88, 90, 12, 101}));
    EXPECT_EQ(image()[field::optionByte], 0x39);
    EXPECT_EQ(mffBlock(), "iMFF_en/SW_mff_on");

    press("iMFF_en");
    EXPECT_TRUE(element<QCheckBox>("cbresetOH")->isChecked()) << "the box keeps its state between openings";
    EXPECT_EQ(text("eL2"), "86");
    press("bMFFCancel");

    press("SW_mff_on");
    EXPECT_EQ(bytes(69, 75), (std::vector<Byte>{81, 83, 86, 88, 90, 0, 0}));
    EXPECT_EQ(image()[field::optionByte], 0x31);
    EXPECT_EQ(mffBlock(), "MFF_dis/sw_mff_off");

    press("sw_mff_off");
    EXPECT_FALSE(element<QCheckBox>("cbresetOH")->isChecked()) << "switching off unticks it";
    EXPECT_EQ(text("eLifeTime"), "0");
    EXPECT_EQ(text("eL2"), "-");
    press("bMFFCancel");
    EXPECT_EQ(mffBlock(), "MFF_dis/sw_mff_off") << "switched on and cancelled: off again";
    EXPECT_FALSE(run().formDisabled);
}

TEST_F(MffEditorTest, MffBurnInAloneKeepsTheBlockOnAndNothingSetTurnsItOff)
{
    editMemory(makeDefaultImage());
    press("sw_mff_off");
    press("eBurnIn");
    keys("sbMFF", Qt::Key_Right, 50);
    press("bMFFOk");
    EXPECT_EQ(bytes(74, 75), (std::vector<Byte>{50, 0}));
    EXPECT_EQ(mffBlock(), "iMFF_en/SW_mff_on");

    press("iMFF_en");
    press("eLifeTime");
    keys("sbMFF", Qt::Key_Right, 4);
    keys("sbMFF", Qt::Key_Home);
    EXPECT_EQ(text("eReduction"), "-");
    press("eBurnIn");
    keys("sbMFF", Qt::Key_Home);
    press("bMFFOk");
    EXPECT_EQ(bytes(69, 75), (std::vector<Byte>{0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(mffBlock(), "MFF_dis/sw_mff_off");
}

// Whether the pixel at (x, y) of a 500-pixel chart, or one beside it, is pure red.
bool redNear(const QImage& chart, int x, int y)
{
    const qreal scale = chart.width() / static_cast<qreal>(kChartSize);
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            const QPoint at(qRound((x + dx) * scale), qRound((y + dy) * scale));
            if (chart.rect().contains(at) && chart.pixelColor(at) == QColor(Qt::red))
                return true;
        }
    }
    return false;
}

int redPixels(const QImage& chart, const QRect& area)
{
    int count = 0;
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            count += chart.pixelColor(x, y) == QColor(Qt::red) ? 1 : 0;
    }
    return count;
}

TEST_F(MffEditorTest, MffHelpChartDrawsTheLineThroughTheLevelsOrAsksForALifetime)
{
    EeBlock memory = makeDefaultImage();
    const std::array<Byte, 7> mff{80, 85, 93, 95, 100, 0, 100}; // bytes 69..75
    std::copy(mff.begin(), mff.end(), memory.begin() + field::mffStartLevel);
    editMemory(memory);

    press("iMFF_en");
    const QRect normal = element<QWidget>("pMFF")->geometry();
    press("bMFFHelp");
    ASSERT_TRUE(shown("pMFFHelp"));
    QWidget* chart = element<QWidget>("pMFFHelp");
    EXPECT_EQ(chart->width(), chart->height());
    EXPECT_TRUE(element<QWidget>("pMFF")->rect().contains(chart->geometry())) << "the panel grows to hold the chart";
    EXPECT_NE(element<QWidget>("pMFF")->geometry(), normal);
    const QImage line = chart->grab().toImage();
    const std::array<std::array<int, 2>, 5> points{{{49, 126}, {149, 106}, {249, 74}, {349, 66}, {449, 46}}};
    for (const auto& [x, y] : points)
        EXPECT_TRUE(redNear(line, x, y)) << x << "," << y;
    EXPECT_FALSE(redNear(line, 49, 446)) << "nothing at 0 %";

    QTest::mouseClick(element<QWidget>("pMFFHelp"), Qt::LeftButton);
    EXPECT_FALSE(shown("pMFFHelp"));
    EXPECT_EQ(element<QWidget>("pMFF")->geometry(), normal);

    press("eLifeTime");
    keys("sbMFF", Qt::Key_Home);
    press("bMFFHelp");
    const QImage asking = element<QWidget>("pMFFHelp")->grab().toImage();
    for (const auto& [x, y] : points)
        EXPECT_FALSE(redNear(asking, x, y)) << x << "," << y;
    const qreal scale = asking.width() / static_cast<qreal>(kChartSize);
    EXPECT_GT(redPixels(asking, QRect(QPoint(240, 240) * scale, QSize(90, 24) * scale)), 5) << "\"Lifetime?\"";
    EXPECT_EQ(redPixels(asking, asking.rect()),
              redPixels(asking, QRect(QPoint(240, 240) * scale, QSize(260, 60) * scale)))
        << "no red outside the text";
    press("bMFFCancel");
    EXPECT_FALSE(shown("pMFFHelp"));
}

} // namespace
} // namespace ormid
