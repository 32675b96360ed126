#include "app/main_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>
#include <utility>

#include "app/block_pictures.h"
#include "core/encodings.h"
#include "core/remote_frames.h"

namespace ormid {

namespace {

// ---- Geometry (design pixels at 96 dpi) ---------------------------------------------

constexpr int kActionBarTop = MainPanel::kBlocksArea.height();
constexpr int kGridLeft = 16;
constexpr int kGridTop = 14;
constexpr int kCellWidth = 226;
constexpr int kCellHeight = 142;
constexpr QRect kPictureRect(8, 8, 118, 96);
constexpr QRect kSwitchRect(134, 12, 60, 26);
constexpr QRect kSelectorRect(134, 10, 80, 66);
constexpr int kLabelLeft = 134;
constexpr int kLabelWidth = 84;
constexpr int kLabelHeight = 19;

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

constexpr std::array kTiles{
    TileSpec{Tile::PowerOn, 0, 0, false}, TileSpec{Tile::BlockTimer, 1, 0, true}, TileSpec{Tile::Mff, 2, 0, true},
    TileSpec{Tile::Thermal, 3, 0, true},  TileSpec{Tile::Isd, 0, 1, false},       TileSpec{Tile::Engine1, 1, 1, false},
    TileSpec{Tile::Output, 2, 1, true},   TileSpec{Tile::Relay, 3, 1, true},      TileSpec{Tile::Lst, 0, 2, false},
    TileSpec{Tile::Engine2, 1, 2, false}, TileSpec{Tile::Hold, 2, 2, true},       TileSpec{Tile::Remote, 3, 2, true},
};

// The function block each tile shows; the LSt tile's two picture layers belong to it.
constexpr std::pair<Tile, FunctionBlock> kTileBlocks[] = {
    {Tile::PowerOn, FunctionBlock::powerOn}, {Tile::BlockTimer, FunctionBlock::blockTimer},
    {Tile::Mff, FunctionBlock::mff},         {Tile::Thermal, FunctionBlock::thermal},
    {Tile::Isd, FunctionBlock::isd},         {Tile::Engine1, FunctionBlock::engine1},
    {Tile::Output, FunctionBlock::output},   {Tile::Relay, FunctionBlock::relay},
    {Tile::Lst, FunctionBlock::lst},         {Tile::Engine2, FunctionBlock::engine2},
    {Tile::Hold, FunctionBlock::hold},       {Tile::Remote, FunctionBlock::remote},
    {Tile::LstStandard, FunctionBlock::lst}, {Tile::LstRemote, FunctionBlock::lst},
};

FunctionBlock blockOf(Tile tile)
{
    return std::find_if(std::begin(kTileBlocks), std::end(kTileBlocks),
                        [tile](const auto& t) { return t.first == tile; })
        ->second;
}

struct PictureSpec {
    const char* name;
    Tile tile;
    BlockIcon icon;
    bool enabled; // disabled pictures do not react to clicks
};

constexpr std::array kPictures{
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
constexpr std::array kAlwaysShown{"iTDpc_en", "iRelay"};

struct SwitchSpec {
    const char* name;
    Tile tile;
    SwitchState state;
};

constexpr std::array kSwitches{
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

constexpr std::array kSelectors{
    SelectorSpec{"SW_Ten", Tile::Output, Selector::OutputKind, 0},
    SelectorSpec{"SW_DALI", Tile::Output, Selector::OutputKind, 1},
    SelectorSpec{"SW_PWM", Tile::Output, Selector::OutputKind, 2},
    SelectorSpec{"rc_off", Tile::Remote, Selector::RemoteWay, 0},
    SelectorSpec{"rc_main", Tile::Remote, Selector::RemoteWay, 1},
    SelectorSpec{"rc_lst", Tile::Remote, Selector::RemoteWay, 2},
};

const QStringList& selectorCaptions(Selector selector)
{
    static const QStringList outputKinds{QStringLiteral("1-10V"), QStringLiteral("DALI"), QStringLiteral("PWM")};
    static const QStringList remoteWays{QStringLiteral("Off"), QStringLiteral("Mains"), QStringLiteral("LSt")};
    return selector == Selector::OutputKind ? outputKinds : remoteWays;
}

struct LabelSpec {
    const char* name;
    Tile tile;
    QRect rect;
};

constexpr std::array kLabels{
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

constexpr std::array kTxBoxes{
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

const std::array kHints{
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
};

constexpr std::array kMemoryButtons{
    ButtonSpec{"bM1", "M1", QRect(16, 452, 46, 30)},
    ButtonSpec{"bM2", "M2", QRect(66, 452, 46, 30)},
    ButtonSpec{"bM3", "M3", QRect(116, 452, 46, 30)},
    ButtonSpec{"bM4", "M4", QRect(166, 452, 46, 30)},
};

constexpr std::array kActionButtons{
    ButtonSpec{"bMemCancel", "Cancel", QRect(392, 452, 84, 30)},
    ButtonSpec{"bMemStore", "Transfer", QRect(482, 452, 84, 30)},
    ButtonSpec{"bMemClear", "Default", QRect(572, 452, 84, 30)},
    ButtonSpec{"bErase", "Erase ALL", QRect(662, 452, 90, 30)},
    ButtonSpec{"bLoad", "Load", QRect(16, 494, 84, 30)},
    ButtonSpec{"bSave", "Save", QRect(106, 494, 84, 30)},
    ButtonSpec{"bPdf", "PDF", QRect(196, 494, 84, 30)},
    ButtonSpec{"bProfile", "Profile", QRect(286, 494, 64, 30)},
    ButtonSpec{"bUpdateFw", "Update FW", QRect(392, 494, 84, 30)},
    ButtonSpec{"bReread", "ReRead", QRect(662, 494, 90, 30)},
};

constexpr const char* kEraseButton = "bErase";
constexpr const char* kVersionText = "Ver:2.21c Beta";
constexpr const char* kEraseCaption = "Erase ALL";

// What `disableButtons` hides; the memory buttons are not among them.
constexpr std::array kActionElements{"bMemCancel", "bMemClear",  "bMemStore", "bErase", "bLoad",
                                     "bSave",      "bPdf",       "bProfile",  "lInfo",  "eInfo",
                                     "bUpdateFw",  "pbFWUpdate", "bReread"};
// The "Log" group's value labels and their captions.
constexpr std::pair<const char*, const char*> kLogFields[]
    = {{"lOp", "Operation"}, {"lSwCnt", "Switch cnt."}, {"lOverT", "Over T"}, {"lMaxT", "Max. T"}};
constexpr std::array kEveryModeButtons{"bMemClear", "bMemStore", "bLoad", "bSave", "bPdf", "bProfile"};
// What demo mode and a failed Transfer offer: the image can always be kept in a file.
constexpr std::array kFileButtons{"bLoad", "bSave", "bPdf", "bProfile"};

QRect cellRect(const TileSpec& spec)
{
    return QRect(kGridLeft + spec.column * kCellWidth, kGridTop + spec.row * kCellHeight, kCellWidth - 6,
                 kCellHeight - 10);
}

QString tileName(Tile tile)
{
    return QStringLiteral("tile%1").arg(static_cast<int>(tile));
}

} // namespace

MainPanel::MainPanel(RunState& run, const EeBlock& eeBlock, QWidget* parent)
    : QWidget(parent), run_(run), eeBlock_(eeBlock)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        scale_ = screen->logicalDotsPerInch() / 96.0;
    setFixedSize(scaled(QRect(0, 0, kDesignWidth, kDesignHeight)).size());
    buildBlocks();
    buildActionBar();
    registerElements(*this);
    for (const char* name : kAlwaysShown)
        setShown(QString::fromLatin1(name), true);
    initHint();
    moveGr(false);
}

void MainPanel::registerElements(const QWidget& root)
{
    for (QWidget* widget : root.findChildren<QWidget*>()) {
        if (!widget->objectName().isEmpty())
            elements_.insert(widget->objectName(), widget);
    }
}

QRect MainPanel::scaled(const QRect& design) const
{
    return QRect(qRound(design.x() * scale_), qRound(design.y() * scale_), qRound(design.width() * scale_),
                 qRound(design.height() * scale_));
}

void MainPanel::buildBlocks()
{
    std::array<QWidget*, static_cast<std::size_t>(Tile::LstRemote) + 1> tiles{};
    const auto tileWidget = [&tiles](Tile tile) { return tiles[static_cast<std::size_t>(tile)]; };
    for (const TileSpec& spec : kTiles) {
        auto* tile = new QWidget(this);
        tile->setObjectName(tileName(spec.tile));
        tile->setGeometry(scaled(cellRect(spec)));
        tiles[static_cast<std::size_t>(spec.tile)] = tile;
    }
    for (const Tile layer : {Tile::LstStandard, Tile::LstRemote}) {
        auto* widget = new QWidget(tileWidget(Tile::Lst));
        widget->setObjectName(tileName(layer));
        widget->setGeometry(scaled(kPictureRect));
        tiles[static_cast<std::size_t>(layer)] = widget;
    }

    const auto addElement
        = [this, &tileWidget](const char* name, Tile tile, BlockElement element, const QRect& rect, bool reacts) {
              auto* label = new PictureLabel(tileWidget(tile));
              label->setObjectName(QString::fromLatin1(name));
              label->setGeometry(scaled(rect));
              label->setReacts(reacts);
              const BlockClick click{blockOf(tile), element};
              connect(label, &PictureLabel::clicked, this, [this, click] {
                  if (!run_.formDisabled && !run_.stickBusy)
                      emit blockClicked(click);
              });
              label->hide();
              return label;
          };

    for (const PictureSpec& spec : kPictures) {
        const bool inLayer = spec.tile == Tile::LstStandard || spec.tile == Tile::LstRemote;
        const QRect rect = inLayer ? QRect(QPoint(0, 0), kPictureRect.size()) : kPictureRect;
        auto* label = addElement(spec.name, spec.tile, BlockElement::picture, rect, spec.enabled);
        label->setArt([icon = spec.icon, enabled = spec.enabled](QPainter& p, const QRectF& area) {
            paintBlock(p, area, icon, enabled);
        });
    }
    for (const SwitchSpec& spec : kSwitches) {
        auto* label
            = addElement(spec.name, spec.tile, BlockElement::onOff, kSwitchRect, spec.state != SwitchState::Disabled);
        label->setArt([state = spec.state](QPainter& p, const QRectF& area) { paintSwitch(p, area, state); });
    }
    for (const SelectorSpec& spec : kSelectors) {
        auto* label = addElement(spec.name, spec.tile, BlockElement::selector, kSelectorRect, true);
        label->setArt([selector = spec.selector, position = spec.position](QPainter& p, const QRectF& area) {
            const QStringList& captions = selectorCaptions(selector);
            paintSelector(p, area, std::span<const QString>(captions.constData(), captions.size()), position,
                          selector == Selector::RemoteWay);
        });
    }
    for (const LabelSpec& spec : kLabels) {
        auto* label = addElement(spec.name, spec.tile, BlockElement::label, spec.rect, true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(0x26, 0x32, 0x38));
        label->setPalette(palette);
    }
    for (const TxBoxSpec& spec : kTxBoxes) {
        auto* box = new QCheckBox(QStringLiteral("Tx"), tileWidget(spec.tile));
        box->setObjectName(QString::fromLatin1(spec.name));
        box->setGeometry(scaled(spec.rect));
        connect(box, &QCheckBox::clicked, this, &MainPanel::cbOnClick);
    }

    auto* logo = new PictureLabel(this);
    logo->setObjectName(QStringLiteral("pLogo"));
    logo->setReacts(false);
    logo->setGeometry(scaled(QRect(0, 0, kDesignWidth, kActionBarTop)));
    logo->setArt([](QPainter& p, const QRectF& area) { paintLogo(p, area); });
    logo->raise();
}

void MainPanel::buildActionBar()
{
    for (const auto& buttons :
         {std::span<const ButtonSpec>(kMemoryButtons), std::span<const ButtonSpec>(kActionButtons)}) {
        for (const ButtonSpec& spec : buttons) {
            auto* button = new QPushButton(QString::fromLatin1(spec.caption), this);
            button->setObjectName(QString::fromLatin1(spec.name));
            button->setGeometry(scaled(spec.rect));
            button->hide();
            connect(button, &QPushButton::clicked, this, [this, name = button->objectName()] { onActionButton(name); });
        }
    }

    auto* info = new QLabel(QStringLiteral("Info:"), this);
    info->setObjectName(QStringLiteral("lInfo"));
    info->setGeometry(scaled(QRect(226, 452, 38, 30)));
    info->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    info->hide();
    auto* name = new QLineEdit(this);
    name->setObjectName(QStringLiteral("eInfo"));
    name->setGeometry(scaled(QRect(268, 455, 112, 24)));
    name->setMaxLength(8); // a memory name holds at most 8 characters
    name->hide();

    auto* progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("pbFWUpdate"));
    progress->setGeometry(scaled(QRect(482, 499, 170, 20)));
    progress->hide();

    auto* firmware = new PictureLabel(this);
    firmware->setObjectName(QStringLiteral("iFW"));
    firmware->setGeometry(scaled(QRect(356, 495, 28, 28))); // beside "Update FW", clear of the Log group
    firmware->setReacts(false);
    firmware->setArt([](QPainter& p, const QRectF& area) { paintFirmwareChip(p, area); });
    firmware->hide();

    auto* hints = new QCheckBox(QStringLiteral("Show Hints"), this);
    hints->setObjectName(QStringLiteral("cbShowHints"));
    hints->setGeometry(scaled(QRect(16, 544, 110, 22)));
    hints->hide();
    connect(hints, &QCheckBox::toggled, this, &MainPanel::cbShowHintsClick);

    auto* debug = new QCheckBox(QStringLiteral("Debug"), this);
    debug->setObjectName(QStringLiteral("cbStickDebug"));
    debug->setGeometry(scaled(QRect(132, 544, 80, 22)));
    debug->hide();

    buildLogGroup();
    // Most runs never show the debug panel; it is built the first time "Debug" is ticked.
    connect(debug, &QCheckBox::toggled, this, [this](bool checked) { debugPanel()->setVisible(checked); });

    auto* duration = new QPlainTextEdit(this);
    duration->setObjectName(QStringLiteral("Memo1"));
    duration->setGeometry(scaled(QRect(392, 536, 260, 50)));
    duration->setReadOnly(true);
    duration->setPlainText(QStringLiteral("Approx. transfer duration:"));
    duration->hide();

    auto* version = new QLabel(QString::fromLatin1(kVersionText), this);
    version->setObjectName(QStringLiteral("pVersion"));
    version->setGeometry(scaled(QRect(742, 566, 170, 20)));
    version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette palette = version->palette();
    palette.setColor(QPalette::WindowText, QColor(0x60, 0x6b, 0x75));
    version->setPalette(palette);
}

// The device's operation counters, filled by the link engine after a read.
void MainPanel::buildLogGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Log"), this);
    group->setObjectName(QStringLiteral("gbLog"));
    // Below the action buttons, two counters a row: wide enough for 16777215 min.
    group->setGeometry(scaled(QRect(290, 530, 446, 62)));
    auto* layout = new QGridLayout(group);
    layout->setContentsMargins(8, 2, 8, 4);
    layout->setVerticalSpacing(0);
    layout->setHorizontalSpacing(10);
    constexpr int kFieldsPerRow = 2;
    int index = 0;
    for (const auto& [name, caption] : kLogFields) {
        const int row = index / kFieldsPerRow;
        const int column = 2 * (index % kFieldsPerRow);
        layout->addWidget(new QLabel(QString::fromLatin1(caption), group), row, column);
        auto* value = new QLabel(group);
        value->setObjectName(QString::fromLatin1(name));
        layout->addWidget(value, row, column + 1);
        layout->setColumnStretch(column + 1, 1);
        ++index;
    }
    group->hide();
}

// The link engine's debug lines; "Stop" holds the memo still for reading.
QWidget* MainPanel::debugPanel()
{
    if (QWidget* built = element(QStringLiteral("pDebug")))
        return built;
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("pDebug"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setAutoFillBackground(true);
    panel->setGeometry(scaled(QRect(464, 8, 456, 424)));
    auto* layout = new QVBoxLayout(panel);
    auto* memo = new QPlainTextEdit(panel);
    memo->setObjectName(QStringLiteral("mDebug"));
    memo->setReadOnly(true);
    memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(memo);
    auto* hold = new QCheckBox(QStringLiteral("Stop"), panel);
    hold->setObjectName(QStringLiteral("cbDebugHold"));
    layout->addWidget(hold, 0, Qt::AlignLeft); // as wide as its text, so a click on its middle ticks it
    panel->hide();
    elements_.insert(panel->objectName(), panel);
    registerElements(*panel);
    return panel;
}

void MainPanel::initHint()
{
    for (const HintSpec& spec : kHints) {
        for (const char* name : spec.pictures) {
            if (name == nullptr)
                continue;
            named<PictureLabel>(name).setHint(QString::fromLatin1(spec.text));
        }
    }
}

void MainPanel::enableHint(bool on)
{
    for (const HintSpec& spec : kHints) {
        for (const char* name : spec.pictures) {
            if (name == nullptr)
                continue;
            named<PictureLabel>(name).setHintEnabled(on);
        }
    }
}

void MainPanel::showFirmwareIcon(const QString& hint)
{
    auto& icon = named<PictureLabel>("iFW");
    icon.setHint(hint);
    // The version hint is the icon's only content: it does not follow "Show Hints".
    icon.setHintEnabled(true);
    icon.show();
}

void MainPanel::cbShowHintsClick(bool checked)
{
    enableHint(checked);
}

void MainPanel::onActionButton(const QString& name)
{
    if (run_.stickBusy)
        return;
    const bool memoryButton = name.startsWith(QStringLiteral("bM")) && name.size() == 3;
    const bool modeButton = name == QLatin1String(kEraseButton) && run_.modeButtonShown;
    if (memoryButton || modeButton || !run_.formDisabled)
        emit actionClicked(name);
}

void MainPanel::moveGr(bool remoteLayout)
{
    remoteLayout_ = remoteLayout;
    if (remoteLayout)
        run_.skipFW = true;
    for (const TileSpec& spec : kTiles) {
        if (spec.standardOnly)
            setShown(tileName(spec.tile), !remoteLayout);
    }
    setShown(tileName(Tile::LstStandard), !remoteLayout);
    setShown(tileName(Tile::LstRemote), remoteLayout);
    for (const TxBoxSpec& spec : kTxBoxes)
        setShown(QString::fromLatin1(spec.name), remoteLayout);
    update();
}

void MainPanel::showLogo(bool shown)
{
    setShown(QStringLiteral("pLogo"), shown);
    // What the logo covers takes no keyboard focus: Tab never lands on a hidden box.
    for (const TileSpec& spec : kTiles)
        element(tileName(spec.tile))->setEnabled(!shown);
}

void MainPanel::setRemCB(Byte status)
{
    for (std::size_t i = 0; i < kTxBoxes.size(); ++i) {
        named<QCheckBox>(kTxBoxes[i].name).setChecked(TestBit(status, static_cast<Byte>(i)));
    }
}

Byte MainPanel::txSelection() const
{
    Byte status = 0;
    for (std::size_t i = 0; i < kTxBoxes.size(); ++i) {
        if (named<QCheckBox>(kTxBoxes[i].name).isChecked())
            status = SetBit(status, static_cast<Byte>(i));
    }
    return status;
}

void MainPanel::cbOnClick()
{
    named<QPlainTextEdit>("Memo1").setPlainText(
        QStringLiteral("Approx. transfer duration:\n")
        + QString::fromStdString(durationText(txDuration(eeBlock_, txSelection()))));
}

void MainPanel::enableButtons()
{
    if (run_.usbStick) {
        setShown(QStringLiteral("bUpdateFw"), true);
        setShown(QStringLiteral("bReread"), true);
    } else if (!run_.demo) {
        // Without a stick there is no memory to cancel or name; the memory-mode group stays hidden.
        setShown(QStringLiteral("bMemCancel"), true);
        QPushButton& erase = eraseButton();
        erase.setText(QString::fromLatin1(kEraseCaption));
        erase.setVisible(run_.enableErase && !run_.modeQueryAnswered);
        setShown(QStringLiteral("lInfo"), true);
        setShown(QStringLiteral("eInfo"), true);
    }
    for (const char* name : kEveryModeButtons)
        setShown(QString::fromLatin1(name), true);
}

void MainPanel::disableButtons()
{
    while (QApplication::overrideCursor() != nullptr)
        QApplication::restoreOverrideCursor();
    for (const char* name : kActionElements)
        setShown(QString::fromLatin1(name), false);
}

// ---- The action bar's elements ---------------------------------------------------------

QPushButton& MainPanel::memoryButton(int n) const
{
    return named<QPushButton>(kMemoryButtons[static_cast<std::size_t>(n - 1)].name);
}

QLineEdit& MainPanel::infoField() const
{
    return named<QLineEdit>("eInfo");
}

QPushButton& MainPanel::eraseButton() const
{
    return named<QPushButton>(kEraseButton);
}

void MainPanel::showFileButtons(bool shown)
{
    for (const char* name : kFileButtons)
        setShown(QString::fromLatin1(name), shown);
}

void MainPanel::showDebugBox(bool shown)
{
    setShown(QStringLiteral("cbStickDebug"), shown);
}

void MainPanel::showTransferDuration(bool shown)
{
    setShown(QStringLiteral("Memo1"), shown);
}

void MainPanel::showHintsBox(bool shown)
{
    setShown(QStringLiteral("cbShowHints"), shown);
}

void MainPanel::startFirmwareProgress(int pages)
{
    auto& progress = named<QProgressBar>("pbFWUpdate");
    progress.setRange(0, pages);
    progress.setValue(0);
    progress.show();
}

void MainPanel::setFirmwareProgress(int page)
{
    named<QProgressBar>("pbFWUpdate").setValue(page);
}

void MainPanel::hideFirmwareProgress()
{
    setShown(QStringLiteral("pbFWUpdate"), false);
}

void MainPanel::showDeviceLog(const std::optional<DeviceLog>& values)
{
    if (values) {
        const QString texts[] = {
            QString::number(values->operationMinutes) + QStringLiteral(" min"),
            QString::number(values->switchCount),
            QString::number(values->overTempMinutes) + QStringLiteral(" min"),
            QString::number(values->maxTemperature) + QStringLiteral(" °C"),
        };
        for (std::size_t i = 0; i < std::size(kLogFields); ++i)
            setLabel(kLogFields[i].first, texts[i]);
    }
    setShown(QStringLiteral("gbLog"), values.has_value());
}

void MainPanel::logDebugLine(const QString& line)
{
    auto* memo = qobject_cast<QPlainTextEdit*>(element(QStringLiteral("mDebug")));
    const bool taking = run_.debugMode && memo != nullptr && named<QCheckBox>("cbStickDebug").isChecked()
        && !named<QCheckBox>("cbDebugHold").isChecked();
    if (taking)
        memo->appendPlainText(line);
}

// ---- setDisplay -----------------------------------------------------------------------

void MainPanel::setDisplay()
{
    if (eeBlock_.size() < kStoredImageBytes)
        return;
    if (run_.remoteMode) {
        drawLstRemote();
    } else {
        drawLstStandard();
        drawOutput();
        drawBlockTimer();
        drawMff();
        drawThermal();
        drawRemoteControl();
    }
    drawIsd();
    drawPowerOnLabels();
    setShown(QStringLiteral("cbShowHints"), true);
    showLogo(false);
    // After the blocks: drawing them may have unticked Tx boxes of functions now off.
    if (remoteLayout_)
        cbOnClick();
}

void MainPanel::drawLstStandard()
{
    const bool lstOn = imageBit(bit::lstEnable);
    const bool holdOn = eeBlock_[field::holdTime] != 0;
    if (lstOn) {
        showOnly({"iLst_en", "iLST_pol", "LST_dis"}, imageBit(bit::lstPolarity) ? "iLST_pol" : "iLst_en");
        showOnly({"SW_lst_close", "sw_lst_open"}, "SW_lst_close");
        showOnly({"iISD2_en", "dm2_dis"}, "iISD2_en");
        showOnly({"iTHold_en", "HOLD_dis"}, holdOn ? "iTHold_en" : "HOLD_dis");
        showOnly({"sw_hold_on", "sw_hold_off", "SW_hold_dis"}, holdOn ? "sw_hold_on" : "sw_hold_off");
        setLabel("lHold", QString::fromStdString(displayTime(DecodeTime(eeBlock_[field::holdTime]))));
    } else {
        showOnly({"iLst_en", "iLST_pol", "LST_dis"}, "LST_dis");
        showOnly({"SW_lst_close", "sw_lst_open"}, "sw_lst_open");
        showOnly({"iISD2_en", "dm2_dis"}, "dm2_dis");
        showOnly({"iTHold_en", "HOLD_dis"}, "HOLD_dis");
        showOnly({"sw_hold_on", "sw_hold_off", "SW_hold_dis"}, "SW_hold_dis");
    }
    setShown(QStringLiteral("lHold"), lstOn && holdOn);
}

void MainPanel::drawLstRemote()
{
    const bool lstOn = imageBit(bit::lstEnable);
    showOnly({"Lst_en_r1", "LST_dis_r1"}, lstOn ? "Lst_en_r1" : "LST_dis_r1");
    showOnly({"SW_lst_close", "sw_lst_open"}, lstOn ? "SW_lst_close" : "sw_lst_open");
    showOnly({"iISD2_en", "dm2_dis"}, lstOn ? "iISD2_en" : "dm2_dis");
    // Engine 2's steps go into the remote frames only while the LSt input is on.
    auto& engine2Tx = named<QCheckBox>("cbTXLstEngine");
    engine2Tx.setEnabled(lstOn);
    if (!lstOn)
        engine2Tx.setChecked(false);
}

void MainPanel::drawOutput()
{
    const char* picture = "iTen";
    const char* selector = "SW_Ten";
    if (imageBit(bit::outputDali)) {
        picture = "Dali";
        selector = "SW_DALI";
    } else if (imageBit(bit::outputVariant)) {
        picture = "PWM";
        selector = "SW_PWM";
    }
    showOnly({"iTen", "Dali", "PWM"}, picture);
    showOnly({"SW_Ten", "SW_DALI", "SW_PWM"}, selector);
    setLabel("lMinLevel", QStringLiteral("Min. Level=%1%").arg(eeBlock_[field::minLevel]));
    setShown(QStringLiteral("lMinLevel"), true);
}

void MainPanel::drawBlockTimer()
{
    const int blockTime = eeBlock_[field::blockTime];
    const bool on = blockTime != 0;
    showOnly({"iTBlock_en", "Block_dis"}, on ? "iTBlock_en" : "Block_dis");
    showOnly({"SW_block_close", "sw_block_open"}, on ? "SW_block_close" : "sw_block_open");
    setLabel("lBlock", QString::fromStdString(displayTime(blockTime * 5)));
    setShown(QStringLiteral("lBlock"), on);
}

void MainPanel::drawMff()
{
    const bool on = eeBlock_[field::mffLifetime] != 0 || eeBlock_[field::burnInHours] != 0;
    showOnly({"iMFF_en", "MFF_dis"}, on ? "iMFF_en" : "MFF_dis");
    showOnly({"SW_mff_on", "sw_mff_off"}, on ? "SW_mff_on" : "sw_mff_off");
}

void MainPanel::drawThermal()
{
    const bool on = imageBit(bit::tmEnable);
    showOnly({"iTM", "iTM_dis"}, on ? "iTM" : "iTM_dis");
    showOnly({"sw_tm_on", "sw_tm_off"}, on ? "sw_tm_on" : "sw_tm_off");
}

void MainPanel::drawRemoteControl()
{
    const char* way = "rc_off";
    if (imageBit(bit::remoteViaMains))
        way = "rc_main";
    else if (imageBit(bit::remoteViaLst))
        way = "rc_lst";
    showOnly({"rc_off", "rc_main", "rc_lst"}, way);
    showOnly({"iRemote_en", "rem_dis"}, std::string_view(way) == "rc_off" ? "rem_dis" : "iRemote_en");
}

void MainPanel::drawIsd()
{
    const bool on = imageBit(bit::isdEnable);
    showOnly({"iISD_en", "Astro_dis"}, on ? "iISD_en" : "Astro_dis");
    showOnly({"SW_astro_close", "sw_astro_open"}, on ? "SW_astro_close" : "sw_astro_open");
    showOnly({"iISD1_en", "dm1_dis"}, on ? "iISD1_en" : "dm1_dis");
    // The DST state and engine 1's steps go into the remote frames only while ISD is on.
    for (const char* name : {"cbTxISD", "cbTxISDEngine"}) {
        auto& tx = named<QCheckBox>(name);
        tx.setEnabled(on);
        if (!on)
            tx.setChecked(false);
    }
}

void MainPanel::drawPowerOnLabels()
{
    const Byte delay = eeBlock_[field::powerOnDelay];
    setLabel("lPO_Level", QStringLiteral("L=%1%").arg(eeBlock_[field::powerOnLevel]));
    setLabel("lPO_Delay",
             delay == kRandomDelay ? QStringLiteral("D=Random")
                                   : QStringLiteral("D=") + QString::fromStdString(displayTime(DecodeTime(delay))));
    setLabel("lPO_Fade",
             QStringLiteral("F=") + QString::fromStdString(displayTime2(DecodeTime(eeBlock_[field::powerOnFade]))));
    for (const char* name : {"lPO_Level", "lPO_Delay", "lPO_Fade"})
        setShown(QString::fromLatin1(name), true);
}

// ---- Small helpers ----------------------------------------------------------------------

bool MainPanel::imageBit(Byte bit) const
{
    return TestBit(eeBlock_[field::outputByte], bit);
}

QWidget* MainPanel::element(const QString& name) const
{
    return elements_.value(name, nullptr);
}

void MainPanel::setShown(const QString& name, bool shown)
{
    if (QWidget* widget = element(name))
        widget->setVisible(shown);
}

void MainPanel::showOnly(std::initializer_list<const char*> group, const char* chosen)
{
    for (const char* name : group)
        setShown(QString::fromLatin1(name), std::string_view(name) == chosen);
}

void MainPanel::setLabel(const char* name, const QString& text)
{
    named<QLabel>(name).setText(text);
}

void MainPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintPanelBackground(painter, QRectF(rect()), kActionBarTop * scale_, remoteLayout_);
    // Each block sits on its own card, so its picture, switch and labels read as one.
    for (const TileSpec& spec : kTiles) {
        const QWidget* tile = element(tileName(spec.tile));
        if (tile != nullptr && tile->isVisibleTo(this))
            paintBlockCard(painter, QRectF(tile->geometry()));
    }
}

} // namespace ormid
