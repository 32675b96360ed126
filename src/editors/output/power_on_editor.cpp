#include "editors/output/power_on_editor.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/power_on_block.h"
#include "editors/click_field.h"
#include "editors/help_pictures.h"
#include "editors/panel_grid.h"
#include "editors/timing/step_editor.h"

namespace ormid {

PowerOnEditor::PowerOnEditor(bool remoteLayout, QWidget* parent)
    : Editor(QStringLiteral("Power On Setup"), parent), remoteLayout_(remoteLayout)
{
    setObjectName(QStringLiteral("pStartupDelay"));
    ePORelayDelay_ = new ClickField(QStringLiteral("ePORelayDelay"), 80, this);
    ePOFade_ = new ClickField(QStringLiteral("ePOFade"), 80, this);
    ePOLevel_ = new ClickField(QStringLiteral("ePOLevel"), 80, this);
    cbRandom_ = new QCheckBox(QStringLiteral("Random"), this);
    cbRandom_->setObjectName(QStringLiteral("cbRandom"));
    connect(cbRandom_, &QCheckBox::clicked, this, &PowerOnEditor::useRandomDelay);

    strip_ = new StepEditor(
        {"pPOSlider", "sbPU", "combRange"},
        {.first = 0,
         .last = 0,
         .controls
         = [this](int) { return StepRowControls{.when = ePORelayDelay_, .fade = ePOFade_, .level = ePOLevel_}; },
         .takeIntoUse = {},
         .relay = RelayFollowsLevel::never},
        this);
    connect(strip_, &StepEditor::fieldChanged, this, &PowerOnEditor::updateDpcBox);
    connect(ePORelayDelay_, &ClickField::clicked, this, [this] { editField(kindDelay); });
    connect(ePOFade_, &ClickField::clicked, this, [this] { editField(fadeKind(remoteLayout_)); });
    connect(ePOLevel_, &ClickField::clicked, this, [this] { editField(levelKind(remoteLayout_)); });

    auto* fields = new QGridLayout;
    const struct {
        const char* caption;
        ClickField* field;
        const char* unit;
    } rows[] = {{"Delay", ePORelayDelay_, ""}, {"Fade Speed", ePOFade_, "s/%"}, {"Level", ePOLevel_, "%"}};
    int line = 0;
    for (const auto& row : rows) {
        fields->addWidget(new QLabel(QString::fromLatin1(row.caption), this), line, 0);
        fields->addWidget(row.field, line, 1);
        fields->addWidget(new QLabel(QString::fromLatin1(row.unit), this), line, 2);
        if (row.field == ePORelayDelay_)
            fields->addWidget(cbRandom_, ++line, 1);
        ++line;
    }
    fields->setColumnStretch(3, 1);

    dpcGroup_ = new QGroupBox(QStringLiteral("DPC/DOO"), this);
    cbEnableDPC_ = new QCheckBox(QStringLiteral("Enable DPC / DOO"), dpcGroup_);
    cbEnableDPC_->setObjectName(QStringLiteral("cbEnableDPC"));
    auto* dpc = new QHBoxLayout(dpcGroup_);
    dpc->addWidget(cbEnableDPC_);
    dpc->addStretch(1);

    auto* help = helpButton("bHelpPowerOn");
    help_ = new HelpPicture(paintPowerOnHelp, "pHelpPowerOn", nullptr, this);
    connect(help, &QPushButton::clicked, this, [this] { help_->showBeside(captionBand()); });
    QLayout* buttons = okCancelRow("bDPC_OK", "bDPC_Cancel", help);

    auto* column = new QVBoxLayout;
    column->addLayout(fields);
    column->addWidget(dpcGroup_);
    column->addWidget(strip_);
    column->addStretch(1);
    column->addLayout(buttons);
    setCardLayout(*column);
    setLayout(column);
}

// Beside the power-on block; as tall as its fields, which the remote layout has fewer of.
QRect PowerOnEditor::designGeometry() const
{
    return {panelGrid::columnLeft(0), panelGrid::rowTop(0), 330, 200};
}

void PowerOnEditor::open(EeBlock& image)
{
    image_ = &image;
    const PowerOnFields fields = readPowerOn(image);
    const bool random = fields.delay == kRandomText;
    ePORelayDelay_->setText(QString::fromStdString(fields.delay));
    ePORelayDelay_->setEnabled(!random);
    cbRandom_->setChecked(random);
    ePOFade_->setText(QString::fromStdString(fields.fade));
    ePOLevel_->setText(QString::fromStdString(fields.level));
    cbEnableDPC_->setEnabled(dpcAvailable(fields.delay));
    cbEnableDPC_->setChecked(fields.dpc);
    dpcGroup_->setVisible(!remoteLayout_);
    strip_->setMinLevel(image[field::minLevel]);
    strip_->closeStrip();
    help_->dismiss();
}

void PowerOnEditor::editField(StepKind kind)
{
    strip_->editField(stepTag(0, kind));
}

void PowerOnEditor::useRandomDelay(bool random)
{
    if (const auto delay = setRandomDelay(*image_, random))
        ePORelayDelay_->setText(QString::fromStdString(*delay));
    ePORelayDelay_->setEnabled(!random);
    if (random)
        strip_->closeStrip();
    updateDpcBox();
}

void PowerOnEditor::updateDpcBox()
{
    const bool available = dpcAvailable(ePORelayDelay_->text().toStdString());
    cbEnableDPC_->setEnabled(available);
    if (!available)
        cbEnableDPC_->setChecked(false);
}

void PowerOnEditor::apply(EeBlock& image)
{
    applyPowerOn(image,
                 {.delay = ePORelayDelay_->text().toStdString(),
                  .fade = ePOFade_->text().toStdString(),
                  .level = ePOLevel_->text().toStdString(),
                  .dpc = cbEnableDPC_->isChecked()},
                 remoteLayout_);
}

void PowerOnEditor::closing()
{
    strip_->closeStrip();
    help_->dismiss();
    image_ = nullptr;
}

} // namespace ormid
