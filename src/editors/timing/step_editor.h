#pragma once
// The step editor shared by the dimming engines and the power-on panel: every value of
// a step sits in a read-only field, and a click on the field brings up the slider strip
// (a slider, and for durations and fades a range selector) that rewrites it. The field
// texts are the editor's working state; its users turn them into image bytes on OK.
//
// One editor serves engine 1's `sbD1`/`comboD1`, engine 2's `sbD2`/`comboD2` and the
// power-on `sbPU`/`combRange`; the Rows it is given say what differs.

#include <functional>

#include "core/step_values.h"
#include "editors/slider_strip.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QRadioButton;

namespace ormid {

class ClickField;

// The controls of one step row. Row 1 has no delete box; the single row of the
// power-on panel has only the three fields.
struct StepRowControls {
    ClickField* when = nullptr; // engine 1: the time of day; otherwise the delay
    ClickField* fade = nullptr;
    ClickField* level = nullptr;
    QRadioButton* relayOn = nullptr;
    QRadioButton* relayOff = nullptr;
    QGroupBox* group = nullptr;
    QCheckBox* deleteBox = nullptr;
};

// Which level changes select "On" or "Off" on the row's relay buttons.
enum class RelayFollowsLevel {
    never,       // power-on panel
    remoteLevel, // engine 2: only the remote-mode level slider (kind 6)
    anyLevel,    // engine 1: both level sliders
};

class StepEditor final : public SliderStrip {
    Q_OBJECT
public:
    struct Names {
        const char* strip;    // `pD1Slider`, `pD2Slider`, `pPOSlider`
        const char* slider;   // `sbD1`, `sbD2`, `sbPU`
        const char* selector; // `comboD1`, `comboD2`, `combRange`
    };
    struct Rows {
        int first; // row numbers the slider's tag can carry: 1..10, or 0..0
        int last;
        std::function<StepRowControls(int row)> controls;
        // Kind 1 on a free row takes it into use; empty where rows are never free.
        std::function<void(int row)> takeIntoUse;
        RelayFollowsLevel relay;
    };

    StepEditor(Names names, Rows rows, QWidget* parent);

    // The minimum level (image byte 2) that bounds the level sliders; set on every opening.
    void setMinLevel(int minLevel) { minLevel_ = minLevel; }

    // Opens the field of the tag's row and kind and shows the strip; false, with the strip and
    // the field it edits left as they were, when the field cannot be edited (a time of day
    // after a predecessor at 09:00).
    bool editField(int tag);
    // The strip goes (OK, Cancel, a delete box): no field stays highlighted.
    void closeStrip();

signals:
    // The slider moved and rewrote its field.
    void fieldChanged();

private:
    void writeSliderValue(int position);
    void switchRange(int index);
    ClickField* fieldOf(const StepRowControls& controls, StepKind kind) const;

    Rows rows_;
    QComboBox* selector_ = nullptr;
    int tag_ = 0;
    int minLevel_ = 0;
};

} // namespace ormid
