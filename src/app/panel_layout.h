#pragma once
// Where everything of the main panel sits and what it is called: the block tiles on the
// grid, each tile's pictures, switches, labels and "Tx" boxes, the hints, and the action
// bar's buttons and fields. All positions are design pixels at 96 dpi; the panel scales
// them to the screen. The panel builds its widgets from these tables.

#include <QRect>
#include <QString>
#include <QStringList>

#include <array>
#include <utility>

#include "app/action.h"
#include "app/block_pictures.h"
#include "core/function_block.h"
#include "editors/panel_grid.h"

namespace ormid::panelLayout {

// The action bar lies below the blocks.
inline constexpr int kActionBarTop = panelGrid::kBlocksHeight;

// ---- Geometry inside a tile -------------------------------------------------------------

inline constexpr QRect kPictureRect(8, 8, 118, 96);
inline constexpr QRect kSwitchRect(134, 12, 60, 26);
inline constexpr QRect kSelectorRect(134, 10, 80, 66);
inline constexpr int kLabelLeft = 134;
inline constexpr int kLabelWidth = 84;
inline constexpr int kLabelHeight = 19;

// ---- The function blocks ------------------------------------------------------------

// Each block lives in a tile (a container at one grid cell); the LSt block has two
// picture layers inside its tile, one per layout.
enum class Tile {
    PowerOn,
    BlockTimer,
    Mff,
    Thermal,
    Isd,
    Engine1,
    Output,
    Relay,
    Lst,
    Engine2,
    Hold,
    Remote,
    LstStandard,
    LstRemote
};

struct TileSpec {
    Tile tile;
    int column;
    int row;
    bool standardOnly; // hidden in the remote layout
};

inline constexpr std::array kTiles{
    TileSpec{Tile::PowerOn, 0, 0, false}, TileSpec{Tile::BlockTimer, 1, 0, true}, TileSpec{Tile::Mff, 2, 0, true},
    TileSpec{Tile::Thermal, 3, 0, true},  TileSpec{Tile::Isd, 0, 1, false},       TileSpec{Tile::Engine1, 1, 1, false},
    TileSpec{Tile::Output, 2, 1, true},   TileSpec{Tile::Relay, 3, 1, true},      TileSpec{Tile::Lst, 0, 2, false},
    TileSpec{Tile::Engine2, 1, 2, false}, TileSpec{Tile::Hold, 2, 2, true},       TileSpec{Tile::Remote, 3, 2, true},
};

// The function block each tile shows; the LSt tile's two picture layers belong to it.
inline constexpr std::pair<Tile, FunctionBlock> kTileBlocks[] = {
    {Tile::PowerOn, FunctionBlock::powerOn}, {Tile::BlockTimer, FunctionBlock::blockTimer},
    {Tile::Mff, FunctionBlock::mff},         {Tile::Thermal, FunctionBlock::thermal},
    {Tile::Isd, FunctionBlock::isd},         {Tile::Engine1, FunctionBlock::engine1},
    {Tile::Output, FunctionBlock::output},   {Tile::Relay, FunctionBlock::relay},
    {Tile::Lst, FunctionBlock::lst},         {Tile::Engine2, FunctionBlock::engine2},
    {Tile::Hold, FunctionBlock::hold},       {Tile::Remote, FunctionBlock::remote},
    {Tile::LstStandard, FunctionBlock::lst}, {Tile::LstRemote, FunctionBlock::lst},
};

struct PictureSpec {
    const char* name;
    Tile tile;
    BlockIcon icon;
    bool enabled; // disabled pictures do not react to clicks
};

inline constexpr std::array kPictures{
    PictureSpec{"iTBlock_en", Tile::BlockTimer, BlockIcon::BlockTimer, true},
    PictureSpec{"Block_dis", Tile::BlockTimer, BlockIcon::BlockTimer, false},
    PictureSpec{"iTDpc_en", Tile::PowerOn, BlockIcon::PowerOn, true},
    PictureSpec{"iISD_en", Tile::Isd, BlockIcon::Isd, true},
    PictureSpec{"Astro_dis", Tile::Isd, BlockIcon::Isd, false},
    PictureSpec{"iISD1_en", Tile::Engine1, BlockIcon::Engine1, true},
    PictureSpec{"dm1_dis", Tile::Engine1, BlockIcon::Engine1, false},
    PictureSpec{"iLst_en", Tile::LstStandard, BlockIcon::LstInput, true},
    PictureSpec{"iLST_pol", Tile::LstStandard, BlockIcon::LstInverted, true},
    PictureSpec{"LST_dis", Tile::LstStandard, BlockIcon::LstInput, false},
    PictureSpec{"Lst_en_r1", Tile::LstRemote, BlockIcon::LstRemote, true},
    PictureSpec{"LST_dis_r1", Tile::LstRemote, BlockIcon::LstRemote, false},
    PictureSpec{"iISD2_en", Tile::Engine2, BlockIcon::Engine2, true},
    PictureSpec{"dm2_dis", Tile::Engine2, BlockIcon::Engine2, false},
    PictureSpec{"iTHold_en", Tile::Hold, BlockIcon::HoldTimer, true},
    PictureSpec{"HOLD_dis", Tile::Hold, BlockIcon::HoldTimer, false},
    PictureSpec{"iMFF_en", Tile::Mff, BlockIcon::Mff, true},
    PictureSpec{"MFF_dis", Tile::Mff, BlockIcon::Mff, false},
    PictureSpec{"iTM", Tile::Thermal, BlockIcon::Thermal, true},
    PictureSpec{"iTM_dis", Tile::Thermal, BlockIcon::Thermal, false},
    PictureSpec{"iTen", Tile::Output, BlockIcon::OutputTen, true},
    PictureSpec{"Dali", Tile::Output, BlockIcon::OutputDali, true},
    PictureSpec{"PWM", Tile::Output, BlockIcon::OutputPwm, true},
    PictureSpec{"iRemote_en", Tile::Remote, BlockIcon::Remote, true},
    PictureSpec{"rem_dis", Tile::Remote, BlockIcon::Remote, false},
    PictureSpec{"iRelay", Tile::Relay, BlockIcon::Relay, true},
};

// Pictures shown whatever the image holds.
inline constexpr std::array kAlwaysShown{"iTDpc_en", "iRelay"};

struct SwitchSpec {
    const char* name;
    Tile tile;
    SwitchState state;
};

inline constexpr std::array kSwitches{
    SwitchSpec{"SW_block_close", Tile::BlockTimer, SwitchState::On},
    SwitchSpec{"sw_block_open", Tile::BlockTimer, SwitchState::Off},
    SwitchSpec{"SW_astro_close", Tile::Isd, SwitchState::On},
    SwitchSpec{"sw_astro_open", Tile::Isd, SwitchState::Off},
    SwitchSpec{"SW_lst_close", Tile::Lst, SwitchState::On},
    SwitchSpec{"sw_lst_open", Tile::Lst, SwitchState::Off},
    SwitchSpec{"sw_hold_on", Tile::Hold, SwitchState::On},
    SwitchSpec{"sw_hold_off", Tile::Hold, SwitchState::Off},
    SwitchSpec{"SW_hold_dis", Tile::Hold, SwitchState::Disabled},
    SwitchSpec{"SW_mff_on", Tile::Mff, SwitchState::On},
    SwitchSpec{"sw_mff_off", Tile::Mff, SwitchState::Off},
    SwitchSpec{"sw_tm_on", Tile::Thermal, SwitchState::On},
    SwitchSpec{"sw_tm_off", Tile::Thermal, SwitchState::Off},
};

// Multi-position switches: the output kind selector and the remote three-way switch.
enum class Selector { OutputKind, RemoteWay };

struct SelectorSpec {
    const char* name;
    Tile tile;
    Selector selector;
    int position;
};

inline constexpr std::array kSelectors{
    SelectorSpec{"SW_Ten", Tile::Output, Selector::OutputKind, 0},
    SelectorSpec{"SW_DALI", Tile::Output, Selector::OutputKind, 1},
    SelectorSpec{"SW_PWM", Tile::Output, Selector::OutputKind, 2},
    SelectorSpec{"rc_off", Tile::Remote, Selector::RemoteWay, 0},
    SelectorSpec{"rc_main", Tile::Remote, Selector::RemoteWay, 1},
    SelectorSpec{"rc_lst", Tile::Remote, Selector::RemoteWay, 2},
};

struct LabelSpec {
    const char* name;
    Tile tile;
    QRect rect;
};

inline constexpr std::array kLabels{
    LabelSpec{"lPO_Delay", Tile::PowerOn, QRect(kLabelLeft, 12, kLabelWidth, kLabelHeight)},
    LabelSpec{"lPO_Fade", Tile::PowerOn, QRect(kLabelLeft, 12 + kLabelHeight, kLabelWidth, kLabelHeight)},
    LabelSpec{"lPO_Level", Tile::PowerOn, QRect(kLabelLeft, 12 + 2 * kLabelHeight, kLabelWidth, kLabelHeight)},
    LabelSpec{"lBlock", Tile::BlockTimer, QRect(kLabelLeft, 46, kLabelWidth, kLabelHeight)},
    LabelSpec{"lHold", Tile::Hold, QRect(kLabelLeft, 46, kLabelWidth, kLabelHeight)},
    LabelSpec{"lMinLevel", Tile::Output, QRect(10, 107, 200, kLabelHeight)},
};

// The "Tx" boxes in status-bit order, each at the block whose settings it sends.
struct TxBoxSpec {
    const char* name;
    Tile tile;
    QRect rect;
};

inline constexpr std::array kTxBoxes{
    TxBoxSpec{"cbTxPOL", Tile::PowerOn, QRect(10, 106, 56, 22)},
    TxBoxSpec{"cbTxISD", Tile::Isd, QRect(136, 46, 56, 22)},
    TxBoxSpec{"cbTxISDen", Tile::Isd, QRect(10, 106, 56, 22)},
    TxBoxSpec{"cbTxISDEngine", Tile::Engine1, QRect(10, 106, 56, 22)},
    TxBoxSpec{"cbTxLstEn", Tile::Lst, QRect(10, 106, 56, 22)},
    TxBoxSpec{"cbTXLstEngine", Tile::Engine2, QRect(10, 106, 56, 22)},
};

// ---- Hints ------------------------------------------------------------------------------

struct HintSpec {
    std::array<const char*, 3> pictures; // unused places are null
    const char* text;
};

inline constexpr std::array kHints{
    HintSpec{{"MFF_dis", "iMFF_en", nullptr},
             "MFF (Maintenance Factor Function)\n"
             "Reduction of the degree to which the luminous flux decreases\n"
             "over the service life of the light source.\n"
             "\n"
             "BBT (Burn-In Block Time)\n"
             "Disable dimming during the burn-in period\n"
             "of conventional light sources."},
    HintSpec{{"Block_dis", "iTBlock_en", nullptr},
             "Timer\n"
             "After power on disable the power reduction/ dimming for\n"
             "a configurable period of time."},
    HintSpec{{"iTDpc_en", nullptr, nullptr},
             "Power On\n"
             "Configurable delay, fade and level immediately after power on.\n"
             "\n"
             "DPC (Delayed Switching for Pedestrian Crossing)\n"
             "The lighting is switched on after a delay or switched off\n"
             "more quickly in the vicinity of pedestrian crossings.\n"
             "\n"
             "DOO (Dimmed ON/OFF)\n"
             "The lighting system is fade-in/out."},
    HintSpec{{"LST_dis", "iLst_en", "iLST_pol"}, "230Vac Control Input"},
    HintSpec{{"Astro_dis", "iISD_en", nullptr},
             "ISD(Intelligent Switching Time Dimming)\n"
             "The dimming period is derived from the switch-on/off time."},
    HintSpec{{"HOLD_dis", "iTHold_en", nullptr},
             "Timer\n"
             "Hold time, increase the impulse width for the control input."},
    HintSpec{{"dm1_dis", "iISD1_en", nullptr},
             "Dimming Engine 1\n"
             "Timer-controlled periods of dimmed light."},
    HintSpec{{"dm2_dis", "iISD2_en", nullptr},
             "Dimming Engine 2\n"
             "Timer-controlled periods of dimmed light."},
    HintSpec{{"Dali", "iTen", nullptr},
             "Control Output\n"
             "Configurable DALI or 1-10V output"},
    HintSpec{{"rem_dis", "iRemote_en", nullptr},
             "Remote Control\n"
             "Allowing the change of configuration parameters."},
    HintSpec{{"iRelay", nullptr, nullptr},
             "Relay\n"
             "Changeover relay output"},
};

// ---- The action bar -------------------------------------------------------------------

struct ButtonSpec {
    const char* name;
    const char* caption;
    QRect rect;
    Action action;
};

inline constexpr std::array kMemoryButtons{
    ButtonSpec{"bM1", "M1", QRect(16, 452, 46, 30), Action::memory1},
    ButtonSpec{"bM2", "M2", QRect(66, 452, 46, 30), Action::memory2},
    ButtonSpec{"bM3", "M3", QRect(116, 452, 46, 30), Action::memory3},
    ButtonSpec{"bM4", "M4", QRect(166, 452, 46, 30), Action::memory4},
};

inline constexpr std::array kActionButtons{
    ButtonSpec{"bMemCancel", "Cancel", QRect(392, 452, 84, 30), Action::memCancel},
    ButtonSpec{"bMemStore", "Transfer", QRect(482, 452, 84, 30), Action::memStore},
    ButtonSpec{"bMemClear", "Default", QRect(572, 452, 84, 30), Action::memClear},
    ButtonSpec{"bErase", "Erase ALL", QRect(662, 452, 90, 30), Action::erase},
    ButtonSpec{"bLoad", "Load", QRect(16, 494, 84, 30), Action::load},
    ButtonSpec{"bSave", "Save", QRect(106, 494, 84, 30), Action::save},
    ButtonSpec{"bPdf", "PDF", QRect(196, 494, 84, 30), Action::pdf},
    ButtonSpec{"bProfile", "Profile", QRect(286, 494, 64, 30), Action::profile},
    ButtonSpec{"bUpdateFw", "Update FW", QRect(392, 494, 84, 30), Action::updateFw},
    ButtonSpec{"bReread", "ReRead", QRect(662, 494, 90, 30), Action::reread},
};

inline constexpr const char* kEraseButton = "bErase";
inline constexpr const char* kVersionText = "Ver:2.21c Beta";
inline constexpr const char* kEraseCaption = "Erase ALL";

// What hideActionButtons hides; the memory buttons are not among them.
inline constexpr std::array kActionElements{"bMemCancel", "bMemClear",  "bMemStore", "bErase", "bLoad",
                                            "bSave",      "bPdf",       "bProfile",  "lInfo",  "eInfo",
                                            "bUpdateFw",  "pbFWUpdate", "bReread"};
// The "Log" group's value labels and their captions.
inline constexpr std::pair<const char*, const char*> kLogFields[]
    = {{"lOp", "Operation"}, {"lSwCnt", "Switch cnt."}, {"lOverT", "Over T"}, {"lMaxT", "Max. T"}};
inline constexpr std::array kEveryModeButtons{"bMemClear", "bMemStore", "bLoad", "bSave", "bPdf", "bProfile"};
// What demo mode and a failed Transfer offer: the image can always be kept in a file.
inline constexpr std::array kFileButtons{"bLoad", "bSave", "bPdf", "bProfile"};

// ---- Single elements ----------------------------------------------------------------------

// The start-up logo covers the blocks.
inline constexpr QRect kLogoRect(0, 0, panelGrid::kWidth, kActionBarTop);
inline constexpr QRect kInfoLabelRect(226, 452, 38, 30);
inline constexpr QRect kInfoFieldRect(268, 455, 112, 24);
inline constexpr QRect kFirmwareProgressRect(482, 499, 170, 20);
// Beside "Update FW", clear of the Log group.
inline constexpr QRect kFirmwareIconRect(356, 495, 28, 28);
inline constexpr QRect kShowHintsRect(16, 544, 110, 22);
inline constexpr QRect kDebugBoxRect(132, 544, 80, 22);
inline constexpr QRect kDurationRect(392, 536, 260, 50);
inline constexpr QRect kVersionRect(742, 566, 170, 20);
// Below the action buttons, two counters a row: wide enough for 16777215 min.
inline constexpr QRect kLogGroupRect(290, 530, 446, 62);
inline constexpr QRect kDebugPanelRect(464, 8, 456, 424);

// The tile's place on the grid.
QRect cellRect(const TileSpec& spec);
// The tile container's object name.
QString tileName(Tile tile);
// The function block a tile shows.
FunctionBlock blockOf(Tile tile);
// The positions' captions of a selector, in position order.
const QStringList& selectorCaptions(Selector selector);

} // namespace ormid::panelLayout
