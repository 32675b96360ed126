// Dimming curves in the window: the correction box and the curve panel of Output
// Setup, the chart, and the conversions when a memory is chosen, when the curve panel
// confirms and when "Transfer" writes. Pressed with the mouse and the keyboard.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/window_fixture.h"
#include "core/data_block.h"
#include "core/encodings.h"
#include "core/image.h"
#include "editors/output/curve_chart.h"
#include "editors/output/dimming_curves.h"
#include "link/control_block.h"
#include "sim/presets.h"
#include "temp_folder.h"

namespace ormid {
namespace {

namespace fs = std::filesystem;

// The curve files of the tests, listed in this order (sorted by name).
enum Curve { identity, fifty, countError, dataError, zeroLow };

std::vector<int> identityPoints()
{
    std::vector<int> points;
    for (int i = 0; i <= 100; ++i)
        points.push_back(i);
    return points;
}

std::string curveText(const std::vector<int>& points)
{
    std::string text;
    for (const int point : points)
        text += std::to_string(point) + "\n";
    return text;
}

bool isRed(const QColor& colour)
{
    return colour.red() > 200 && colour.green() < 80 && colour.blue() < 80;
}

// The 2-pixel line passes the pixel or one next to it.
bool lineAt(const QImage& chart, int x, int y)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (isRed(chart.pixelColor(x + dx, y + dy)))
                return true;
    return false;
}

class DimmingCurvesTest : public test::WindowOnStick {
protected:
    test::TempFolder curves_{"ormid_curves_gui"};

    void SetUp() override
    {
        WindowOnStick::SetUp();
        curveFolder_ = curves_.path();
        std::vector<int> fiftyGives33 = identityPoints();
        fiftyGives33[50] = 33;
        std::vector<int> zeroUpTo5 = identityPoints();
        for (int i = 0; i <= 5; ++i)
            zeroUpTo5[static_cast<std::size_t>(i)] = 0;
        write("a-identity.dc", curveText(identityPoints()));
        write("b-fifty.dc", curveText(fiftyGives33));
        write("c-count.dc", curveText(identityPoints()) + "\n"); // 101 values and an empty line
        std::string wrong = curveText(identityPoints());
        wrong.replace(wrong.find("\n7\n") + 1, 1, "x");
        write("d-wrong.dc", wrong);
        write("e-zero-low.dc", curveText(zeroUpTo5));
        write("f-short.dc", std::string(100, '\n')); // 100 bytes: not offered
    }
    void write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(curveFolder_ / name, std::ios::binary | std::ios::trunc) << bytes;
    }

    // A memory stick whose M1 holds `memory`, M1 chosen; `arguments` beside "-skipFW".
    void chooseMemory(const EeBlock& memory, std::vector<std::string> arguments = {}, bool remote = false)
    {
        arguments.push_back("-skipFW");
        start(test::memoryStick(remote).withMemory(1, memory, "Lamp"), arguments);
        press("bM1");
        ASSERT_FALSE(run().formDisabled);
    }

    QListWidget& list() const { return *element<QListWidget>("lbDimmingCurve"); }
    // The user clicks the entry of `curve` in the curve list.
    void clickEntry(Curve curve)
    {
        QListWidget& entries = list();
        const QRect rect = entries.visualItemRect(entries.item(curve));
        QTest::mouseClick(entries.viewport(), Qt::LeftButton, {}, rect.center());
    }
    const QImage& chart() const { return element<CurveChart>("iDimmingCurve")->picture(); }
    QCheckBox& correction() const { return *element<QCheckBox>("cbDC"); }
    // Output Setup open, the correction ticked: the curve panel at its first entry.
    void tickCorrection()
    {
        press("lMinLevel");
        ASSERT_TRUE(shown("cbDC"));
        press("cbDC");
        ASSERT_TRUE(shown("pDimmingCurve"));
    }
    // Chooses `curve` on the open curve panel and confirms it.
    void selectCurve(Curve curve)
    {
        clickEntry(curve);
        press("bDCOk");
        ASSERT_FALSE(shown("pDimmingCurve"));
    }
};

