#pragma once
// The Thermo-Management panel `pThermoM`: three thresholds with their levels, "Off"
// (relay off at T1), and one slider strip for all six fields.

#include <array>

#include "editors/editor.h"

class QCheckBox;
class QSlider;

namespace ormid {

class ClickField;
class SliderStrip;

class ThermalEditor final : public Editor {
    Q_OBJECT
public:
    explicit ThermalEditor(QWidget* parent);

    FunctionBlock block() const override { return FunctionBlock::thermal; }
    QRect designGeometry() const override;
    // Fills the fields; an invalid threshold is repaired in the image at once.
    void open(EeBlock& image) override;
    // Writes the thresholds; one out of order is lowered below the one above.
    void apply(EeBlock& image) override;
    void closing() override;
    QString repaired() const override;

private:
    // The field of a slider tag (2..4 thresholds, 5..7 levels).
    ClickField& fieldOf(int tag) const;
    // The slider strip comes up for the threshold or level field `tag`.
    void openSliderFor(int tag);
    void sliderMoved(int position);

    std::array<ClickField*, 3> thresholds_{};
    std::array<ClickField*, 3> levels_{};
    QCheckBox* cbOutput_Off_ = nullptr;
    SliderStrip* pThermo_ = nullptr;
    QSlider* sbThermo_ = nullptr;
    int tag_ = 0;
    bool thresholdsLowered_ = false;
};

} // namespace ormid
