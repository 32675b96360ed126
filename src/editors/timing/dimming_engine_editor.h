#pragma once
// The editor panels of the two dimming engines, `pDimmer1` (ten times of day, part of
// the ISD function) and `pDimmer2` (ten delays after the LSt event). Built alike; what
// differs is in their EngineLayout. The rows are edited through the step editor; OK
// hands the row texts to the engine's rule in core/dimming_engines.

#include <array>

#include "core/dimming_engines.h"
#include "editors/editor.h"
#include "editors/help_pictures.h"
#include "editors/timing/step_editor.h"

class QLabel;

namespace ormid {

// Names and parts that differ between the two engines.
struct EngineLayout {
    DimmingEngine engine;
    FunctionBlock block;
    const char* panel;
    const char* title;
    const char* firstCaption; // "Time" or "Delay"
    StepKind firstKind;       // kindTimeOfDay or kindDelay
    RelayFollowsLevel relay;
    // Row element names, completed by the row number.
    const char* group;
    const char* first;
    const char* fade;
    const char* level;
    const char* on;
    const char* off;
    const char* remove;
    StepEditor::Names strip;
    const char* ok;
    const char* cancel;
    const char* helpButton;
    const char* helpPanel;
    const char* helpPicture;
    HelpArt help;
};

extern const EngineLayout kEngine1Layout;
extern const EngineLayout kEngine2Layout;

class DimmingEngineEditor final : public Editor {
    Q_OBJECT
public:
    // The remote layout edits the level and fade kinds of remote mode.
    DimmingEngineEditor(const EngineLayout& layout, bool remoteLayout, QWidget* parent);

    FunctionBlock block() const override { return layout_.block; }
    QRect designGeometry() const override;
    // Loads the engine's steps from the image and fills the rows.
    void open(EeBlock& image) override;
    // Writes the rows into the image; steps the engine cannot run are removed
    // (applyEngine1, applyEngine2).
    void apply(EeBlock& image) override;
    void closing() override;
    QString repaired() const override;

private:
    enum class Column { first, fade, level };
    void buildRow(int row, QWidget& rows);
    // The controls of row 1..10.
    StepRowControls rowControls(int row) const;
    // Fills row k from the step buffer; whether the next row may be used.
    bool fillRow(bool enabled, int row);
    void showRowState(int row, bool used, bool enabled);
    // Opens the step editor on a field of a row.
    void editField(int row, Column column);
    // Kind 1 on the first free row.
    void takeIntoUse(int row);
    // Frees the step of the row and every step below it.
    void deleteStep(int row);

    const EngineLayout& layout_;
    bool remoteLayout_;
    StepBuffer stepBuffer_{};
    std::array<StepRowControls, field::stepCount> rows_{};
    QLabel* deleteCaption_ = nullptr;
    StepEditor* strip_ = nullptr;
    HelpPicture* help_ = nullptr;
    bool linesRemoved_ = false;
};

} // namespace ormid