// A level image: minimum 33, power-on 33 with the relay off, engine 1's step 1 at 33
// and its step 2 free.
EeBlock levelsAt33()
{
    EeBlock image = makeDefaultImage();
    image[field::minLevel] = 33;
    image[field::powerOnLevel] = 0x80 + 33;
    image[engine1Step(1) + 2] = 33;
    image[engine1Step(2) + 2] = kFreeLevel;
    return image;
}

TEST_F(DimmingCurvesTest, TickingOffersTheCurvesAndTheChartShowsTheSelectedOne)
{
    chooseMemory(makeDefaultImage());
    press("lMinLevel");
    EXPECT_EQ(correction().text(), "Correction OFF");
    EXPECT_FALSE(correction().isChecked());
    EXPECT_FALSE(element("bDC")->isEnabled());

    press("cbDC");
    ASSERT_TRUE(shown("pDimmingCurve"));
    EXPECT_EQ(element("pDimmingCurve")->geometry(), element("pDimmingCurve")->parentWidget()->rect())
        << "the curve panel covers the whole window";
    std::vector<std::string> entries;
    for (int i = 0; i < list().count(); ++i)
        entries.push_back(list().item(i)->text().toStdString());
    EXPECT_EQ(entries,
              (std::vector<std::string>{"a-identity.dc", "b-fifty.dc", "c-count.dc", "d-wrong.dc", "e-zero-low.dc"}));
    EXPECT_EQ(list().currentRow(), 0);
    EXPECT_TRUE(correction().isChecked());
    ASSERT_EQ(chart().size(), QSize(500, 500));
    EXPECT_TRUE(isRed(chart().pixelColor(49, 446))) << "the line starts at input 0, output 0";
    EXPECT_TRUE(isRed(chart().pixelColor(449, 46))) << "and ends at input 100, output 100";

    // Each error shows its text at (100, 100) on the blank chart, and no line.
    CurveChart reference(nullptr);
    for (const auto& [curve, message] :
         {std::pair{countError, "Error: Nr. of points is not 101!"}, std::pair{dataError, "Error: Wrong Data!"}}) {
        SCOPED_TRACE(message);
        clickEntry(curve);
        reference.wipe();
        reference.writeMessage(QString::fromLatin1(message));
        EXPECT_EQ(chart(), reference.picture());
        EXPECT_FALSE(element("bDCOk")->isEnabled()) << "a damaged curve would convert with stray points";
    }

    QTest::keyClick(&list(), Qt::Key_Up, Qt::NoModifier);
    QTest::keyClick(&list(), Qt::Key_Up, Qt::NoModifier);
    ASSERT_EQ(list().currentRow(), fifty) << "the keyboard selects as well";
    EXPECT_TRUE(lineAt(chart(), 249, 314)) << "input 50 gives 33: (49 + 200, 446 - 132)";
    EXPECT_FALSE(lineAt(chart(), 249, 246));
    EXPECT_TRUE(element("bDCOk")->isEnabled());
}

TEST_F(DimmingCurvesTest, ClickingTheDrawnEntryAgainDoesNotRedraw)
{
    chooseMemory(makeDefaultImage());
    tickCorrection();
    write("a-identity.dc", curveText(std::vector<int>(101, 50))); // changed behind the list's back
    clickEntry(identity);
    EXPECT_TRUE(isRed(chart().pixelColor(449, 46))) << "still the curve drawn before";
    clickEntry(fifty);
    clickEntry(identity);
    EXPECT_TRUE(isRed(chart().pixelColor(449, 246)));
    EXPECT_FALSE(isRed(chart().pixelColor(449, 46)));
}

