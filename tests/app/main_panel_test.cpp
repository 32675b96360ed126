#include "app/main_panel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <cstdlib>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/block_pictures.h"
#include "app/qt_app.h"
#include "app/window_doubles.h"
#include "core/image.h"
#include "core/panel_view.h"

namespace ormid {
namespace {

using Names = std::vector<const char*>;
using ByteWrites = std::vector<std::pair<std::size_t, Byte>>;

class MainPanelTest : public ::testing::Test {
protected:
    MainPanelTest()
    {
        test::qtApp();
        panel = std::make_unique<MainPanel>(run, image, txSelection);
        panel->show();
    }

    QWidget* widget(const char* name) const { return test::element(*panel, name); }

    bool shown(const char* name) const
    {
        const QWidget* found = widget(name);
        return found != nullptr && found->isVisibleTo(panel.get());
    }

    void expectShown(const Names& names, bool expected) const
    {
        for (const char* name : names)
            EXPECT_EQ(shown(name), expected) << name << (expected ? " should be shown" : " should be hidden");
    }

    QString text(const char* name) const
    {
        if (auto* label = panel->findChild<QLabel*>(QString::fromLatin1(name)))
            return label->text();
        if (auto* button = panel->findChild<QAbstractButton*>(QString::fromLatin1(name)))
            return button->text();
        ADD_FAILURE() << "no text element " << name;
        return {};
    }

    void draw(const ByteWrites& writes)
    {
        image = makeDefaultImage();
        for (const auto& [offset, value] : writes)
            image[offset] = value;
        panel->setDisplay();
    }

    void click(const char* name) { QTest::mouseClick(widget(name), Qt::LeftButton); }

