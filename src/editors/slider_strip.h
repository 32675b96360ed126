#pragma once
// The strip below an editor's fields through which a clicked field changes: a framed
// row with a horizontal slider, and where the editor needs them captions at the
// slider's ends or a range selector beside it. It is hidden until a field is attached,
// and keeps its place meanwhile so that nothing around it moves. The attached field is
// highlighted while the strip edits it.

#include <QFrame>

class QComboBox;
class QHBoxLayout;
class QSlider;

namespace ormid {

class ClickField;

class SliderStrip : public QFrame {
    Q_OBJECT
public:
    // The strip and its slider, named as the panel's elements.
    SliderStrip(const char* name, const char* sliderName, QWidget* parent);

    QSlider& slider() const { return *slider_; }
    // Captions at the slider's two ends.
    void addEndCaptions(const QString& low, const QString& high);
    // A range selector, named as given, right of the slider.
    QComboBox& addSelector(const char* name);

    // The strip comes up for `field`, which is highlighted; the field it edited before
    // no longer is.
    void attach(ClickField& field);
    // The strip goes; no field stays highlighted.
    void detach();

private:
    QHBoxLayout* row_ = nullptr;
    QSlider* slider_ = nullptr;
    ClickField* attached_ = nullptr;
};

} // namespace ormid
