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

#include <array>
#include <span>
#include <string_view>

#include "app/block_pictures.h"
#include "app/panel_layout.h"
#include "core/encodings.h"
#include "core/panel_view.h"
#include "core/remote_frames.h"

namespace ormid {

using namespace panelLayout;

MainPanel::MainPanel(const RunState& run, const EeBlock& eeBlock, const Byte& txSelection, QWidget* parent)
    : QWidget(parent), run_(run), eeBlock_(eeBlock), txSelection_(txSelection)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        scale_ = screen->logicalDotsPerInch() / 96.0;
    setFixedSize(scaled(QRect(0, 0, kDesignWidth, kDesignHeight)).size());
    buildBlocks();
    buildActionBar();
    registerElements(*this);
    for (const char* name : kAlwaysShown)
        setShown(QString::fromLatin1(name), true);
    setBlockHints();
    useLayout(false);
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
    for (std::size_t i = 0; i < kTxBoxes.size(); ++i) {
        const TxBoxSpec& spec = kTxBoxes[i];
        auto* box = new QCheckBox(QStringLiteral("Tx"), tileWidget(spec.tile));
        box->setObjectName(QString::fromLatin1(spec.name));
        box->setGeometry(scaled(spec.rect));
        connect(box, &QCheckBox::clicked, this,
                [this, bit = static_cast<Byte>(i)](bool ticked) { emit txBoxClicked(bit, ticked); });
    }

    auto* logo = new PictureLabel(this);
    logo->setObjectName(QStringLiteral("pLogo"));
    logo->setReacts(false);
    logo->setGeometry(scaled(kLogoRect));
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
            connect(button, &QPushButton::clicked, this, [this, action = spec.action] { onActionButton(action); });
        }
    }

    auto* info = new QLabel(QStringLiteral("Info:"), this);
    info->setObjectName(QStringLiteral("lInfo"));
    info->setGeometry(scaled(kInfoLabelRect));
    info->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    info->hide();
    auto* name = new QLineEdit(this);
    name->setObjectName(QStringLiteral("eInfo"));
    name->setGeometry(scaled(kInfoFieldRect));
    name->setMaxLength(8); // a memory name holds at most 8 characters
    name->hide();
    connect(name, &QLineEdit::textEdited, this, &MainPanel::memoryNameEdited);

    auto* progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("pbFWUpdate"));
    progress->setGeometry(scaled(kFirmwareProgressRect));
    progress->hide();

    auto* firmware = new PictureLabel(this);
    firmware->setObjectName(QStringLiteral("iFW"));
    firmware->setGeometry(scaled(kFirmwareIconRect));
    firmware->setReacts(false);
    firmware->setArt([](QPainter& p, const QRectF& area) { paintFirmwareChip(p, area); });
    firmware->hide();

    auto* hints = new QCheckBox(QStringLiteral("Show Hints"), this);
    hints->setObjectName(QStringLiteral("cbShowHints"));
    hints->setGeometry(scaled(kShowHintsRect));
    hints->hide();
    connect(hints, &QCheckBox::toggled, this, &MainPanel::enableHint);

    auto* debug = new QCheckBox(QStringLiteral("Debug"), this);
    debug->setObjectName(QStringLiteral("cbStickDebug"));
    debug->setGeometry(scaled(kDebugBoxRect));
    debug->hide();

    buildLogGroup();
    // Most runs never show the debug panel; it is built the first time "Debug" is ticked.
    connect(debug, &QCheckBox::toggled, this, [this](bool checked) { debugPanel()->setVisible(checked); });

    auto* duration = new QPlainTextEdit(this);
    duration->setObjectName(QStringLiteral("Memo1"));
    duration->setGeometry(scaled(kDurationRect));
    duration->setReadOnly(true);
    duration->setPlainText(QStringLiteral("Approx. transfer duration:"));
    duration->hide();

    auto* version = new QLabel(QString::fromLatin1(kVersionText), this);
    version->setObjectName(QStringLiteral("pVersion"));
    version->setGeometry(scaled(kVersionRect));
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
    group->setGeometry(scaled(kLogGroupRect));
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
    panel->setGeometry(scaled(kDebugPanelRect));
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

