#pragma once
// The Power On Setup panel `pStartupDelay`: delay (or "Random"), fade speed and level
// after power on through the step editor's single row, and DPC/DOO, which needs a delay.

#include "core/step_values.h"
#include "editors/editor.h"

class QCheckBox;
class QGroupBox;

namespace ormid {

class ClickField;
class HelpPicture;
class StepEditor;

class PowerOnEditor final : public Editor {
    Q_OBJECT
public:
    // The remote layout edits the fade and level kinds of remote mode.
    PowerOnEditor(bool remoteLayout, QWidget* parent);

    FunctionBlock block() const override { return FunctionBlock::powerOn; }
    QRect designGeometry() const override;
    void open(EeBlock& image) override;
    // Writes the power-on delay, fade and level and the DPC/DOO settings of the fields.
    void apply(EeBlock& image) override;
    void closing() override;

private:
    void editField(StepKind kind);
    // "Random" ticked or unticked by the user: byte 4 is written at once.
    void useRandomDelay(bool random);
    // The DPC box is offered only while the delay is not "0".
    void updateDpcBox();

    bool remoteLayout_;
    EeBlock* image_ = nullptr; // while open, for "Random"
    ClickField* ePORelayDelay_ = nullptr;
    ClickField* ePOFade_ = nullptr;
    ClickField* ePOLevel_ = nullptr;
    QCheckBox* cbRandom_ = nullptr;
    QGroupBox* dpcGroup_ = nullptr;
    QCheckBox* cbEnableDPC_ = nullptr;
    StepEditor* strip_ = nullptr;
    HelpPicture* help_ = nullptr;
};

} // namespace ormid
