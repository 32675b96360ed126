#include "editors/output/thermal_editor.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include "core/thermal_block.h"
#include "editors/click_field.h"
#include "editors/panel_grid.h"
#include "editors/slider_strip.h"

namespace ormid {

namespace {

std::string textOf(const ClickField& field)
{
    return field.text().toStdString();
}

} // namespace

ThermalEditor::ThermalEditor(QWidget* parent) : Editor(QStringLiteral("Thermo-Management"), parent)
{
    setObjectName(QStringLiteral("pThermoM"));
    cbOutput_Off_ = new QCheckBox(QStringLiteral("Off"), this);
    cbOutput_Off_->setObjectName(QStringLiteral("cbOutput_Off"));

    auto* rows = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        const QString n = QString::number(i + 1);
        thresholds_[static_cast<std::size_t>(i)] = new ClickField(QStringLiteral("eOutput_T") + n, 52, this);
        levels_[static_cast<std::size_t>(i)] = new ClickField(QStringLiteral("eOutput_L") + n, 52, this);
        rows->addWidget(new QLabel(QStringLiteral("T") + n, this), i, 0);
        rows->addWidget(thresholds_[static_cast<std::size_t>(i)], i, 1);
        rows->addWidget(new QLabel(QStringLiteral("°C  \u2192"), this), i, 2);
        rows->addWidget(levels_[static_cast<std::size_t>(i)], i, 3);
        rows->addWidget(new QLabel(QStringLiteral("%"), this), i, 4);
    }
    rows->addWidget(cbOutput_Off_, 0, 5);
    rows->setColumnStretch(6, 1);
    for (int tag = kThermalT1Tag; tag < kThermalL1Tag + 3; ++tag)
        connect(&fieldOf(tag), &ClickField::clicked, this, [this, tag] { openSliderFor(tag); });

    pThermo_ = new SliderStrip("pThermo", "sbThermo", this);
    sbThermo_ = &pThermo_->slider();
    connect(sbThermo_, &QSlider::valueChanged, this, &ThermalEditor::sliderMoved);

    auto* layout = new QVBoxLayout(this);
    setCardLayout(*layout);
    layout->addLayout(rows);
    layout->addWidget(pThermo_);
    layout->addStretch(1);
    layout->addLayout(okCancelRow("bTMOk", "bTMCancel"));
}

// Over the thermal block and its neighbour on the left.
QRect ThermalEditor::designGeometry() const
{
    constexpr int kWidth = 340;
    return {panelGrid::columnRight(3) - kWidth, panelGrid::rowTop(0), kWidth, 230};
}

ClickField& ThermalEditor::fieldOf(int tag) const
{
    const auto index = static_cast<std::size_t>((tag - kThermalT1Tag) % 3);
    return tag < kThermalL1Tag ? *thresholds_[index] : *levels_[index];
}

void ThermalEditor::open(EeBlock& image)
{
    const ThermalFields fields = openThermal(image);
    for (std::size_t i = 0; i < 3; ++i) {
        thresholds_[i]->setText(QString::fromStdString(fields.threshold[i]));
        levels_[i]->setText(QString::fromStdString(fields.level[i]));
    }
    cbOutput_Off_->setChecked(fields.relayOff);
    closing();
}

void ThermalEditor::openSliderFor(int tag)
{
    tag_ = tag;
    ClickField& field = fieldOf(tag);
    const ThermalOpening opening = thermalOpening(tag, textOf(field));
    field.setText(QString::fromStdString(opening.text));
    sbThermo_->setRange(opening.minimum, opening.maximum);
    sbThermo_->setValue(opening.position);
    pThermo_->attach(field);
}

void ThermalEditor::sliderMoved(int)
{
    if (tag_ == 0)
        return; // no field opened yet
    // A T2 or T3 slider stops below the threshold above; lowering the maximum moves
    // the slider, which comes back here with the new position.
    const std::string above = tag_ > kThermalT1Tag && tag_ < kThermalL1Tag ? textOf(fieldOf(tag_ - 1)) : "";
    if (const auto bound = thermalUpperBound(tag_, above))
        sbThermo_->setMaximum(*bound);
    if (const auto text = thermalSliderText(tag_, sbThermo_->value(), above))
        fieldOf(tag_).setText(QString::fromStdString(*text));
}

void ThermalEditor::apply(EeBlock& image)
{
    ThermalFields fields;
    for (std::size_t i = 0; i < 3; ++i) {
        fields.threshold[i] = textOf(*thresholds_[i]);
        fields.level[i] = textOf(*levels_[i]);
    }
    fields.relayOff = cbOutput_Off_->isChecked();
    thresholdsLowered_ = applyThermal(image, fields);
}

QString ThermalEditor::repaired() const
{
    return thresholdsLowered_ ? QStringLiteral("Error: Invalid Temperatures. Thresholds were lowered below the one "
                                               "above them!")
                              : QString();
}

void ThermalEditor::closing()
{
    pThermo_->detach();
}

} // namespace ormid
