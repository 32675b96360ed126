#include "editors/output/block_timer_editor.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "core/block_timer_block.h"
#include "editors/click_field.h"
#include "editors/help_pictures.h"
#include "editors/panel_grid.h"
#include "editors/slider_strip.h"

namespace ormid {

BlockTimerEditor::BlockTimerEditor(QWidget* parent) : Editor(QStringLiteral("Block Time Setup"), parent)
{
    setObjectName(QStringLiteral("pBlockTime"));
    eBlockTime_ = new ClickField(this);
    eBlockTime_->setObjectName(QStringLiteral("eBlockTime"));
    eBlockTime_->setFixedWidth(80);
    connect(eBlockTime_, &ClickField::clicked, this, &BlockTimerEditor::editBlockTime);

    pBTSlider_ = new SliderStrip("pBTSlider", "sbBlockTime", this);
    sbBlockTime_ = &pBTSlider_->slider();
    sbBlockTime_->setRange(0, kLargestBlockTime);
    connect(sbBlockTime_, &QSlider::valueChanged, this,
            [this](int position) { eBlockTime_->setText(QString::fromStdString(blockTimeText(position))); });

    auto* period = new QHBoxLayout;
    period->addWidget(new QLabel(QStringLiteral("Blocking Time"), this));
    period->addWidget(eBlockTime_);
    period->addWidget(new QLabel(QStringLiteral("HH:MM:SS"), this));
    period->addStretch(1);

    auto* help = helpButton("SpeedButton2");
    help_ = new HelpPicture(paintBlockTimerHelp, "pHelpBlock", nullptr, this);
    connect(help, &QPushButton::clicked, this, [this] { help_->showBeside(captionBand()); });
    QLayout* buttons = okCancelRow("bTBlockOK", "bTBlockCancel", help);

    auto* column = new QVBoxLayout;
    column->addLayout(period);
    column->addWidget(pBTSlider_);
    column->addStretch(1);
    column->addLayout(buttons);
    setCardLayout(*column);
    setLayout(column);
}

// Beside the block-timer block.
QRect BlockTimerEditor::designGeometry() const
{
    return {panelGrid::columnLeft(1), panelGrid::rowTop(0), 330, 170};
}

void BlockTimerEditor::open(EeBlock& image)
{
    eBlockTime_->setText(QString::fromStdString(blockTimeText(image[field::blockTime])));
    closing();
}

void BlockTimerEditor::editBlockTime()
{
    // A period off the 5-second grid is rewritten when the slider moves onto it.
    sbBlockTime_->setValue(blockTimePosition(eBlockTime_->text().toStdString()));
    pBTSlider_->attach(*eBlockTime_);
}

void BlockTimerEditor::apply(EeBlock& image)
{
    applyBlockTime(image, eBlockTime_->text().toStdString());
}

void BlockTimerEditor::closing()
{
    pBTSlider_->detach();
    help_->dismiss();
}

} // namespace ormid
