#include "editors/output/relay_editor.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace ormid {

RelayEditor::RelayEditor(QWidget* parent) : Editor(QStringLiteral("Relay"), parent)
{
    setObjectName(QStringLiteral("pRelay"));

    cbZCSwitch_ = new QCheckBox(QStringLiteral("Zero-Cross Switch"), this);
    cbZCSwitch_->setObjectName(QStringLiteral("cbZCSwitch"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("bRelay_OK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("bRelay_Cancel"));
    connect(ok, &QPushButton::clicked, this, &Editor::okClicked);
    connect(cancel, &QPushButton::clicked, this, &Editor::cancelClicked);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    setCardLayout(*layout);
    layout->addWidget(cbZCSwitch_, 0, Qt::AlignLeft);
    layout->addStretch(1);
    layout->addLayout(buttons);
}

// Above the relay block.
QRect RelayEditor::designGeometry() const
{
    return {694, 14, 220, 132};
}

void RelayEditor::open(const EeBlock& image)
{
    cbZCSwitch_->setChecked(zeroCrossSwitch(image));
}

void RelayEditor::apply(EeBlock& image) const
{
    applyZeroCrossSwitch(image, cbZCSwitch_->isChecked());
}

} // namespace ormid
