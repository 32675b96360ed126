#pragma once
// The MFF/BBT panel `pMFF`: lifetime, start, stop and the three intermediate levels of
// the maintenance factor, the burn-in period, and the request to reset the operating
// hours. One slider `sbMFF` edits whichever field was clicked; the help button shows
// the chart of output over lifetime.

#include <array>

#include "core/mff_block.h"
#include "editors/editor.h"

class QCheckBox;
class QSlider;

namespace ormid {

class ClickField;
class SliderStrip;
class MffChart;

class MffEditor final : public Editor {
    Q_OBJECT
public:
    explicit MffEditor(QWidget* parent);

    FunctionBlock block() const override { return FunctionBlock::mff; }
    QRect designGeometry() const override;
    // Fills the fields from the image; "Reset operating hours" keeps its state from the last use.
    void open(EeBlock& image) override;
    // Writes the MFF and burn-in settings of the fields.
    void apply(EeBlock& image) override;
    void closing() override;
    // The block's switch turned it off: no reset request either.
    void switchedOff() override;

private:
    ClickField& field(MffTag tag) const;
    MffFields texts() const;
    void showTexts(const MffFields& fields);
    // A click on a field: the slider takes its tag, range and value.
    void editField(MffTag tag);
    void writeSliderValue(int position);
    // The panel grows to hold the chart; a click on the chart shrinks it.
    void showChart();
    void hideChart();

    std::array<ClickField*, kMffFieldCount> fields_{};
    SliderStrip* pMFFSlider_ = nullptr;
    QSlider* sbMFF_ = nullptr;
    QCheckBox* cbresetOH_ = nullptr;
    MffChart* chart_ = nullptr;
    QRect normalGeometry_;
    MffTag tag_ = noMffField;
};

} // namespace ormid
