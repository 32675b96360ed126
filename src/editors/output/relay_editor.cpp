#include "editors/output/relay_editor.h"
#include "editors/panel_grid.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace ormid {

RelayEditor::RelayEditor(QWidget* parent) : Editor(QStringLiteral("Relay"), parent)
{
    setObjectName(QStringLiteral("pRelay"));

    cbZCSwitch_ = new QCheckBox(QStringLiteral("Zero-Cross Switch"), this);
    cbZCSwitch_->setObjectName(QStringLiteral("cbZCSwitch"));

    auto* layout = new QVBoxLayout(this);
    setCardLayout(*layout);
    layout->addWidget(cbZCSwitch_, 0, Qt::AlignLeft);
    layout->addStretch(1);
    layout->addLayout(okCancelRow("bRelay_OK", "bRelay_Cancel"));
}

// Above the relay block.
QRect RelayEditor::designGeometry() const
{
    return panelGrid::cell(3, 1);
}

void RelayEditor::open(EeBlock& image)
{
    cbZCSwitch_->setChecked(zeroCrossSwitch(image));
}

void RelayEditor::apply(EeBlock& image)
{
    applyZeroCrossSwitch(image, cbZCSwitch_->isChecked());
}

} // namespace ormid
