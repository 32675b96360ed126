#pragma once
// The ISD editor `pISD`: the ISD offset with the DST box and its offset calculator, and
// the "Auto DST" group with its length-of-night calculator. One slider `sbISD` serves
// the offset (tag 1) and the two night-length thresholds (tags 2 and 3).

#include "editors/editor.h"

class QCheckBox;
class QPushButton;
class QSlider;

namespace ormid {

class ClickField;
class SliderStrip;
class NightCalculator;
class OffsetCalculator;

class IsdEditor final : public Editor {
    Q_OBJECT
public:
    explicit IsdEditor(QWidget* parent);

    FunctionBlock block() const override { return FunctionBlock::isd; }
    QRect designGeometry() const override;
    // Fills the offset, DST and threshold fields from the image.
    void open(EeBlock& image) override;
    // Writes the ISD settings of the fields.
    void apply(EeBlock& image) override;
    void closing() override;

private:
    enum Tag { offsetTag = 1, startTag = 2, endTag = 3 };
    ClickField& fieldOf(int tag) const;
    // Tag, range and position of the shared slider, the field highlighted, the strip shown.
    void attachSlider(int tag, int minimum, int maximum, int position);
    void editOffset();
    void editThreshold(int tag);
    void shiftOffsetForDst(bool ticked);
    void writeSliderValue(int position);
    void showAutoDstControls(bool enabled);

    QCheckBox* cbDST_ = nullptr;
    ClickField* eISDOffset_ = nullptr;
    QCheckBox* cbADSTEnable_ = nullptr;
    ClickField* eW2S_ = nullptr;
    ClickField* eS2W_ = nullptr;
    QList<QWidget*> autoDstControls_;
    SliderStrip* pISDSLider_ = nullptr;
    QSlider* sbISD_ = nullptr;
    int tag_ = offsetTag;
    OffsetCalculator* pCalc_ = nullptr;
    NightCalculator* pAstroCalc_ = nullptr;
};

} // namespace ormid
