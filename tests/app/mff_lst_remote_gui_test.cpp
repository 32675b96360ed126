// The MFF/BBT block and editor with its help chart, the LSt input with the hold timer,
// and the remote-control switch, in the window: switches and fields pressed with the
// mouse, sliders and range selectors moved from the keyboard.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSlider>
#include <QTest>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/window_fixture.h"
#include "core/encodings.h"
#include "core/image.h"
#include "core/mff_block.h"
#include "editors/output/mff_chart.h"

namespace ormid {
namespace {

class ProtectionBlocksTest : public test::WindowOnStick {
protected:
    QString text(const char* name) const { return element<QLineEdit>(name)->text(); }
    bool enabled(const char* name) const { return element<QWidget>(name)->isEnabled(); }
    std::vector<Byte> bytes(std::size_t first, std::size_t last) const
    {
        return {image().begin() + static_cast<std::ptrdiff_t>(first),
                image().begin() + static_cast<std::ptrdiff_t>(last + 1)};
    }
    // Which of the pictures at one place is on screen.
    std::string showing(std::initializer_list<const char*> names) const
    {
        std::string seen;
        for (const char* name : names) {
            if (shown(name))
                seen += (seen.empty() ? "" : "+") + std::string(name);
        }
        return seen;
    }
    std::string mffBlock() const
    {
        return showing({"iMFF_en", "MFF_dis"}) + "/" + showing({"SW_mff_on", "sw_mff_off"});
    }
    std::string holdBlock() const
    {
        return showing({"iTHold_en", "HOLD_dis"}) + "/" + showing({"sw_hold_on", "sw_hold_off", "SW_hold_dis"});
    }
};

constexpr const char* kLevelFields[] = {"eReduction", "eL1", "eL2", "eL3", "eStopLevel"};

TEST_F(ProtectionBlocksTest, MffSwitchedOnSetUpConfirmedAndSwitchedOff)
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

TEST_F(ProtectionBlocksTest, MffBurnInAloneKeepsTheBlockOnAndNothingSetTurnsItOff)
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

TEST_F(ProtectionBlocksTest, MffHelpChartDrawsTheLineThroughTheLevelsOrAsksForALifetime)
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

TEST(MffChart, WithoutALifetimeTheChartAsksForOne)
{
    // The chart without a lifetime against one whose line runs along the top, with the
    // text written over it where the chart asks for the lifetime.
    test::qtApp();
    QImage chart(kChartSize, kChartSize, QImage::Format_RGB32);
    {
        QPainter painter(&chart);
        paintMffChart(painter, std::nullopt);
    }
    QImage expected(kChartSize, kChartSize, QImage::Format_RGB32);
    {
        QPainter painter(&expected);
        paintMffChart(painter, mffChartPoints(MffFields{{"500", "100", "0", "100", "100", "100", "100"}}));
        QFont font = painter.font();
        font.setPointSize(12);
        painter.setFont(font);
        painter.setPen(Qt::red);
        painter.drawText(QRect(240, 240, 260, 260), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Lifetime?"));
    }
    const QRect text(240, 240, 120, 30);
    EXPECT_EQ(chart.copy(text), expected.copy(text));
}

TEST_F(ProtectionBlocksTest, HoldTimerSetConfirmedCancelledAndTurnedOffWithZero)
{
    editMemory(makeDefaultImage());
    EXPECT_EQ(holdBlock(), "HOLD_dis/sw_hold_off");
    EXPECT_FALSE(shown("lHold"));

    press("sw_hold_off");
    ASSERT_TRUE(shown("pTHold"));
    EXPECT_TRUE(run().formDisabled);
    EXPECT_EQ(text("eHoldTime"), "0");
    press("bTHoldCancel");
    EXPECT_EQ(holdBlock(), "HOLD_dis/sw_hold_off") << "switched on and cancelled: off again";
    EXPECT_EQ(image()[field::holdTime], 0);

    press("sw_hold_off");
    press("eHoldTime");
    ASSERT_TRUE(shown("pHoldTime"));
    const auto* range = element<QComboBox>("combHold");
    EXPECT_EQ(range->currentText(), "->00:01:00");
    keys("combHold", Qt::Key_Down);
    EXPECT_EQ(range->currentText(), "->00:10:00");
    keys("sbHold", Qt::Key_Right, 9);
    EXPECT_EQ(text("eHoldTime"), "00:01:30");
    press("bTHoldOK");
    EXPECT_FALSE(shown("pTHold"));
    EXPECT_EQ(image()[field::holdTime], convertTime(90));
    EXPECT_EQ(holdBlock(), "iTHold_en/sw_hold_on");
    ASSERT_TRUE(shown("lHold"));
    EXPECT_EQ(element<QLabel>("lHold")->text(), "00:01:30");

    press("lHold");
    EXPECT_EQ(text("eHoldTime"), "00:01:30");
    press("eHoldTime");
    EXPECT_EQ(element<QSlider>("sbHold")->value(), 9);
    keys("sbHold", Qt::Key_Right, 5);
    EXPECT_EQ(text("eHoldTime"), "00:02:20");
    press("bTHoldCancel");
    EXPECT_EQ(image()[field::holdTime], convertTime(90));
    EXPECT_EQ(element<QLabel>("lHold")->text(), "00:01:30");

    press("iTHold_en");
    press("eHoldTime");
    keys("sbHold", Qt::Key_Home);
    EXPECT_EQ(text("eHoldTime"), "0");
    press("bTHoldOK");
    EXPECT_EQ(image()[field::holdTime], 0);
    EXPECT_EQ(holdBlock(), "HOLD_dis/sw_hold_off");
    EXPECT_FALSE(shown("lHold"));

    press("sw_hold_off");
    press("eHoldTime");
    keys("sbHold", Qt::Key_Right, 10);
    press("bTHoldOK");
    ASSERT_EQ(image()[field::holdTime], 10);
    press("sw_hold_on");
    EXPECT_EQ(image()[field::holdTime], 0) << "the on switch turns the timer off";
    EXPECT_EQ(holdBlock(), "HOLD_dis/sw_hold_off");
}

TEST_F(ProtectionBlocksTest, LstSwitchKeepsTheHoldTimeWhileOffAndClearsItWhenOnAgain)
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

TEST_F(ProtectionBlocksTest, RemoteLayoutLstOffUnticksAndDisablesTheEngine2TxBox)
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

TEST_F(ProtectionBlocksTest, RemoteSwitchCyclesTheInputsAndLeavesTheRemoteFunction)
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
