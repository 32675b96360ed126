#include "editors/output/output_editor.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "editors/click_field.h"
#include "editors/output/dimming_curves.h"
#include "editors/panel_grid.h"
#include "editors/slider_strip.h"

namespace ormid {

namespace {
} // namespace

OutputEditor::OutputEditor(DimmingCurves& curves, QWidget* parent)
    : Editor(QStringLiteral("Output Setup"), parent), curves_(curves)
{
    setObjectName(QStringLiteral("pOutput"));

    eMinLevel_ = new ClickField(this);
    eMinLevel_->setObjectName(QStringLiteral("eMinLevel"));
    eMinLevel_->setFixedWidth(56);
    connect(eMinLevel_, &ClickField::clicked, this, &OutputEditor::editMinLevel);

    pMinLevel_ = new SliderStrip("pMinLevel", "sbMinLevel", this);
    sbMinLevel_ = &pMinLevel_->slider();
    sbMinLevel_->setRange(0, kLevelMaximum);
    sbMinLevel_->setSingleStep(1);
    sbMinLevel_->setPageStep(10);
    pMinLevel_->addEndCaptions(QStringLiteral("0"), QStringLiteral("100"));
    connect(sbMinLevel_, &QSlider::valueChanged, this, &OutputEditor::showMinLevel);

    cbDaliLog_ = new QCheckBox(QStringLiteral("Logarithmic"), this);
    cbDaliLog_->setObjectName(QStringLiteral("cbDaliLog"));
    cbStorePOL_ = new QCheckBox(QStringLiteral("Store POL"), this);
    cbStorePOL_->setObjectName(QStringLiteral("cbStorePOL"));
    cbDC_ = new QCheckBox(QStringLiteral("Correction OFF"), this);
    cbDC_->setObjectName(QStringLiteral("cbDC"));
    bDC_ = new QPushButton(QStringLiteral("Curve..."), this);
    bDC_->setObjectName(QStringLiteral("bDC"));
    connect(cbDC_, &QCheckBox::clicked, &curves_, &DimmingCurves::correctionTicked);
    connect(bDC_, &QPushButton::clicked, &curves_, &DimmingCurves::chooseAnotherCurve);
    connect(&curves_, &DimmingCurves::controlsChanged, this, &OutputEditor::showCurveControls);

    auto* level = new QHBoxLayout;
    level->addWidget(new QLabel(QStringLiteral("Minimum level"), this));
    level->addStretch(1);
    level->addWidget(eMinLevel_);
    level->addWidget(new QLabel(QStringLiteral("%"), this));
    auto* curve = new QHBoxLayout;
    curve->addWidget(cbDC_);
    curve->addStretch(1);
    curve->addWidget(bDC_);

    auto* layout = new QVBoxLayout(this);
    setCardLayout(*layout);
    layout->addLayout(level);
    layout->addWidget(pMinLevel_);
    // Check boxes as wide as their text: a click anywhere on them ticks them.
    layout->addWidget(cbDaliLog_, 0, Qt::AlignLeft);
    layout->addWidget(cbStorePOL_, 0, Qt::AlignLeft);
    layout->addLayout(curve);
    layout->addStretch(1);
    layout->addLayout(okCancelRow("bOutput_OK", "bOutput_Cancel"));
}

// Over the output block and the relay beside it, down to the last block row.
QRect OutputEditor::designGeometry() const
{
    constexpr int kTop = panelGrid::rowTop(1);
    return {panelGrid::columnLeft(2), kTop, 442, panelGrid::rowBottom(2) - kTop};
}

void OutputEditor::open(EeBlock& image)
{
    const bool dali = isDali(outputKind(image));
    const bool curveControls = !dali && curves_.available();
    cbDC_->setVisible(curveControls);
    bDC_->setVisible(curveControls);
    if (curveControls)
        curves_.outputSetupShown();
    showCurveControls();

    const OutputSetup setup = readOutputSetup(image);
    eMinLevel_->setText(QString::number(setup.minLevel));
    // Both are set whatever the kind, so they are right when the kind becomes DALI later.
    cbDaliLog_->setVisible(dali);
    cbStorePOL_->setVisible(dali);
    cbDaliLog_->setChecked(setup.logarithmic);
    cbStorePOL_->setChecked(setup.storePol);
}

void OutputEditor::showCurveControls()
{
    const QSignalBlocker blocker(cbDC_);
    cbDC_->setChecked(curves_.ticked());
    cbDC_->setText(curves_.caption());
    bDC_->setEnabled(curves_.buttonEnabled());
}

void OutputEditor::editMinLevel()
{
    pMinLevel_->attach(*eMinLevel_);
    bool number = false;
    const int value = eMinLevel_->text().toInt(&number);
    sbMinLevel_->setValue(number ? value : 0);
    // The slider keeps the value within 0..100: a stored 120 becomes 100.
    eMinLevel_->setText(QString::number(sbMinLevel_->value()));
}

void OutputEditor::showMinLevel(int position)
{
    eMinLevel_->setText(QString::number(position));
}

void OutputEditor::apply(EeBlock& image)
{
    applyOutputSetup(image,
                     {.minLevel = eMinLevel_->text().toInt(),
                      .logarithmic = cbDaliLog_->isChecked(),
                      .storePol = cbStorePOL_->isChecked()});
}

void OutputEditor::closing()
{
    pMinLevel_->detach();
}

} // namespace ormid
