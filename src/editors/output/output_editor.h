#pragma once
// The Output Setup panel `pOutput`: the minimum level through its slider strip, and
// for a DALI output its scale and "Store POL". The dimming-curve controls `cbDC` and
// `bDC` sit here for 1-10V and PWM when curve files are available.

#include "core/output_block.h"
#include "editors/editor.h"

class QCheckBox;
class QPushButton;
class QSlider;

namespace ormid {

class ClickField;
class SliderStrip;
class DimmingCurves;

class OutputEditor final : public Editor {
    Q_OBJECT
public:
    // `run` and `curves` must outlive the editor: the run tells whether curve files are
    // available, `curves` acts on the correction controls.
    OutputEditor(DimmingCurves& curves, QWidget* parent);

    FunctionBlock block() const override { return FunctionBlock::output; }
    QRect designGeometry() const override;
    // Fills the fields and the correction controls from the image.
    void open(EeBlock& image) override;
    void apply(EeBlock& image) override;
    void closing() override;

private:
    // Brings up the slider strip on the minimum-level field.
    void editMinLevel();
    void showMinLevel(int position);
    // `cbDC` and `bDC` as the curve selection stands.
    void showCurveControls();

    DimmingCurves& curves_;
    ClickField* eMinLevel_ = nullptr;
    SliderStrip* pMinLevel_ = nullptr;
    QSlider* sbMinLevel_ = nullptr;
    QCheckBox* cbDaliLog_ = nullptr;
    QCheckBox* cbStorePOL_ = nullptr;
    QCheckBox* cbDC_ = nullptr;
    QPushButton* bDC_ = nullptr;
};

} // namespace ormid
