#include "editors/timing/dimming_engine_editor.h"
#include "editors/panel_grid.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <optional>

#include "editors/click_field.h"

namespace ormid {

// clang-format off
const EngineLayout kEngine1Layout{
    DimmingEngine::engine1, FunctionBlock::engine1, "pDimmer1", "Dimming Engine 1", "Time", kindTimeOfDay,
    RelayFollowsLevel::anyLevel,
    "ED1_gb", "eD1_Time", "eD1_Fade", "eD1_Level", "rbD1_On", "rbD1_Off", "ED1_cbDel",
    {"pD1Slider", "sbD1", "comboD1"},
    "bDimmer1_OK", "bDimmer1_Cancel", "bHelpD1a", "pHelpD1a", nullptr, paintEngine1Help,
};
const EngineLayout kEngine2Layout{
    DimmingEngine::engine2, FunctionBlock::engine2, "pDimmer2", "Dimming Engine 2", "Delay", kindDelay,
    RelayFollowsLevel::remoteLevel,
    "ED2_gb", "eD2_Delay", "eD2_Fade", "eD2_Level", "rbD2_On", "rbD2_Off", "ED2_cbDel",
    {"pD2Slider", "sbD2", "comboD2"},
    "bDimmer2OK", "bDimmer2Cancel", "bQuestion", "pHelpD1", "Image2", paintEngine2Help,
};
// clang-format on

namespace {

constexpr int kRows = static_cast<int>(field::stepCount);
const QColor kUsedRow(192, 220, 192);
const QColor kFreeRow(192, 192, 192);

// The relay buttons of a row: "Off" or "On" as a used step stores it, neither for a
// free step, which has no relay state.
void showRelay(const StepRowControls& controls, std::optional<bool> off)
{
    if (off) {
        (*off ? controls.relayOff : controls.relayOn)->setChecked(true);
        return;
    }
    for (QRadioButton* button : {controls.relayOn, controls.relayOff}) {
        // An exclusive button cannot be unchecked while it is the group's checked one.
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    }
}

QString rowName(const char* prefix, int row)
{
    return QString::fromLatin1(prefix) + QString::number(row);
}

QString rowStyle(const QColor& colour)
{
    // The row number sits left of the fields, so that ten rows fit over the blocks.
    return QStringLiteral(
               "QGroupBox { background-color: %1; border: 1px solid %2; border-radius: 3px;"
               " margin: 0px; padding: 1px 4px 1px 30px; }"
               "QGroupBox::title { subcontrol-origin: border; subcontrol-position: center left;"
               " padding-left: 8px; font-weight: bold; }"
               // A row that cannot be used yet still reads as a row.
               "QGroupBox::title:disabled, QLabel:disabled, QRadioButton:disabled { color: rgb(100, 100, 100); }")
        .arg(colour.name(), colour.darker(125).name());
}

} // namespace

DimmingEngineEditor::DimmingEngineEditor(const EngineLayout& layout, bool remoteLayout, QWidget* parent)
    : Editor(QString::fromLatin1(layout.title), parent), layout_(layout), remoteLayout_(remoteLayout)
{
    setObjectName(QString::fromLatin1(layout.panel));

    auto* table = new QWidget(this);
    auto* grid = new QGridLayout(table);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    deleteCaption_ = new QLabel(QStringLiteral("DEL"), table);
    // The rows keep their width and place while the caption and the delete boxes come and go.
    keepPlaceWhenHidden(*deleteCaption_);
    grid->addWidget(deleteCaption_, 0, 1, Qt::AlignHCenter);
    grid->setColumnMinimumWidth(1, deleteCaption_->sizeHint().width() + 8);
    for (int row = 1; row <= kRows; ++row)
        buildRow(row, *table);

    strip_ = new StepEditor(layout.strip,
                            {.first = 1,
                             .last = kRows,
                             .controls = [this](int row) { return rowControls(row); },
                             .takeIntoUse = [this](int row) { takeIntoUse(row); },
                             .relay = layout.relay},
                            this);

    auto* help = helpButton(layout.helpButton);
    QLayout* buttons = okCancelRow(layout.ok, layout.cancel, help);

    auto* column = new QVBoxLayout(this);
    setCardLayout(*column);
    column->addWidget(table);
    column->addWidget(strip_);
    column->addStretch(1);
    column->addLayout(buttons);

    help_ = new HelpPicture(layout.help, layout.helpPanel, layout.helpPicture, this);
    connect(help, &QPushButton::clicked, this, [this] { help_->showOver(captionBand()); });
}

void DimmingEngineEditor::buildRow(int row, QWidget& rows)
{
    auto* group = new QGroupBox(QString::number(row), &rows);
    group->setObjectName(rowName(layout_.group, row));
    StepRowControls& controls = rows_[static_cast<std::size_t>(row - 1)];
    controls.group = group;
    controls.when = new ClickField(rowName(layout_.first, row), 72, group);
    controls.fade = new ClickField(rowName(layout_.fade, row), 64, group);
    controls.level = new ClickField(rowName(layout_.level, row), 44, group);
    controls.relayOn = new QRadioButton(QStringLiteral("On"), group);
    controls.relayOn->setObjectName(rowName(layout_.on, row));
    controls.relayOff = new QRadioButton(QStringLiteral("Off"), group);
    controls.relayOff->setObjectName(rowName(layout_.off, row));

    const struct {
        ClickField* field;
        Column column;
    } clicks[] = {{controls.when, Column::first}, {controls.fade, Column::fade}, {controls.level, Column::level}};
    for (const auto& click : clicks)
        connect(click.field, &ClickField::clicked, this,
                [this, row, column = click.column] { editField(row, column); });

    auto* line = new QHBoxLayout(group);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(new QLabel(QString::fromLatin1(layout_.firstCaption), group));
    line->addWidget(controls.when);
    line->addSpacing(10);
    line->addWidget(new QLabel(QStringLiteral("Fade Speed"), group));
    line->addWidget(controls.fade);
    line->addWidget(new QLabel(QStringLiteral("s/%"), group));
    line->addSpacing(10);
    line->addWidget(new QLabel(QStringLiteral("Level"), group));
    line->addWidget(controls.level);
    line->addWidget(new QLabel(QStringLiteral("%"), group));
    line->addSpacing(10);
    line->addWidget(new QLabel(QStringLiteral("Relay"), group));
    line->addWidget(controls.relayOn);
    line->addWidget(controls.relayOff);
    line->addStretch(1);

    auto* grid = static_cast<QGridLayout*>(rows.layout());
    grid->addWidget(group, row, 0);
    if (row > 1) {
        controls.deleteBox = new QCheckBox(&rows);
        controls.deleteBox->setObjectName(rowName(layout_.remove, row));
        keepPlaceWhenHidden(*controls.deleteBox);
        connect(controls.deleteBox, &QCheckBox::clicked, this, [this, row] { deleteStep(row); });
        grid->addWidget(controls.deleteBox, row, 1, Qt::AlignCenter);
    }
}

// Over the blocks, leaving the action bar free.
QRect DimmingEngineEditor::designGeometry() const
{
    constexpr int kWidth = 660;
    // Half the inset above: the ten step rows need the height.
    return {(panelGrid::kWidth - kWidth) / 2, panelGrid::kInset / 2, kWidth,
            panelGrid::kBlocksHeight - 2 * panelGrid::kInset};
}

StepRowControls DimmingEngineEditor::rowControls(int row) const
{
    return rows_[static_cast<std::size_t>(row - 1)];
}

void DimmingEngineEditor::open(EeBlock& image)
{
    stepBuffer_ = loadSteps(image, layout_.engine);
    linesRemoved_ = false;
    strip_->setMinLevel(image[field::minLevel]);
    bool enabled = true;
    for (int row = 1; row <= kRows; ++row)
        enabled = fillRow(enabled, row);
    strip_->closeStrip();
    help_->dismiss();
}

bool DimmingEngineEditor::fillRow(bool enabled, int row)
{
    const StepRowView view = drawStepRow(layout_.engine, stepBuffer_, row, enabled, remoteLayout_);
    const StepRowControls controls = rowControls(row);
    controls.when->setText(QString::fromStdString(view.first));
    controls.fade->setText(QString::fromStdString(view.fade));
    controls.level->setText(QString::fromStdString(view.level));
    showRelay(controls, view.used ? std::optional<bool>(view.off) : std::nullopt);
    for (ClickField* field : {controls.when, controls.fade, controls.level})
        field->setHighlighted(false);
    showRowState(row, view.used, enabled);
    return view.used;
}

void DimmingEngineEditor::showRowState(int row, bool used, bool enabled)
{
    const StepRowControls controls = rowControls(row);
    controls.group->setStyleSheet(rowStyle(used ? kUsedRow : kFreeRow));
    controls.group->setEnabled(enabled);
    if (controls.deleteBox != nullptr)
        controls.deleteBox->setVisible(used);
    deleteCaption_->setVisible(!rowControls(2).deleteBox->isHidden());
}

void DimmingEngineEditor::editField(int row, Column column)
{
    const bool remote = remoteLayout_;
    const StepKind kinds[] = {layout_.firstKind, fadeKind(remote), levelKind(remote)};
    strip_->editField(stepTag(row, kinds[static_cast<int>(column)]));
}

void DimmingEngineEditor::takeIntoUse(int row)
{
    rowControls(row).level->setText(QStringLiteral("100"));
    // What OK stores for a level without "Off".
    showRelay(rowControls(row), false);
    showRowState(row, true, true);
    if (row < kRows)
        fillRow(true, row + 1);
}

void DimmingEngineEditor::deleteStep(int row)
{
    rowControls(row).deleteBox->setChecked(false);
    for (int k = row; k <= kRows; ++k)
        fillRow(false, k);
    fillRow(true, row);
    strip_->closeStrip();
}

void DimmingEngineEditor::apply(EeBlock& image)
{
    StepRows rows;
    for (int row = 1; row <= kRows; ++row) {
        const StepRowControls controls = rowControls(row);
        rows[static_cast<std::size_t>(row - 1)]
            = {controls.when->text().toStdString(), controls.fade->text().toStdString(),
               controls.level->text().toStdString(), controls.relayOff->isChecked()};
    }
    if (layout_.engine == DimmingEngine::engine1)
        linesRemoved_ = applyEngine1(image, rows);
    else
        applyEngine2(image, rows);
}

void DimmingEngineEditor::closing()
{
    strip_->closeStrip();
    help_->dismiss();
}

QString DimmingEngineEditor::repaired() const
{
    return linesRemoved_ ? QStringLiteral("Error: Invalid Times. Lines were removed!") : QString();
}

} // namespace ormid
