#pragma once
// The Block Time Setup panel `pBlockTime`: the blocking period in steps of 5 s through
// its slider strip.

#include "editors/editor.h"

class QSlider;

namespace ormid {

class ClickField;
class SliderStrip;
class HelpPicture;

class BlockTimerEditor final : public Editor {
    Q_OBJECT
public:
    explicit BlockTimerEditor(QWidget* parent);

    FunctionBlock block() const override { return FunctionBlock::blockTimer; }
    QRect designGeometry() const override;
    void open(EeBlock& image) override;
    // Writes the blocking time of the field.
    void apply(EeBlock& image) override;
    void closing() override;

private:
    void editBlockTime();

    ClickField* eBlockTime_ = nullptr;
    SliderStrip* pBTSlider_ = nullptr;
    QSlider* sbBlockTime_ = nullptr;
    HelpPicture* help_ = nullptr;
};

} // namespace ormid