    RunState run;
    EeBlock image = makeDefaultImage();
    Byte txSelection = 0;
    std::unique_ptr<MainPanel> panel;
};

// ---- setDisplay --------------------------------------------------------------------------

TEST_F(MainPanelTest, DefaultImageDrawsEveryBlockAndLabel)
{
    EXPECT_TRUE(shown("pLogo")) << "the logo covers the blocks until the first redraw";
    panel->setDisplay();

    expectShown({"iLst_en",        "SW_lst_close", "iISD2_en",   "HOLD_dis",  "sw_hold_off", "iISD_en",
                 "SW_astro_close", "iISD1_en",     "iTen",       "SW_Ten",    "lMinLevel",   "Block_dis",
                 "sw_block_open",  "MFF_dis",      "sw_mff_off", "iTM_dis",   "sw_tm_off",   "rem_dis",
                 "rc_off",         "iRelay",       "iTDpc_en",   "lPO_Level", "lPO_Delay",   "lPO_Fade",
                 "cbShowHints",    "pVersion"},
                true);
    expectShown({"iLST_pol",    "LST_dis",       "sw_lst_open", "dm2_dis",       "iTHold_en",      "sw_hold_on",
                 "SW_hold_dis", "lHold",         "Astro_dis",   "sw_astro_open", "dm1_dis",        "Dali",
                 "PWM",         "SW_DALI",       "SW_PWM",      "iTBlock_en",    "SW_block_close", "lBlock",
                 "iMFF_en",     "SW_mff_on",     "iTM",         "sw_tm_on",      "iRemote_en",     "rc_main",
                 "rc_lst",      "pLogo",         "Lst_en_r1",   "LST_dis_r1",    "cbTxPOL",        "cbTxISD",
                 "cbTxISDen",   "cbTxISDEngine", "cbTxLstEn",   "cbTXLstEngine"},
                false);
    EXPECT_EQ(text("lPO_Level"), "L=100%");
    EXPECT_EQ(text("lPO_Delay"), "D=Random");
    EXPECT_EQ(text("lPO_Fade"), "F=0");
    EXPECT_EQ(text("lMinLevel"), "Min. Level=0%");
    EXPECT_EQ(text("pVersion"), "Ver:2.21c Beta");
    EXPECT_EQ(image, makeDefaultImage()) << "a consistent image is not changed by a redraw";

    if (const char* path = std::getenv("ORMID_PANEL_SCREENSHOT")) {
        // As a technician sees it while editing a memory.
        widget("bM1")->show();
        panel->showActionButtons();
        EXPECT_TRUE(panel->grab().save(QString::fromLocal8Bit(path)));
    }
}

// What each image shows is panelView's (tests/core/panel_view_test.cpp); the panel shows
// exactly that, in either layout, whatever it showed before.
struct ApplyCase {
    const char* name;
    bool remote;
    ByteWrites writes;
};

void PrintTo(const ApplyCase& c, std::ostream* os)
{
    *os << c.name;
}

class SetDisplayCase : public MainPanelTest, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(SetDisplayCase, ShowsWhatThePanelViewGives)
{
    const ApplyCase& c = GetParam();
    run.remoteMode = c.remote;
    panel->useLayout(c.remote);
    txSelection = 0x3F;
    // Drawn over an image that differs in every block, so no element keeps its state by chance.
    draw({{0, 0xFF}, {1, 12}, {6, 0x45}, {75, 1}, {2, 33}, {3, 44}, {4, 0x45}, {5, 0x4A}});
    image = makeDefaultImage();
    for (const auto& [offset, value] : c.writes)
        image[offset] = value;
    // As the window holds it: every box chosen that the image lets be sent.
    txSelection = sendableTxSelection(image, 0x3F);
    panel->setDisplay();
    const auto view = panelView(image, c.remote ? PanelLayout::remote : PanelLayout::standard);
    ASSERT_TRUE(view.has_value());
    for (const BlockView& block : view->blocks) {
        for (const ElementView& element : block.elements)
            EXPECT_EQ(shown(std::string(element.name).c_str()), element.shown) << element.name;
        for (const LabelView& label : block.labels) {
            const std::string name(label.name);
            EXPECT_EQ(shown(name.c_str()), label.shown) << name;
            EXPECT_EQ(text(name.c_str()), QString::fromStdString(label.text)) << name;
        }
        for (const TxBoxView& tx : block.txBoxes) {
            const auto* box = test::element<QCheckBox>(*panel, std::string(tx.name).c_str());
            ASSERT_NE(box, nullptr) << tx.name;
            EXPECT_EQ(box->isEnabled(), tx.enabled) << tx.name;
            // The boxes are on screen in the remote layout only.
            if (c.remote) {
                EXPECT_EQ(box->isChecked(), tx.enabled) << tx.name << ": what cannot be sent is not chosen";
            }
        }
    }
}

// clang-format off
const ApplyCase kApplyCases[] = {
    {"Default", false, {}},
    {"EverythingOff", false, {{0, 0x00}, {1, 0}, {6, 0}, {74, 0}, {75, 0}}},
    {"PwmInvertedLstWithHold", false, {{0, 0x5E}, {6, 0x45}, {1, 3}}},
    {"DaliViaMainsThermal", false, {{0, 0xAD}, {74, 10}}},
    {"RemoteDefault", true, {}},
    {"RemoteLstAndIsdOff", true, {{0, 0x00}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Images, SetDisplayCase, ::testing::ValuesIn(kApplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainPanelTest, DaliAfterPwmShowsOnlyDali)
{
    draw({{0, 0x0E}});
    draw({{0, 0x0D}});
    expectShown({"Dali", "SW_DALI"}, true);
    expectShown({"iTen", "PWM", "SW_Ten", "SW_PWM"}, false);
}

TEST_F(MainPanelTest, LstOffAfterHoldTimeHidesHoldLabel)
{
    draw({{6, 0x45}});
    ASSERT_TRUE(shown("lHold"));
    draw({{6, 0x45}, {0, 0x04}});
    expectShown({"lHold", "iTHold_en", "sw_hold_on"}, false);
    expectShown({"HOLD_dis", "SW_hold_dis", "LST_dis"}, true);
}

TEST_F(MainPanelTest, RedrawAfterCancelHidesTheLogoAgain)
{
    panel->setDisplay();
    panel->showLogo(true);
    EXPECT_TRUE(shown("pLogo"));
    panel->setDisplay();
    EXPECT_FALSE(shown("pLogo"));
}

// ---- Remote layout ---------------------------------------------------------------------

class RemoteLayoutTest : public MainPanelTest {
protected:
    RemoteLayoutTest()
    {
        run.remoteMode = true;
        panel->useLayout(true);
    }
};

TEST_F(RemoteLayoutTest, HidesTheStandardOnlyBlocksAndShowsTheTxBoxes)
{
    draw({{6, 0x45}, {1, 12}});
    expectShown({"Lst_en_r1", "SW_lst_close", "iISD2_en", "iISD_en", "iISD1_en", "iTDpc_en", "cbTxPOL", "cbTxISD",
                 "cbTxISDen", "cbTxISDEngine", "cbTxLstEn", "cbTXLstEngine"},
                true);
    expectShown({"iLst_en",  "iLST_pol", "LST_dis",   "LST_dis_r1", "iTBlock_en", "Block_dis", "lBlock", "iTHold_en",
                 "HOLD_dis", "lHold",    "iMFF_en",   "MFF_dis",    "iTM",        "iTM_dis",   "iTen",   "Dali",
                 "PWM",      "SW_Ten",   "lMinLevel", "iRemote_en", "rem_dis",    "rc_off",    "iRelay"},
                false);

    draw({{0, 0x04}});
    expectShown({"LST_dis_r1", "sw_lst_open", "dm2_dis"}, true);
    expectShown({"Lst_en_r1", "SW_lst_close", "iISD2_en"}, false);
}

TEST_F(RemoteLayoutTest, StandardLayoutBringsTheBlocksBack)
{
    run.remoteMode = false;
    panel->useLayout(false);
    draw({});
    expectShown({"iLst_en", "iTen", "iRelay", "HOLD_dis", "lMinLevel"}, true);
    expectShown({"Lst_en_r1", "LST_dis_r1", "cbTxPOL", "cbTXLstEngine"}, false);
}

struct TxBoxCase {
    Byte status;
    std::vector<bool> ticked; // cbTxPOL, cbTxISD, cbTxISDen, cbTxISDEngine, cbTxLstEn, cbTXLstEngine
};

TEST_F(RemoteLayoutTest, TheTxBoxesTickFromTheStatusBits)
{
    const Names boxes{"cbTxPOL", "cbTxISD", "cbTxISDen", "cbTxISDEngine", "cbTxLstEn", "cbTXLstEngine"};
    const TxBoxCase cases[] = {
        {0x15, {true, false, true, false, true, false}},
        {0x2A, {false, true, false, true, false, true}},
        {0xC0, {false, false, false, false, false, false}},
        {0xFF, {true, true, true, true, true, true}},
    };
    for (const TxBoxCase& c : cases) {
        txSelection = c.status;
        panel->setDisplay();
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            auto* box = panel->findChild<QCheckBox*>(QString::fromLatin1(boxes[i]));
            ASSERT_NE(box, nullptr) << boxes[i];
            EXPECT_EQ(box->isChecked(), c.ticked[i]) << "status " << int(c.status) << " " << boxes[i];
        }
    }
}

// ---- Action bar --------------------------------------------------------------------------

struct ButtonsCase {
    const char* name;
    bool usbStick;
    bool demo;
    bool enableErase;
    bool modeQueryAnswered;
    Names shown;
    Names hidden;
};

// The case's name in test output instead of a byte dump.
void PrintTo(const ButtonsCase& c, std::ostream* os)
{
    *os << c.name;
}

class ShowActionButtonsCase : public MainPanelTest, public ::testing::WithParamInterface<ButtonsCase> {};

TEST_P(ShowActionButtonsCase, ShowsTheButtonsOfTheMode)
{
    const ButtonsCase& c = GetParam();
    run.mode = c.usbStick ? WindowMode::usbStick : c.demo ? WindowMode::demo : WindowMode::memoryLocal;
    run.options.enableErase = c.enableErase;
    run.modeQueryAnswered = c.modeQueryAnswered;
    const bool memoryMode = !c.usbStick && !c.demo;
    if (memoryMode) {
        auto* erase = panel->findChild<QPushButton*>("bErase");
        erase->setText("Go2Rem"); // left from the memory choice
        erase->show();
    }

    panel->showActionButtons();
    expectShown(c.shown, true);
    expectShown(c.hidden, false);
    if (memoryMode && shown("bErase")) {
        EXPECT_EQ(text("bErase"), "Erase ALL");
    }
}

// clang-format off
const ButtonsCase kButtonCases[] = {
    {"UsbStick", true, false, false, false,
     {"bUpdateFw", "bReread", "bMemClear", "bMemStore", "bLoad", "bSave", "bPdf"},
     {"bMemCancel", "lInfo", "eInfo", "pbFWUpdate", "bM1"}},
    {"MemoryWithEraseOption", false, false, true, false,
     {"bMemCancel", "bErase", "lInfo", "eInfo", "bMemClear", "bMemStore", "bLoad", "bSave", "bPdf"},
     {"bUpdateFw", "bReread", "pbFWUpdate"}},
    {"MemoryWithoutEraseOption", false, false, false, false,
     {"bMemCancel", "lInfo", "eInfo", "bMemClear", "bMemStore", "bLoad", "bSave", "bPdf"},
     {"bErase", "bUpdateFw", "bReread"}},
    {"MemoryModeQueryAnsweredHidesModeButton", false, false, true, true,
     {"bMemCancel", "lInfo", "eInfo", "bMemStore"},
     {"bErase", "bUpdateFw", "bReread"}},
    {"DemoHasNoMemoryToCancelOrName", false, true, false, false,
     {"bMemClear", "bMemStore", "bLoad", "bSave", "bPdf"},
     {"bMemCancel", "lInfo", "eInfo", "bUpdateFw", "bReread"}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Modes, ShowActionButtonsCase, ::testing::ValuesIn(kButtonCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainPanelTest, HidingTheActionButtonsLeavesTheMemoryButtons)
{
    const Names actions{"bMemCancel", "bMemClear", "bMemStore", "bErase",    "bLoad",      "bSave",
                        "bPdf",       "lInfo",     "eInfo",     "bUpdateFw", "pbFWUpdate", "bReread"};
    for (const char* name : actions)
        widget(name)->show();
    widget("bM2")->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);

    panel->hideActionButtons();
    expectShown(actions, false);
    EXPECT_TRUE(shown("bM2"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainPanelTest, ActionBarCaptions)
{
    const std::map<const char*, const char*> captions{{"bM1", "M1"},
                                                      {"bM2", "M2"},
                                                      {"bM3", "M3"},
                                                      {"bM4", "M4"},
                                                      {"lInfo", "Info:"},
                                                      {"bMemCancel", "Cancel"},
                                                      {"bMemStore", "Transfer"},
                                                      {"bMemClear", "Default"},
                                                      {"bErase", "Erase ALL"},
                                                      {"bLoad", "Load"},
                                                      {"bSave", "Save"},
                                                      {"bPdf", "PDF"},
                                                      {"bUpdateFw", "Update FW"},
                                                      {"bReread", "ReRead"},
                                                      {"cbShowHints", "Show Hints"},
                                                      {"cbStickDebug", "Debug"},
                                                      {"cbTxPOL", "Tx"}};
    for (const auto& [name, caption] : captions)
        EXPECT_EQ(text(name), caption) << name;
    EXPECT_TRUE(panel->findChild<QWidget*>("Memo1") != nullptr);
    EXPECT_TRUE(panel->findChild<QWidget*>("iFW") != nullptr);
}

// ---- Clicks and the window lock ----------------------------------------------------------

// The panel names the block and the kind of element that was clicked.
TEST_F(MainPanelTest, BlockClicksAreTypedAndIgnoredWhileTheFormIsDisabled)
{
    draw({});
    std::vector<BlockClick> clicks;
    QObject::connect(panel.get(), &MainPanel::blockClicked, [&](BlockClick c) { clicks.push_back(c); });
    const char* names[] = {"iTen", "sw_tm_off", "lPO_Level", "rc_off", "SW_Ten", "iRelay", "iLst_en"};
    run.formDisabled = true;
    for (const char* name : names)
        click(name);
    EXPECT_TRUE(clicks.empty());

    run.formDisabled = false;
    for (const char* name : names)
        click(name);
    EXPECT_EQ(clicks,
              (std::vector<BlockClick>{
                  {FunctionBlock::output, BlockElement::picture},
                  {FunctionBlock::thermal, BlockElement::onOff},
                  {FunctionBlock::powerOn, BlockElement::label},
                  {FunctionBlock::remote, BlockElement::selector},
                  {FunctionBlock::output, BlockElement::selector},
                  {FunctionBlock::relay, BlockElement::picture},
                  {FunctionBlock::lst, BlockElement::picture},
              }));
}

TEST_F(MainPanelTest, DisabledPicturesDoNotReact)
{
    draw({{0, 0x00}, {10, 0xFF}}); // LSt and ISD off
    int clicks = 0;
    QObject::connect(panel.get(), &MainPanel::blockClicked, [&](BlockClick) { ++clicks; });
    for (const char* name : {"Block_dis", "MFF_dis", "iTM_dis", "rem_dis", "LST_dis", "HOLD_dis", "SW_hold_dis",
                             "dm2_dis", "Astro_dis", "dm1_dis"}) {
        ASSERT_TRUE(shown(name)) << name;
        click(name);
    }
    EXPECT_EQ(clicks, 0);
    click("sw_block_open");
    EXPECT_EQ(clicks, 1) << "an off switch still reacts";
}

TEST_F(MainPanelTest, ActionButtonsHonourTheLock)
{
    for (const char* name : {"bM1", "bLoad", "bErase"})
        widget(name)->show();
    QSignalSpy spy(panel.get(), &MainPanel::actionClicked);
    run.formDisabled = true;
    click("bLoad");
    click("bErase");
    EXPECT_EQ(spy.count(), 0);
    click("bM1");
    run.modeButtonShown = true;
    click("bErase");
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).value<Action>(), Action::memory1);
    EXPECT_EQ(spy.at(1).at(0).value<Action>(), Action::erase);
    run.formDisabled = false;
    click("bLoad");
    EXPECT_EQ(spy.count(), 3);
}

// ---- Hints ---------------------------------------------------------------------------------

const std::map<const char*, const char*> kHintTexts{
    {"MFF_dis",
     "MFF (Maintenance Factor Function)\nReduction of the degree to which the luminous flux decreases\n"
     "over the service life of the light source.\n\nBBT (Burn-In Block Time)\n"
     "Disable dimming during the burn-in period\nof conventional light sources."},
    {"iMFF_en",
     "MFF (Maintenance Factor Function)\nReduction of the degree to which the luminous flux decreases\n"
     "over the service life of the light source.\n\nBBT (Burn-In Block Time)\n"
     "Disable dimming during the burn-in period\nof conventional light sources."},
    {"Block_dis", "Timer\nAfter power on disable the power reduction/ dimming for\na configurable period of time."},
    {"iTBlock_en", "Timer\nAfter power on disable the power reduction/ dimming for\na configurable period of time."},
    {"iTDpc_en",
     "Power On\nConfigurable delay, fade and level immediately after power on.\n\n"
     "DPC (Delayed Switching for Pedestrian Crossing)\n"
     "The lighting is switched on after a delay or switched off\n"
     "more quickly in the vicinity of pedestrian crossings.\n\n"
     "DOO (Dimmed ON/OFF)\nThe lighting system is fade-in/out."},
    {"LST_dis", "230Vac Control Input"},
    {"iLst_en", "230Vac Control Input"},
    {"iLST_pol", "230Vac Control Input"},
    {"Astro_dis",
     "ISD(Intelligent Switching Time Dimming)\nThe dimming period is derived from the switch-on/off time."},
    {"iISD_en", "ISD(Intelligent Switching Time Dimming)\nThe dimming period is derived from the switch-on/off time."},
    {"HOLD_dis", "Timer\nHold time, increase the impulse width for the control input."},
    {"iTHold_en", "Timer\nHold time, increase the impulse width for the control input."},
    {"dm1_dis", "Dimming Engine 1\nTimer-controlled periods of dimmed light."},
    {"iISD1_en", "Dimming Engine 1\nTimer-controlled periods of dimmed light."},
    {"dm2_dis", "Dimming Engine 2\nTimer-controlled periods of dimmed light."},
    {"iISD2_en", "Dimming Engine 2\nTimer-controlled periods of dimmed light."},
    {"Dali", "Control Output\nConfigurable DALI or 1-10V output"},
    {"iTen", "Control Output\nConfigurable DALI or 1-10V output"},
    {"rem_dis", "Remote Control\nAllowing the change of configuration parameters."},
    {"iRemote_en", "Remote Control\nAllowing the change of configuration parameters."},
    {"iRelay", "Relay\nChangeover relay output"},
};

PictureLabel* picture(const MainPanel& panel, const char* name)
{
    return test::element<PictureLabel>(panel, name);
}

void hover(QWidget* target)
{
    const QPointF local(5, 5);
    QEnterEvent enter(local, local, target->mapToGlobal(local));
    QApplication::sendEvent(target, &enter);
}

TEST_F(MainPanelTest, HintsAreOffUntilShowHintsIsTicked)
{
    ASSERT_EQ(kHintTexts.size(), 21u);
    for (const auto& [name, hint] : kHintTexts) {
        ASSERT_NE(picture(*panel, name), nullptr);
        EXPECT_EQ(picture(*panel, name)->hint(), QString::fromUtf8(hint)) << name;
        EXPECT_FALSE(picture(*panel, name)->hintEnabled()) << name;
    }
    for (const char* name : {"iTM", "iTM_dis", "PWM", "Lst_en_r1", "LST_dis_r1"})
        EXPECT_TRUE(picture(*panel, name)->hint().isEmpty()) << name << " carries no hint";

    draw({});
    hover(widget("iRelay"));
    EXPECT_FALSE(QToolTip::isVisible()) << "no hint before Show Hints is ticked";

    click("cbShowHints");
    for (const auto& [name, hint] : kHintTexts)
        EXPECT_TRUE(picture(*panel, name)->hintEnabled()) << name;
    hover(widget("iRelay"));
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "Relay\nChangeover relay output");

    click("cbShowHints");
    for (const auto& [name, hint] : kHintTexts)
        EXPECT_FALSE(picture(*panel, name)->hintEnabled()) << name;
    EXPECT_FALSE(QToolTip::isVisible());
}

TEST_F(MainPanelTest, ShowHintsWorksWhileTheFormIsDisabled)
{
    draw({});
    run.formDisabled = true;
    click("cbShowHints");
    EXPECT_TRUE(picture(*panel, "iTDpc_en")->hintEnabled());
}

} // namespace
} // namespace ormid