TEST_F(DimmingCurvesTest, OkConvertsBackOnceAndTransferWritesForwardAcrossTheRestart)
{
    chooseMemory(levelsAt33());
    tickCorrection();
    selectCurve(fifty);
    EXPECT_EQ(correction().text(), "b-fifty");
    EXPECT_TRUE(element("bDC")->isEnabled());
    EXPECT_EQ(element<QLineEdit>("eMinLevel")->text(), "50") << "Output Setup shows the converted level";
    EXPECT_EQ(image()[field::minLevel], 50);
    EXPECT_EQ(image()[field::powerOnLevel], 0x80 + 50);
    EXPECT_EQ(image()[engine1Step(1) + 2], 50);
    EXPECT_EQ(image()[engine1Step(2) + 2], kFreeLevel);
    EXPECT_TRUE(window_->curves().inverseApplied());

    press("bDC"); // choosing again converts no second time
    ASSERT_TRUE(shown("pDimmingCurve"));
    EXPECT_EQ(list().currentRow(), 0);
    selectCurve(fifty);
    EXPECT_EQ(image()[field::minLevel], 50);
    press("bOutput_OK");

    const EeBlock edited = image();
    press("bMemStore");
    ASSERT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));
    EXPECT_EQ(process_.startedWith, (QStringList{"-skipFW", "-dc=1"}));
    EeBlock written = edited;
    written[field::minLevel] = 33;
    written[field::powerOnLevel] = 0x80 + 33;
    written[engine1Step(1) + 2] = 33;
    EXPECT_EQ(sim::readStickBlock(model_->state(), dataBlockAddress(1)), *buildDataBlock(written))
        << "the stick holds the levels the curve gives";
    EXPECT_EQ(image(), edited) << "the window's image stays as the user set it";

    // The restarted run selects the curve again and reads the levels back through it.
    test::StickSetup sameStick;
    sameStick.state = model_->state();
    std::vector<std::string> arguments;
    for (const QString& argument : process_.startedWith)
        arguments.push_back(argument.toStdString());
    start(sameStick, arguments);
    EXPECT_EQ(window_->curves().selectedIndex(), fifty);
    press("bM1");
    EXPECT_EQ(image()[field::minLevel], 50);
    EXPECT_EQ(image()[field::powerOnLevel], 0x80 + 50);
    EXPECT_EQ(image()[engine1Step(1) + 2], 50);
    press("lMinLevel");
    EXPECT_TRUE(correction().isChecked());
    EXPECT_EQ(correction().text(), "b-fifty");
    EXPECT_TRUE(element("bDC")->isEnabled());
}

TEST_F(DimmingCurvesTest, ChoosingAFilledMemoryConvertsBackOnlyForALocalAnalogImage)
{
    EeBlock dali = levelsAt33();
    dali[field::outputByte] = SetBit(dali[field::outputByte], bit::outputDali);
    const struct {
        const char* name;
        EeBlock memory;
        bool remote;
        Byte minLevel;
    } cases[] = {
        {"local 1-10V", levelsAt33(), false, 50},
        {"DALI is never converted", dali, false, 33},
        {"a remote stick's memories were written without the curve", levelsAt33(), true, 33},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        chooseMemory(c.memory, {"-dc=1"}, c.remote);
        EXPECT_EQ(window_->curves().selectedIndex(), fifty) << "the selection stays";
        EXPECT_EQ(image()[field::minLevel], c.minLevel);
        EXPECT_EQ(window_->curves().inverseApplied(), c.minLevel != 33);
    }
}

