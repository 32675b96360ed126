// The ISD block and editor in the window: the switch, the offset with the DST box and
// the offset calculator, and automatic DST with the length-of-night calculator.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include "app/editor_fixture.h"
#include "core/encodings.h"
#include "core/image.h"

namespace ormid {
namespace {

class IsdEditorTest : public test::EditorOnStick {
protected:
    void SetUp() override
    {
        WindowOnStick::SetUp();
        start(test::memoryStick().withMemory(1, makeDefaultImage(), "Lamp"), {"-skipFW"});
        press("bM1");
        ASSERT_FALSE(run().formDisabled);
    }
};

TEST_F(IsdEditorTest, TheSwitchTurnsIsdAndEngine1OffAndOn)
{
    ASSERT_TRUE(TestBit(image()[field::outputByte], bit::isdEnable));
    press("SW_astro_close");
    EXPECT_FALSE(TestBit(image()[field::outputByte], bit::isdEnable));
    EXPECT_TRUE(shown("dm1_dis"));
    EXPECT_TRUE(shown("sw_astro_open"));
    press("sw_astro_open");
    EXPECT_TRUE(TestBit(image()[field::outputByte], bit::isdEnable));
    EXPECT_TRUE(shown("iISD1_en"));
}

TEST_F(IsdEditorTest, InTheRemoteLayoutSwitchingOffClearsAndLocksTheIsdTxBoxes)
{
    start(test::memoryStick(true).withMemory(1, makeDefaultImage(), "Lamp"), {"-skipFW"});
    press("bM1");
    for (const char* box : {"cbTxISD", "cbTxISDEngine"}) {
        if (!element<QCheckBox>(box)->isChecked())
            press(box);
    }
    press("SW_astro_close");
    for (const char* box : {"cbTxISD", "cbTxISDEngine"}) {
        EXPECT_FALSE(element<QCheckBox>(box)->isChecked()) << box;
        EXPECT_FALSE(element<QCheckBox>(box)->isEnabled()) << box;
    }
    press("sw_astro_open");
    for (const char* box : {"cbTxISD", "cbTxISDEngine"}) {
        EXPECT_TRUE(element<QCheckBox>(box)->isEnabled()) << box;
        EXPECT_FALSE(element<QCheckBox>(box)->isChecked()) << box << " stays as the user left it";
    }
}

TEST_F(IsdEditorTest, DstMovesTheOffsetByAnHourAndCancelWritesNothing)
{
    const EeBlock before = image();
    press("iISD_en");
    ASSERT_TRUE(shown("pISD"));
    EXPECT_TRUE(run().formDisabled);
    EXPECT_FALSE(element<QCheckBox>("cbDST")->isChecked()) << "the default image has no DST";
    EXPECT_EQ(text("eISDOffset"), "0");
    press("cbDST");
    EXPECT_EQ(text("eISDOffset"), "-01:00:00");
    press("cbDST");
    EXPECT_EQ(text("eISDOffset"), "0");
    press("eISDOffset");
    keys("sbISD", Qt::Key_Right, 3);
    EXPECT_EQ(text("eISDOffset"), "00:06:00");
    press("bISDCancel");
    EXPECT_EQ(image(), before);
    EXPECT_FALSE(run().formDisabled);
}

TEST_F(IsdEditorTest, TheCalculatorSetsTheOffsetLessAnHourWithDst)
{
    press("iISD_en");
    press("cbDST");
    press("bAstroCalc");
    ASSERT_TRUE(shown("pCalc"));
    keys("sbUTC", Qt::Key_Right);
    EXPECT_EQ(text("eUTC"), "UTC+1");
    keys("sbLength", Qt::Key_Home);
    EXPECT_EQ(text("eOffset"), "???") << "W 180° cannot be stored";
    press("bCalcOK");
    EXPECT_EQ(text("eISDOffset"), "-01:00:00") << "??? leaves the offset";

    press("bAstroCalc");
    keys("sbLength", Qt::Key_Right, 375); // from W 180° to E 7.5°
    EXPECT_EQ(text("eOffset"), "-30");
    press("bCalcOK");
    EXPECT_FALSE(shown("pCalc"));
    EXPECT_EQ(text("eISDOffset"), "-01:30:00");
    press("bISDOK");
    EXPECT_EQ(image()[field::isdOffset], 0xD3);
    EXPECT_FALSE(TestBit(image()[field::optionByte], bit::dstOff));

    press("iISD_en");
    EXPECT_TRUE(element<QCheckBox>("cbDST")->isChecked());
    EXPECT_EQ(text("eISDOffset"), "-01:30:00") << "the next opening reads the image";
}

TEST_F(IsdEditorTest, AutoDstTakesItsThresholdsFromTheNightCalculator)
{
    press("iISD_en");
    EXPECT_FALSE(shown("eW2S")) << "the thresholds come with Enabled";
    press("cbADSTEnable");
    ASSERT_TRUE(shown("eW2S"));
    press("bADSTCalc");
    ASSERT_TRUE(shown("pAstroCalc"));
    EXPECT_EQ(text("eLoN"), "12:01") << "10.03.2014, N 50, -3";
    press("bDSTOn");
    EXPECT_FALSE(shown("pAstroCalc"));
    EXPECT_EQ(text("eW2S"), "12:00");

    press("bADSTCalc");
    QLineEdit* result = element<QLineEdit>("eLoN");
    result->selectAll();
    QTest::keyClicks(result, "13:23");
    press("bDSTOff");
    EXPECT_EQ(text("eS2W"), "13:20");
    press("bISDOK");
    EXPECT_EQ(image()[field::autoDstStart], 144);
    EXPECT_EQ(image()[field::autoDstEnd], 160);

    press("iISD_en");
    press("eS2W");
    keys("sbISD", Qt::Key_Home);
    EXPECT_EQ(text("eS2W"), "0");
    press("bISDOK");
    EXPECT_EQ(image()[field::autoDstStart], 0) << "both or nothing";
    EXPECT_EQ(image()[field::autoDstEnd], 0);
}

TEST_F(IsdEditorTest, DigitsTypedOverAFullDayOfTheNightCalculatorReplaceIt)
{
    press("iISD_en");
    press("cbADSTEnable");
    press("bADSTCalc");
    auto* picker = element<QDateEdit>("DateTimePicker1");
    ASSERT_EQ(picker->date(), QDate(2014, 3, 10));
    auto* line = picker->findChild<QLineEdit*>();
    ASSERT_NE(line, nullptr);
    const qsizetype day = line->text().indexOf(QStringLiteral("10"));
    ASSERT_GE(day, 0) << line->text().toStdString();
    // The user clicks on the day, once before its digits, once between and once behind them.
    for (const qsizetype cursor : {day, day + 1, day + 2}) {
        SCOPED_TRACE(cursor);
        picker->setDate(QDate(2014, 3, 10));
        int x = 0;
        while (x < line->width() && line->cursorPositionAt(QPoint(x, line->height() / 2)) < cursor)
            ++x;
        QTest::mouseClick(line, Qt::LeftButton, Qt::NoModifier, QPoint(x, line->height() / 2));
        ASSERT_EQ(line->cursorPosition(), cursor);
        QTest::keyClicks(picker, "30");
        EXPECT_EQ(picker->date().toString(Qt::ISODate).toStdString(), "2014-03-30") << line->text().toStdString();
    }
    EXPECT_LT(text("eLoN").toStdString(), "12:01") << "the nights are shorter at the end of March";
}

TEST_F(IsdEditorTest, TheHelpOfEachCalculatorComesAndGoesWithAClick)
{
    press("iISD_en");
    press("bAstroCalc");
    press("bCalcHelp");
    EXPECT_TRUE(shown("pCalcHelp"));
    press("iCalcHelp");
    EXPECT_FALSE(shown("pCalcHelp"));
    press("bCalcCancel");
    press("cbADSTEnable");
    press("bADSTCalc");
    press("bACHelp");
    EXPECT_TRUE(shown("pHelpAstroCalc"));
    press("pHelpAstroCalc");
    EXPECT_FALSE(shown("pHelpAstroCalc"));
    EXPECT_TRUE(shown("pAstroCalc"));
}

} // namespace
} // namespace ormid
