#include "editors/output/dimming_curve_panel.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "editors/help_pictures.h"
#include "editors/output/curve_chart.h"

namespace ormid {

DimmingCurvePanel::DimmingCurvePanel(QWidget* parent) : Card(QStringLiteral("Dimming Curve"), parent)
{
    setObjectName(QStringLiteral("pDimmingCurve"));

    auto* group = new QGroupBox(QStringLiteral("Select Dimming Curve"), this);
    lbDimmingCurve_ = new QListWidget(group);
    lbDimmingCurve_->setObjectName(QStringLiteral("lbDimmingCurve"));
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(lbDimmingCurve_);
    connect(lbDimmingCurve_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!selecting_ && row >= 0)
            emit entrySelected(row);
    });

    iDimmingCurve_ = new CurveChart(this);

    auto* help = helpButton("bDcHelp");
    pDcHelp_ = new HelpPicture(paintCurveHelp, "pDcHelp", nullptr, this);
    connect(help, &QPushButton::clicked, this, [this] { pDcHelp_->showOver(captionBand()); });

    auto* columns = new QHBoxLayout;
    columns->addWidget(group, 1);
    columns->addWidget(iDimmingCurve_, 2);
    auto* layout = new QVBoxLayout(this);
    setCardLayout(*layout);
    layout->addLayout(columns, 1);
    layout->addLayout(okCancelRow("bDCOk", "bDCCancel", help));
    bDCOk_ = findChild<QPushButton*>(QStringLiteral("bDCOk"));
    hide();
}

void DimmingCurvePanel::setEntries(const std::vector<std::string>& names)
{
    selecting_ = true;
    lbDimmingCurve_->clear();
    for (const std::string& name : names)
        lbDimmingCurve_->addItem(QString::fromStdString(name));
    selecting_ = false;
}

void DimmingCurvePanel::selectEntry(int row)
{
    selecting_ = true;
    lbDimmingCurve_->setCurrentRow(row);
    selecting_ = false;
}

int DimmingCurvePanel::selectedEntry() const
{
    return lbDimmingCurve_->currentRow();
}

void DimmingCurvePanel::setOkEnabled(bool enabled)
{
    bDCOk_->setEnabled(enabled);
}

void DimmingCurvePanel::showCovering()
{
    setGeometry(parentWidget()->rect());
    show();
    raise();
    lbDimmingCurve_->setFocus();
}

void DimmingCurvePanel::dismiss()
{
    pDcHelp_->dismiss();
    hide();
}

} // namespace ormid