TEST_F(DimmingCurvesTest, OkConvertsTheDefaultImageOnlyWhereItWasReadFromAStick)
{
    // Lines 0..5 give 0: level 0 reads back as 5.
    const struct {
        const char* name;
        test::StickSetup stick;
        Byte minLevel;
    } cases[] = {
        {"an empty memory (default image)", test::memoryStick(), 5},
        {"demo mode selects without converting", test::noStick(), 0},
        {"a device in USB Stick mode is written without the curve", test::usbStick(), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        launch(c.stick, {"-skipFW"});
        ASSERT_TRUE(runClockUntil([&] { return window_->startUpFinished(); }));
        if (run().usbStick()) {
            ASSERT_TRUE(runClockUntil([&] { return window_->link()->engine().imageRead(); }));
        }
        if (!run().demo() && !run().usbStick())
            press("bM1");
        ASSERT_EQ(image()[field::minLevel], 0);
        tickCorrection();
        selectCurve(zeroLow);
        EXPECT_EQ(correction().text(), "e-zero-low");
        EXPECT_EQ(window_->curves().selectedIndex(), zeroLow);
        EXPECT_EQ(image()[field::minLevel], c.minLevel);
        EXPECT_EQ(element<QLineEdit>("eMinLevel")->text(), QString::number(c.minLevel));
    }
}

TEST_F(DimmingCurvesTest, CancelAndTheMemoryCancelSwitchTheCorrectionOff)
{
    chooseMemory(levelsAt33());
    tickCorrection();
    clickEntry(fifty);
    press("bDCCancel");
    EXPECT_FALSE(shown("pDimmingCurve"));
    EXPECT_FALSE(correction().isChecked());
    EXPECT_EQ(correction().text(), "Correction OFF");
    EXPECT_FALSE(element("bDC")->isEnabled());
    EXPECT_EQ(window_->curves().selectedIndex(), -1);
    EXPECT_TRUE(window_->curves().selectedCurve().empty());
    EXPECT_EQ(image()[field::minLevel], 33);

    press("cbDC");
    selectCurve(fifty);
    press("cbDC"); // unticked by the user
    EXPECT_EQ(correction().text(), "Correction OFF");
    EXPECT_EQ(window_->curves().selectedIndex(), -1);
    EXPECT_TRUE(window_->curves().selectedCurve().empty());

    press("cbDC");
    selectCurve(fifty);
    press("bOutput_OK");
    ASSERT_TRUE(window_->curves().inverseApplied());
    press("bMemCancel");
    EXPECT_EQ(window_->curves().selectedIndex(), -1);
    EXPECT_FALSE(window_->curves().inverseApplied()) << "a memory chosen next may be converted again";
    EXPECT_TRUE(window_->curves().selectedCurve().empty());
    press("bM1");
    EXPECT_EQ(image()[field::minLevel], 33) << "no curve selected any more";
    press("lMinLevel");
    EXPECT_FALSE(correction().isChecked());
    EXPECT_EQ(correction().text(), "Correction OFF");
}

TEST_F(DimmingCurvesTest, StartUpSelectsTheNamedCurveOnlyWhenItCanBeUsed)
{
    const struct {
        const char* argument;
        int curveIndex;
        Byte point50; // of the curve loaded for the Transfer
    } cases[] = {
        {"-dc=1", fifty, 33}, {"-dc=0", identity, 50}, {"-dc=9", -1, 0}, // beyond the list: ignored
        {"-dc=2", -1, 0},                                                // a curve with the wrong number of points
        {"-dc=3", -1, 0},                                                // a curve with wrong data
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        chooseMemory(makeDefaultImage(), {c.argument});
        EXPECT_EQ(window_->curves().selectedIndex(), c.curveIndex);
        ASSERT_EQ(window_->curves().selectedCurve().empty(), c.curveIndex == -1);
        if (c.curveIndex != -1) {
            EXPECT_EQ(window_->curves().selectedCurve()[50], c.point50);
        }
        press("lMinLevel");
        EXPECT_EQ(correction().isChecked(), c.curveIndex != -1);
        EXPECT_EQ(element("bDC")->isEnabled(), c.curveIndex != -1);
    }
}

TEST_F(DimmingCurvesTest, TheControlsAreForAnalogOutputsWithCurvesOnly)
{
    EeBlock dali = makeDefaultImage();
    dali[field::outputByte] = SetBit(dali[field::outputByte], bit::outputDali);
    chooseMemory(dali, {"-dc=1"});
    press("lMinLevel");
    EXPECT_FALSE(shown("cbDC"));
    EXPECT_FALSE(shown("bDC"));
    EXPECT_EQ(window_->curves().selectedIndex(), fifty) << "the selection itself stays for DALI";

    fs::remove_all(curveFolder_);
    chooseMemory(makeDefaultImage());
    EXPECT_FALSE(window_->curves().available());
    press("lMinLevel");
    EXPECT_FALSE(shown("cbDC")) << "no curve folder";
}

TEST_F(DimmingCurvesTest, TheHelpPictureClosesWithAClick)
{
    chooseMemory(makeDefaultImage());
    tickCorrection();
    press("bDcHelp");
    EXPECT_TRUE(shown("pDcHelp"));
    press("pDcHelp");
    EXPECT_FALSE(shown("pDcHelp"));
    EXPECT_TRUE(shown("pDimmingCurve"));
}

TEST_F(DimmingCurvesTest, ACurveThatVanishedSinceTheListingCannotBeChosen)
{
    chooseMemory(makeDefaultImage());
    tickCorrection();
    fs::remove(curveFolder_ / "b-fifty.dc");
    clickEntry(fifty);
    EXPECT_FALSE(element("bDCOk")->isEnabled());
    EXPECT_FALSE(isRed(chart().pixelColor(449, 46)));
    press("bDCCancel");
    EXPECT_EQ(window_->curves().selectedIndex(), -1);
}

} // namespace
} // namespace ormid