template <typename Apply>
void MainPanel::forEachHintedPicture(Apply apply) const
{
    for (const HintSpec& spec : kHints) {
        for (const char* name : spec.pictures) {
            if (name != nullptr)
                apply(named<PictureLabel>(name), spec);
        }
    }
}

void MainPanel::setBlockHints()
{
    forEachHintedPicture(
        [](PictureLabel& picture, const HintSpec& spec) { picture.setHint(QString::fromLatin1(spec.text)); });
}

void MainPanel::enableHint(bool on)
{
    forEachHintedPicture([on](PictureLabel& picture, const HintSpec&) { picture.setHintEnabled(on); });
}

void MainPanel::showFirmwareIcon(const QString& hint)
{
    auto& icon = named<PictureLabel>("iFW");
    icon.setHint(hint);
    // The version hint is the icon's only content: it does not follow "Show Hints".
    icon.setHintEnabled(true);
    icon.show();
}

void MainPanel::onActionButton(Action action)
{
    if (run_.stickBusy)
        return;
    const bool modeButton = action == Action::erase && run_.modeButtonShown;
    if (memoryNumber(action) != 0 || modeButton || !run_.formDisabled)
        emit actionClicked(action);
}

void MainPanel::useLayout(bool remoteLayout)
{
    remoteLayout_ = remoteLayout;
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

void MainPanel::showTxSelection()
{
    for (std::size_t i = 0; i < kTxBoxes.size(); ++i)
        named<QCheckBox>(kTxBoxes[i].name).setChecked(TestBit(txSelection_, static_cast<Byte>(i)));
    named<QPlainTextEdit>("Memo1").setPlainText(
        QStringLiteral("Approx. transfer duration:\n")
        + QString::fromStdString(durationText(transmissionSeconds(eeBlock_, txSelection_))));
}

void MainPanel::showActionButtons()
{
    if (run_.usbStick()) {
        setShown(QStringLiteral("bUpdateFw"), true);
        setShown(QStringLiteral("bReread"), true);
    } else if (!run_.demo()) {
        // Without a stick there is no memory to cancel or name; the memory-mode group stays hidden.
        setShown(QStringLiteral("bMemCancel"), true);
        QPushButton& erase = eraseButton();
        erase.setText(QString::fromLatin1(kEraseCaption));
        erase.setVisible(run_.options.enableErase && !run_.modeQueryAnswered);
        setShown(QStringLiteral("lInfo"), true);
        setShown(QStringLiteral("eInfo"), true);
    }
    for (const char* name : kEveryModeButtons)
        setShown(QString::fromLatin1(name), true);
}

void MainPanel::hideActionButtons()
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

void MainPanel::showMemoryName(const QString& name)
{
    infoField().setText(name);
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
    const bool taking = run_.options.debugMode && memo != nullptr && named<QCheckBox>("cbStickDebug").isChecked()
        && !named<QCheckBox>("cbDebugHold").isChecked();
    if (taking)
        memo->appendPlainText(line);
}

// ---- setDisplay -----------------------------------------------------------------------

void MainPanel::setDisplay()
{
    const std::optional<PanelView> view
        = panelView(eeBlock_, remoteLayout_ ? PanelLayout::remote : PanelLayout::standard);
    if (!view)
        return;
    for (const BlockView& block : view->blocks) {
        for (const ElementView& element : block.elements)
            setShown(elementName(element.name), element.shown);
        for (const LabelView& label : block.labels) {
            setLabel(label.name, QString::fromStdString(label.text));
            setShown(elementName(label.name), label.shown);
        }
        for (const TxBoxView& tx : block.txBoxes)
            named<QCheckBox>(tx.name).setEnabled(tx.enabled);
    }
    setShown(QStringLiteral("cbShowHints"), true);
    showLogo(false);
    if (remoteLayout_)
        showTxSelection();
}

// ---- Small helpers ----------------------------------------------------------------------

QString MainPanel::elementName(std::string_view name)
{
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
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

void MainPanel::setLabel(std::string_view name, const QString& text)
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
