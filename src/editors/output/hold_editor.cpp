#include "editors/output/hold_editor.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include "core/lst_block.h"
#include "core/step_values.h"
#include "editors/click_field.h"
#include "editors/panel_grid.h"
#include "editors/slider_strip.h"

namespace ormid {

HoldEditor::HoldEditor(QWidget* parent) : Editor(QStringLiteral(" Hold Time Setup "), parent)
{
    setObjectName(QStringLiteral("pTHold"));

    eHoldTime_ = new ClickField(this);
    eHoldTime_->setObjectName(QStringLiteral("eHoldTime"));
    eHoldTime_->setFixedWidth(80);
    connect(eHoldTime_, &ClickField::clicked, this, &HoldEditor::editHoldTime);

    pHoldTime_ = new SliderStrip("pHoldTime", "sbHold", this);
    sbHold_ = &pHoldTime_->slider();
    sbHold_->setRange(0, kRangeSteps);
    combHold_ = &pHoldTime_->addSelector("combHold");
    for (const std::string_view item : kHoldRangeTexts)
        combHold_->addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
    connect(sbHold_, &QSlider::valueChanged, this, &HoldEditor::writeSliderValue);
    // Only the user's pick: opening the field places the selector without it.
    connect(combHold_, &QComboBox::activated, this, &HoldEditor::switchRange);

    auto* time = new QHBoxLayout;
    time->addWidget(new QLabel(QStringLiteral("Input Hold Time"), this));
    time->addStretch(1);
    time->addWidget(eHoldTime_);
    time->addWidget(new QLabel(QStringLiteral("HH:MM:SS"), this));

    auto* layout = new QVBoxLayout(this);
    setCardLayout(*layout);
    layout->addLayout(time);
    layout->addWidget(pHoldTime_);
    layout->addStretch(1);
    layout->addLayout(okCancelRow("bTHoldOK", "bTHoldCancel"));
}

// Over the hold block.
QRect HoldEditor::designGeometry() const
{
    constexpr int kHeight = 170;
    return {panelGrid::columnLeft(2), panelGrid::kBlocksHeight - panelGrid::kInset - kHeight, 320, kHeight};
}

void HoldEditor::open(EeBlock& image)
{
    eHoldTime_->setText(QString::fromStdString(holdTimeText(image)));
    closing();
}

void HoldEditor::editHoldTime()
{
    const auto setup = openSlider({kindDelay, eHoldTime_->text().toStdString(), 0, {}});
    if (!setup || !setup->rangeIndex)
        return;
    combHold_->setCurrentIndex(*setup->rangeIndex);
    {
        const QSignalBlocker quiet(sbHold_);
        sbHold_->setValue(setup->position);
    }
    // The field shows the value on the slider's grid at once.
    writeSliderValue(setup->position);
    pHoldTime_->attach(*eHoldTime_);
}

void HoldEditor::writeSliderValue(int position)
{
    if (const auto text = sliderText(kindDelay, position, combHold_->currentIndex()))
        eHoldTime_->setText(QString::fromStdString(*text));
}

void HoldEditor::switchRange(int index)
{
    const RangeChange change = changeRange(kindDelay, eHoldTime_->text().toStdString(), index);
    eHoldTime_->setText(QString::fromStdString(change.text));
    const QSignalBlocker quiet(sbHold_);
    sbHold_->setValue(change.position);
}

void HoldEditor::apply(EeBlock& image)
{
    applyHoldTime(image, eHoldTime_->text().toStdString());
}

void HoldEditor::closing()
{
    pHoldTime_->detach();
}

} // namespace ormid
