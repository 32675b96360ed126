#pragma once
// The hold-timer panel `pTHold`: the hold time in `eHoldTime`, moved by the slider
// `sbHold` on the grid of the range selector `combHold` (the step editor's arithmetic,
// with the selector's own texts).

#include "editors/editor.h"

class QComboBox;
class QSlider;

namespace ormid {

class ClickField;
class SliderStrip;

class HoldEditor final : public Editor {
    Q_OBJECT
public:
    explicit HoldEditor(QWidget* parent);

    FunctionBlock block() const override { return FunctionBlock::hold; }
    QRect designGeometry() const override;
    // Fills the hold-time field from the image.
    void open(EeBlock& image) override;
    // Writes the hold time of the field.
    void apply(EeBlock& image) override;
    void closing() override;

private:
    void editHoldTime();
    void writeSliderValue(int position);
    void switchRange(int index);

    ClickField* eHoldTime_ = nullptr;
    SliderStrip* pHoldTime_ = nullptr;
    QSlider* sbHold_ = nullptr;
    QComboBox* combHold_ = nullptr;
};

} // namespace ormid
