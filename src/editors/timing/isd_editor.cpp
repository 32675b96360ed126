#include "editors/timing/isd_editor.h"
#include "editors/panel_grid.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "core/isd_block.h"
#include "editors/click_field.h"
#include "editors/slider_strip.h"
#include "editors/timing/night_calculator.h"
#include "editors/timing/offset_calculator.h"

namespace ormid {

namespace {

std::string textOf(const ClickField& field)
{
    return field.text().toStdString();
}

} // namespace

IsdEditor::IsdEditor(QWidget* parent) : Editor(QStringLiteral("ISD  Setup "), parent)
{
    setObjectName(QStringLiteral("pISD"));
    cbDST_ = new QCheckBox(QStringLiteral("DST"), this);
    cbDST_->setObjectName(QStringLiteral("cbDST"));
    // The box moves the offset whoever changes it, the user or the program.
    connect(cbDST_, &QCheckBox::toggled, this, &IsdEditor::shiftOffsetForDst);
    eISDOffset_ = new ClickField(QStringLiteral("eISDOffset"), 84, this);
    connect(eISDOffset_, &ClickField::clicked, this, &IsdEditor::editOffset);
    auto* bAstroCalc = new QPushButton(QStringLiteral("Calculate..."), this);
    bAstroCalc->setObjectName(QStringLiteral("bAstroCalc"));

    auto* offset = new QHBoxLayout;
    offset->addWidget(new QLabel(QStringLiteral("ISD Offset Time"), this));
    offset->addWidget(eISDOffset_);
    offset->addWidget(new QLabel(QStringLiteral("HH:MM:SS"), this));
    offset->addStretch(1);
    offset->addWidget(bAstroCalc);

    auto* autoDst = new QGroupBox(QStringLiteral("Auto DST"), this);
    cbADSTEnable_ = new QCheckBox(QStringLiteral("Enabled"), autoDst);
    cbADSTEnable_->setObjectName(QStringLiteral("cbADSTEnable"));
    connect(cbADSTEnable_, &QCheckBox::toggled, this, &IsdEditor::showAutoDstControls);
    eW2S_ = new ClickField(QStringLiteral("eW2S"), 84, autoDst);
    eS2W_ = new ClickField(QStringLiteral("eS2W"), 84, autoDst);
    connect(eW2S_, &ClickField::clicked, this, [this] { editThreshold(startTag); });
    connect(eS2W_, &ClickField::clicked, this, [this] { editThreshold(endTag); });
    auto* bADSTCalc = new QPushButton(QStringLiteral("Calculate..."), autoDst);
    bADSTCalc->setObjectName(QStringLiteral("bADSTCalc"));
    auto* grid = new QGridLayout(autoDst);
    grid->addWidget(cbADSTEnable_, 0, 0);
    const struct {
        const char* caption;
        ClickField* field;
    } thresholds[] = {{"Length of Night for DST Start", eW2S_}, {"Length of Night for DST End", eS2W_}};
    int row = 1;
    for (const auto& threshold : thresholds) {
        auto* caption = new QLabel(QString::fromLatin1(threshold.caption), autoDst);
        auto* unit = new QLabel(QStringLiteral("HH:MM"), autoDst);
        grid->addWidget(caption, row, 0);
        grid->addWidget(threshold.field, row, 1);
        grid->addWidget(unit, row, 2);
        autoDstControls_ << caption << threshold.field << unit;
        ++row;
    }
    grid->addWidget(bADSTCalc, row, 1, 1, 2);
    autoDstControls_ << bADSTCalc;
    grid->setColumnStretch(3, 1);

    pISDSLider_ = new SliderStrip("pISDSLider", "sbISD", this);
    sbISD_ = &pISDSLider_->slider();
    sbISD_->setRange(0, kOffsetPositions);
    sbISD_->setValue(kNoOffset);
    connect(sbISD_, &QSlider::valueChanged, this, &IsdEditor::writeSliderValue);

    auto* column = new QVBoxLayout(this);
    setCardLayout(*column);
    column->addWidget(cbDST_, 0, Qt::AlignLeft); // as wide as its text: a click anywhere on it ticks it
    column->addLayout(offset);
    column->addWidget(autoDst);
    column->addWidget(pISDSLider_);
    column->addStretch(1);
    column->addLayout(okCancelRow("bISDOK", "bISDCancel"));

    // The calculators pop up over the panel.
    pCalc_ = new OffsetCalculator(this);
    pAstroCalc_ = new NightCalculator(this);
    connect(bAstroCalc, &QPushButton::clicked, this, [this] {
        pCalc_->setGeometry(rect());
        pCalc_->show();
        pCalc_->raise();
    });
    connect(bADSTCalc, &QPushButton::clicked, this, [this] {
        pAstroCalc_->setGeometry(rect());
        pAstroCalc_->showCalculator();
    });
    connect(pCalc_, &OffsetCalculator::offsetChosen, this, [this](int minutes) {
        // The calculated offset is solar time; with DST the clock runs an hour ahead.
        attachSlider(offsetTag, 0, kOffsetPositions, calculatorPosition(minutes, cbDST_->isChecked()));
        pISDSLider_->detach();
    });
    connect(pAstroCalc_, &NightCalculator::nightLengthSet, this, [this](bool start, const QString& length) {
        fieldOf(start ? startTag : endTag)
            .setText(QString::fromStdString(thresholdFromNightLength(length.toStdString())));
    });
}

// Over the blocks from the ISD block on, leaving the action bar free.
QRect IsdEditor::designGeometry() const
{
    return {panelGrid::columnLeft(0), panelGrid::kInset, 520, panelGrid::kBlocksHeight - 2 * panelGrid::kInset};
}

ClickField& IsdEditor::fieldOf(int tag) const
{
    return tag == offsetTag ? *eISDOffset_ : tag == startTag ? *eW2S_ : *eS2W_;
}

void IsdEditor::open(EeBlock& image)
{
    const IsdFields fields = readIsd(image);
    cbDST_->setChecked(fields.dst);
    eISDOffset_->setText(QString::fromStdString(fields.offset));
    eW2S_->setText(QString::fromStdString(fields.dstStart));
    eS2W_->setText(QString::fromStdString(fields.dstEnd));
    cbADSTEnable_->setChecked(fields.autoDst);
    showAutoDstControls(fields.autoDst);
    closing();
}

void IsdEditor::attachSlider(int tag, int minimum, int maximum, int position)
{
    tag_ = tag;
    sbISD_->setRange(minimum, maximum);
    sbISD_->setValue(position);
    // The field shows the slider's value even when the slider did not move.
    writeSliderValue(sbISD_->value());
    pISDSLider_->attach(fieldOf(tag));
}

void IsdEditor::editOffset()
{
    attachSlider(offsetTag, 0, kOffsetPositions, offsetPosition(textOf(*eISDOffset_)));
}

void IsdEditor::editThreshold(int tag)
{
    // Read before the slider takes the field's tag and range.
    const int position = thresholdPosition(textOf(fieldOf(tag)));
    attachSlider(tag, kThresholdOff, kLongestNight, position);
}

void IsdEditor::shiftOffsetForDst(bool ticked)
{
    const int position = dstShifted(offsetPosition(textOf(*eISDOffset_)), ticked);
    tag_ = offsetTag;
    sbISD_->setRange(0, kOffsetPositions);
    sbISD_->setValue(position);
    writeSliderValue(sbISD_->value());
}

void IsdEditor::writeSliderValue(int position)
{
    const std::string text = tag_ == offsetTag ? offsetText(position) : thresholdText(position);
    fieldOf(tag_).setText(QString::fromStdString(text));
}

void IsdEditor::showAutoDstControls(bool enabled)
{
    for (QWidget* control : autoDstControls_)
        control->setVisible(enabled);
}

void IsdEditor::apply(EeBlock& image)
{
    applyIsd(image,
             {.offset = textOf(*eISDOffset_),
              .dst = cbDST_->isChecked(),
              .autoDst = cbADSTEnable_->isChecked(),
              .dstStart = textOf(*eW2S_),
              .dstEnd = textOf(*eS2W_)});
}

void IsdEditor::closing()
{
    pISDSLider_->detach();
    pCalc_->hide();
    pAstroCalc_->hide();
}

} // namespace ormid
