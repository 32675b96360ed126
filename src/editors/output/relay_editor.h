#pragma once
// The relay panel `pRelay`: whether the relay switches at the mains zero crossing.

#include "core/relay_block.h"
#include "editors/editor.h"

class QCheckBox;

namespace ormid {

class RelayEditor final : public Editor {
    Q_OBJECT
public:
    explicit RelayEditor(QWidget* parent);

    FunctionBlock block() const override { return FunctionBlock::relay; }
    QRect designGeometry() const override;
    void open(EeBlock& image) override;
    void apply(EeBlock& image) override;

private:
    QCheckBox* cbZCSwitch_ = nullptr;
};

} // namespace ormid
