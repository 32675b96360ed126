// What the main panel shows for an image: pictures and switch pictures shown or hidden,
// label texts, the "Tx" boxes that can be ticked, in each layout. No window.

#include "core/panel_view.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace ormid {
namespace {

using Names = std::vector<const char*>;
using ByteWrites = std::vector<std::pair<std::size_t, Byte>>;

// The view by element name: what is shown, what the labels read, which boxes are enabled.
struct Drawn {
    std::map<std::string, bool> shown; // pictures, switches and labels
    std::map<std::string, std::string> texts;
    std::map<std::string, bool> txEnabled;
    std::vector<FunctionBlock> blocks;
};

Drawn drawnOf(const PanelView& view)
{
    Drawn drawn;
    for (const BlockView& block : view.blocks) {
        drawn.blocks.push_back(block.block);
        for (const ElementView& element : block.elements)
            EXPECT_TRUE(drawn.shown.emplace(element.name, element.shown).second) << element.name << " twice";
        for (const LabelView& label : block.labels) {
            EXPECT_TRUE(drawn.shown.emplace(label.name, label.shown).second) << label.name << " twice";
            drawn.texts.emplace(label.name, label.text);
        }
        for (const TxBoxView& box : block.txBoxes)
            drawn.txEnabled.emplace(box.name, box.enabled);
    }
    return drawn;
}

EeBlock imageWith(const ByteWrites& writes)
{
    EeBlock image = makeDefaultImage();
    for (const auto& [offset, value] : writes)
        image[offset] = value;
    return image;
}

Drawn draw(const ByteWrites& writes, PanelLayout layout)
{
    const std::optional<PanelView> view = panelView(imageWith(writes), layout);
    EXPECT_TRUE(view.has_value());
    return view ? drawnOf(*view) : Drawn{};
}

struct ViewCase {
    const char* name;
    PanelLayout layout;
    ByteWrites writes;
    Names shown;
    Names hidden; // in the view, and hidden
    std::map<std::string, std::string> texts;
    std::map<std::string, bool> txEnabled;
};

void PrintTo(const ViewCase& c, std::ostream* os)
{
    *os << c.name;
}

class PanelViewCase : public ::testing::TestWithParam<ViewCase> {};

TEST_P(PanelViewCase, ShowsTheBlocksOfTheImage)
{
    const ViewCase& c = GetParam();
    const Drawn drawn = draw(c.writes, c.layout);
    for (const auto& [names, expected] : {std::pair{&c.shown, true}, std::pair{&c.hidden, false}}) {
        for (const char* name : *names) {
            const auto found = drawn.shown.find(name);
            ASSERT_NE(found, drawn.shown.end()) << name << " is not in the view";
            EXPECT_EQ(found->second, expected) << name << (expected ? " should be shown" : " should be hidden");
        }
    }
    for (const auto& [name, text] : c.texts) {
        ASSERT_EQ(drawn.texts.count(name), 1u) << name;
        EXPECT_EQ(drawn.texts.at(name), text) << name;
    }
    for (const auto& [name, enabled] : c.txEnabled) {
        ASSERT_EQ(drawn.txEnabled.count(name), 1u) << name;
        EXPECT_EQ(drawn.txEnabled.at(name), enabled) << name;
    }
}

constexpr PanelLayout kStandard = PanelLayout::standard;
constexpr PanelLayout kRemote = PanelLayout::remote;

// clang-format off
const ViewCase kViewCases[] = {
    {"DefaultImage", kStandard, {},
     {"iLst_en", "SW_lst_close", "iISD2_en", "HOLD_dis", "sw_hold_off", "iISD_en", "SW_astro_close", "iISD1_en",
      "iTen", "SW_Ten", "lMinLevel", "Block_dis", "sw_block_open", "MFF_dis", "sw_mff_off", "iTM_dis", "sw_tm_off",
      "rem_dis", "rc_off", "lPO_Level", "lPO_Delay", "lPO_Fade"},
     {"iLST_pol", "LST_dis", "sw_lst_open", "dm2_dis", "iTHold_en", "sw_hold_on", "SW_hold_dis", "lHold",
      "Astro_dis", "sw_astro_open", "dm1_dis", "Dali", "PWM", "SW_DALI", "SW_PWM", "iTBlock_en", "SW_block_close",
      "lBlock", "iMFF_en", "SW_mff_on", "iTM", "sw_tm_on", "iRemote_en", "rc_main", "rc_lst"},
     {{"lPO_Level", "L=100%"}, {"lPO_Delay", "D=Random"}, {"lPO_Fade", "F=0"}, {"lMinLevel", "Min. Level=0%"}},
     {{"cbTxISD", true}, {"cbTxISDEngine", true}}},
    {"BurnInOnlyTurnsMffOn", kStandard, {{74, 50}, {75, 0}}, {"iMFF_en", "SW_mff_on"}, {"MFF_dis", "sw_mff_off"}, {}, {}},
    {"LifetimeOnlyTurnsMffOn", kStandard, {{74, 0}, {75, 1}}, {"iMFF_en", "SW_mff_on"}, {"MFF_dis", "sw_mff_off"}, {}, {}},
    {"InvertedPolarityPicture", kStandard, {{0, 0x1C}}, {"iLST_pol", "SW_lst_close"}, {"iLst_en", "LST_dis"}, {}, {}},
    {"HoldTimeShowsHoldOn", kStandard, {{6, 0x45}},
     {"iTHold_en", "sw_hold_on", "lHold"}, {"HOLD_dis", "sw_hold_off", "SW_hold_dis"}, {{"lHold", "00:00:50"}}, {}},
    {"LstOffHidesTheHoldTime", kStandard, {{6, 0x45}, {0, 0x04}},
     {"LST_dis", "sw_lst_open", "dm2_dis", "HOLD_dis", "SW_hold_dis"},
     {"iLst_en", "iLST_pol", "SW_lst_close", "iISD2_en", "iTHold_en", "sw_hold_on", "sw_hold_off", "lHold"}, {}, {}},
    {"BlockTimerInFiveSecondUnits", kStandard, {{1, 12}},
     {"iTBlock_en", "SW_block_close", "lBlock"}, {"Block_dis", "sw_block_open"}, {{"lBlock", "00:01:00"}}, {}},
    {"ThermalManagementOn", kStandard, {{0, 0x8C}}, {"iTM", "sw_tm_on"}, {"iTM_dis", "sw_tm_off"}, {}, {}},
    {"RemoteViaMains", kStandard, {{0, 0x2C}}, {"iRemote_en", "rc_main"}, {"rem_dis", "rc_off", "rc_lst"}, {}, {}},
    {"RemoteViaLst", kStandard, {{0, 0x4C}}, {"iRemote_en", "rc_lst"}, {"rem_dis", "rc_off", "rc_main"}, {}, {}},
    {"RemoteMainsWinsOverLst", kStandard, {{0, 0x6C}}, {"rc_main"}, {"rc_off", "rc_lst"}, {}, {}},
    {"PwmOutput", kStandard, {{0, 0x0E}}, {"PWM", "SW_PWM"}, {"iTen", "Dali", "SW_Ten", "SW_DALI"}, {}, {}},
    {"DaliLogarithmicOutput", kStandard, {{0, 0x0D}}, {"Dali", "SW_DALI"}, {"iTen", "PWM", "SW_Ten", "SW_PWM"}, {}, {}},
    {"DaliLinearOutput", kStandard, {{0, 0x0F}}, {"Dali", "SW_DALI"}, {"iTen", "PWM", "SW_Ten", "SW_PWM"}, {}, {}},
    {"PowerOnAndMinLevelLabels", kStandard, {{2, 10}, {3, 85}, {4, 0x45}, {5, 0x4A}},
     {"lPO_Level", "lPO_Delay", "lPO_Fade", "lMinLevel"}, {},
     {{"lPO_Level", "L=85%"}, {"lPO_Delay", "D=00:00:50"}, {"lPO_Fade", "F=00,100"}, {"lMinLevel", "Min. Level=10%"}},
     {}},
    {"ZeroDelayIsNotRandom", kStandard, {{4, 0x00}}, {}, {}, {{"lPO_Delay", "D=0"}}, {}},
    {"MinLevelAsStored", kStandard, {{2, 120}}, {"lMinLevel"}, {}, {{"lMinLevel", "Min. Level=120%"}}, {}},
    {"IsdOffDisablesItsTxBoxes", kStandard, {{0, 0x08}},
     {"Astro_dis", "sw_astro_open", "dm1_dis"}, {"iISD_en", "SW_astro_close", "iISD1_en"}, {},
     {{"cbTxISD", false}, {"cbTxISDEngine", false}}},
    {"RemoteLayoutDefaultImage", kRemote, {{6, 0x45}, {1, 12}},
     {"Lst_en_r1", "SW_lst_close", "iISD2_en", "iISD_en", "SW_astro_close", "iISD1_en", "lPO_Level", "lPO_Delay",
      "lPO_Fade"},
     {"LST_dis_r1", "sw_lst_open", "dm2_dis", "Astro_dis", "sw_astro_open", "dm1_dis"},
     {{"lPO_Level", "L=100%"}, {"lPO_Delay", "D=Random"}, {"lPO_Fade", "F=0"}},
     {{"cbTxISD", true}, {"cbTxISDEngine", true}, {"cbTXLstEngine", true}}},
    {"RemoteLayoutLstOff", kRemote, {{0, 0x04}},
     {"LST_dis_r1", "sw_lst_open", "dm2_dis"}, {"Lst_en_r1", "SW_lst_close", "iISD2_en"}, {},
     {{"cbTXLstEngine", false}, {"cbTxISD", true}}},
    {"RemoteLayoutIsdOff", kRemote, {{0, 0x08}},
     {"Astro_dis", "sw_astro_open", "dm1_dis", "Lst_en_r1"}, {"iISD_en", "SW_astro_close", "iISD1_en"}, {},
     {{"cbTxISD", false}, {"cbTxISDEngine", false}, {"cbTXLstEngine", true}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Images, PanelViewCase, ::testing::ValuesIn(kViewCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The remote layout draws only the blocks whose settings remote frames carry; the
// standard-only blocks and their pictures are not in its view at all.
TEST(PanelView, EachLayoutDrawsItsBlocks)
{
    const struct {
        PanelLayout layout;
        std::vector<FunctionBlock> blocks;
        Names absent;
    } cases[] = {
        {kStandard,
         {FunctionBlock::powerOn, FunctionBlock::blockTimer, FunctionBlock::mff, FunctionBlock::thermal,
          FunctionBlock::isd, FunctionBlock::engine1, FunctionBlock::output, FunctionBlock::lst, FunctionBlock::engine2,
          FunctionBlock::hold, FunctionBlock::remote},
         {"Lst_en_r1", "LST_dis_r1", "cbTXLstEngine", "iRelay", "iTDpc_en"}},
        {kRemote,
         {FunctionBlock::powerOn, FunctionBlock::isd, FunctionBlock::engine1, FunctionBlock::lst,
          FunctionBlock::engine2},
         {"iLst_en", "iLST_pol",    "LST_dis",   "iTBlock_en", "Block_dis", "lBlock",  "iTHold_en", "HOLD_dis",
          "lHold",   "sw_hold_off", "iMFF_en",   "MFF_dis",    "iTM",       "iTM_dis", "iTen",      "Dali",
          "PWM",     "SW_Ten",      "lMinLevel", "iRemote_en", "rem_dis",   "rc_off",  "iRelay"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout == kRemote ? "remote" : "standard");
        const Drawn drawn = draw({}, c.layout);
        EXPECT_EQ(drawn.blocks, c.blocks);
        for (const char* name : c.absent) {
            EXPECT_EQ(drawn.shown.count(name), 0u) << name;
            EXPECT_EQ(drawn.txEnabled.count(name), 0u) << name;
        }
    }
}

// Of the pictures that lie at one place exactly one is shown, whatever byte 0 holds.
TEST(PanelView, OnePictureOfEachPlaceIsShown)
{
    const std::vector<Names> places{{"iLst_en", "iLST_pol", "LST_dis"},
                                    {"SW_lst_close", "sw_lst_open"},
                                    {"iISD2_en", "dm2_dis"},
                                    {"iTHold_en", "HOLD_dis"},
                                    {"sw_hold_on", "sw_hold_off", "SW_hold_dis"},
                                    {"iTen", "Dali", "PWM"},
                                    {"SW_Ten", "SW_DALI", "SW_PWM"},
                                    {"iTBlock_en", "Block_dis"},
                                    {"SW_block_close", "sw_block_open"},
                                    {"iMFF_en", "MFF_dis"},
                                    {"SW_mff_on", "sw_mff_off"},
                                    {"iTM", "iTM_dis"},
                                    {"sw_tm_on", "sw_tm_off"},
                                    {"rc_off", "rc_main", "rc_lst"},
                                    {"iRemote_en", "rem_dis"},
                                    {"iISD_en", "Astro_dis"},
                                    {"SW_astro_close", "sw_astro_open"},
                                    {"iISD1_en", "dm1_dis"}};
    for (int byte0 = 0; byte0 <= 0xFF; ++byte0) {
        for (const Byte hold : {Byte{0}, Byte{0x45}}) {
            const Drawn drawn = draw({{0, static_cast<Byte>(byte0)}, {6, hold}}, kStandard);
            for (const Names& place : places) {
                int shown = 0;
                for (const char* name : place)
                    shown += drawn.shown.count(name) == 1 && drawn.shown.at(name);
                EXPECT_EQ(shown, 1) << "byte 0 = " << byte0 << ", hold " << int(hold) << ", place of " << place[0];
            }
        }
    }
}

TEST(PanelView, TheTxSelectionDropsTheBoxesOfFunctionsThatAreOff)
{
    // Default image: ISD and the LSt input on. Bits: 0 POL, 1 ISD (DST), 2 ISDen, 3 ISDEngine,
    // 4 LstEn, 5 LstEngine; the functions' own switches stay chosen.
    const struct {
        const char* name;
        Byte outputByte;
        Byte selection;
        Byte sendable;
    } cases[] = {
        {"both on", 0x0C, 0x3F, 0x3F},        {"ISD off", 0x08, 0x3F, 0x35},
        {"LSt off", 0x04, 0x3F, 0x1F},        {"both off", 0x00, 0x3F, 0x15},
        {"nothing chosen", 0x00, 0x00, 0x00}, {"bits above the six boxes kept", 0x00, 0xEA, 0xC0},
    };
    for (const auto& c : cases) {
        EeBlock image = makeDefaultImage();
        image[field::outputByte] = static_cast<Byte>((image[field::outputByte] & ~0x0C) | c.outputByte);
        EXPECT_EQ(sendableTxSelection(image, c.selection), c.sendable) << c.name;
    }
    EeBlock shortImage = makeDefaultImage();
    shortImage.resize(kStoredImageBytes - 1);
    EXPECT_EQ(sendableTxSelection(shortImage, 0x3F), 0x3F) << "an image without its bytes decides nothing";
}

TEST(PanelView, AnImageShorterThanTheStoredBytesDrawsNothing)
{
    EeBlock image = makeDefaultImage();
    image.resize(kStoredImageBytes - 1);
    EXPECT_FALSE(panelView(image, kStandard).has_value());
    image.resize(kStoredImageBytes);
    EXPECT_TRUE(panelView(image, kStandard).has_value());
}

} // namespace
} // namespace ormid
