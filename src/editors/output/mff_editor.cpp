#include "editors/output/mff_editor.h"

#include <algorithm>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "editors/click_field.h"
#include "editors/output/mff_chart.h"
#include "editors/panel_grid.h"
#include "editors/slider_strip.h"

namespace ormid {

namespace {

enum class Group { mff, bbt };

struct FieldSpec {
    MffTag tag;
    const char* name;
    const char* caption;
    const char* unit;
    Group group;
    int row;
    int column; // 0 or 1: two fields a row in the MFF group
};

constexpr FieldSpec kFields[] = {
    {tagLifeTime, "eLifeTime", "Lifetime", "h", Group::mff, 0, 0},
    {tagReduction, "eReduction", "Start Level", "%", Group::mff, 1, 0},
    {tagStopLevel, "eStopLevel", "Stop Level", "%", Group::mff, 2, 0},
    {tagL1, "eL1", "L1", "%", Group::mff, 0, 1},
    {tagL2, "eL2", "L2", "%", Group::mff, 1, 1},
    {tagL3, "eL3", "L3", "%", Group::mff, 2, 1},
    {tagBurnIn, "eBurnIn", "Burn-In Period", "h", Group::bbt, 0, 0},
};

constexpr MffTag kLevelTags[] = {tagReduction, tagStopLevel, tagL1, tagL2, tagL3};

} // namespace

MffEditor::MffEditor(QWidget* parent) : Editor(QStringLiteral("MFF / BBT"), parent)
{
    setObjectName(QStringLiteral("pMFF"));

    auto* mff = new QGroupBox(QStringLiteral("MFF Setup"), this);
    auto* bbt = new QGroupBox(QStringLiteral("BBT Setup"), this);
    auto* mffGrid = new QGridLayout(mff);
    auto* bbtGrid = new QGridLayout(bbt);
    for (const FieldSpec& spec : kFields) {
        auto* edit = new ClickField(this);
        edit->setObjectName(QString::fromLatin1(spec.name));
        edit->setFixedWidth(64);
        fields_[static_cast<std::size_t>(spec.tag - 1)] = edit;
        connect(edit, &ClickField::clicked, this, [this, tag = spec.tag] { editField(tag); });
        QGridLayout* grid = spec.group == Group::mff ? mffGrid : bbtGrid;
        const int column = 3 * spec.column;
        grid->addWidget(new QLabel(QString::fromLatin1(spec.caption), this), spec.row, column);
        grid->addWidget(edit, spec.row, column + 1);
        grid->addWidget(new QLabel(QString::fromLatin1(spec.unit), this), spec.row, column + 2);
    }
    mffGrid->setColumnMinimumWidth(3, 70);
    bbtGrid->setColumnStretch(3, 1);

    cbresetOH_ = new QCheckBox(QStringLiteral("Reset operating hours"), this);
    cbresetOH_->setObjectName(QStringLiteral("cbresetOH"));

    pMFFSlider_ = new SliderStrip("pMFFSlider", "sbMFF", this);
    sbMFF_ = &pMFFSlider_->slider();
    sbMFF_->setPageStep(10);
    connect(sbMFF_, &QSlider::valueChanged, this, &MffEditor::writeSliderValue);

    auto* help = helpButton("bMFFHelp");
    connect(help, &QPushButton::clicked, this, &MffEditor::showChart);
    QLayout* buttons = okCancelRow("bMFFOk", "bMFFCancel", help);

    auto* layout = new QVBoxLayout(this);
    setCardLayout(*layout);
    layout->addWidget(mff);
    layout->addWidget(bbt);
    // As wide as its text: a click anywhere on it ticks it.
    layout->addWidget(cbresetOH_, 0, Qt::AlignLeft);
    layout->addWidget(pMFFSlider_);
    layout->addStretch(1);
    layout->addLayout(buttons);

    chart_ = new MffChart(this);
    connect(chart_, &MffChart::clicked, this, &MffEditor::hideChart);
}

// Over the MFF block and the thermal block beside it.
QRect MffEditor::designGeometry() const
{
    constexpr int kLeft = panelGrid::columnLeft(2);
    return {kLeft, panelGrid::kInset, panelGrid::kWidth - panelGrid::kInset - kLeft, 330};
}

ClickField& MffEditor::field(MffTag tag) const
{
    return *fields_[static_cast<std::size_t>(tag - 1)];
}

MffFields MffEditor::texts() const
{
    MffFields fields;
    for (const FieldSpec& spec : kFields)
        fields[spec.tag] = field(spec.tag).text().toStdString();
    return fields;
}

void MffEditor::showTexts(const MffFields& fields)
{
    for (const FieldSpec& spec : kFields)
        field(spec.tag).setText(QString::fromStdString(fields[spec.tag]));
    // A level field reading "-" takes no click.
    for (const MffTag tag : kLevelTags)
        field(tag).setEnabled(mffLevelsEnabled(fields));
}

void MffEditor::open(EeBlock& image)
{
    showTexts(readMff(image));
    closing();
}

void MffEditor::editField(MffTag tag)
{
    tag_ = tag;
    MffFields fields = texts();
    const MffSlider slider = openMffField(fields, tag);
    showTexts(fields);
    // The field already holds the slider's value: placing the slider changes nothing.
    const QSignalBlocker quiet(sbMFF_);
    sbMFF_->setRange(slider.minimum, slider.maximum);
    sbMFF_->setValue(slider.position);
    pMFFSlider_->attach(field(tag));
}

void MffEditor::writeSliderValue(int position)
{
    if (tag_ == noMffField)
        return;
    MffFields fields = texts();
    setMffField(fields, tag_, position);
    showTexts(fields);
}

void MffEditor::apply(EeBlock& image)
{
    applyMff(image, texts(), cbresetOH_->isChecked());
}

void MffEditor::closing()
{
    pMFFSlider_->detach();
    tag_ = noMffField;
    hideChart();
}

void MffEditor::switchedOff()
{
    cbresetOH_->setChecked(false);
}

void MffEditor::showChart()
{
    if (chart_->isVisible())
        return;
    normalGeometry_ = geometry();
    const qreal scale = normalGeometry_.width() / static_cast<qreal>(designGeometry().width());
    const int side = qRound(kChartSize * scale);
    constexpr int kFrame = 2;
    const int width = std::max(normalGeometry_.width(), side + 2 * kFrame);
    const int height = captionBand() + side + 2 * kFrame;
    // Grown leftwards and downwards, so it stays over the blocks.
    setGeometry(normalGeometry_.right() + 1 - width, normalGeometry_.top(), width, height);
    chart_->setGeometry((width - side) / 2, captionBand() + kFrame, side, side);
    chart_->setPoints(mffChartPoints(texts()));
    chart_->show();
    chart_->raise();
}

void MffEditor::hideChart()
{
    if (!chart_->isVisible())
        return;
    chart_->hide();
    setGeometry(normalGeometry_);
}

} // namespace ormid
