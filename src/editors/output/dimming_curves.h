#pragma once
// The dimming-curve selection: the curve list, loading and drawing a curve, the
// correction box `cbDC` and button `bDC` (shown by Output Setup), the curve panel's
// OK and Cancel, and the backward conversion of the image. States: Off (no curve,
// `cbDC` unticked), Choosing (the curve panel is open), On (a curve selected).

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/dimming_curve.h"
#include "core/image.h"
#include "core/run_state.h"

namespace ormid {

class DimmingCurvePanel;

struct DimmingCurvesContext {
    // Only a memory's image is converted back through a curve that OK selects: without a
    // stick nothing was read, and a USB Stick mode device gets the image unconverted.
    const WindowMode& mode;
    EeBlock& image;
    // The curve folder `DimmingCurve`; none when the program has none.
    std::optional<std::filesystem::path> folder;
    // Refreshes the open Output Setup panel after OK converted the image.
    std::function<void()> refreshOutputSetup;
};

class DimmingCurves final : public QObject {
    Q_OBJECT
public:
    // `panel` must outlive this object.
    DimmingCurves(DimmingCurvesContext context, DimmingCurvePanel& panel, QObject* parent = nullptr);

    // The end of start-up: the list (its result is `available`) and, when "-dc=" named a
    // usable curve (`requestedCurve`, -1 for none), that curve selected and loaded for the
    // Transfer. A position beyond the list or a curve that can no longer be used leaves
    // the correction off.
    void startUp(int requestedCurve);

    // The curve folder offered curves at start-up.
    bool available() const { return available_; }
    // The selected curve's position in the list, -1 when none.
    int selectedIndex() const { return curveIndex_; }
    // `dimmingCurve`: the curve last loaded; empty when none.
    const CurvePoints& selectedCurve() const { return curve_; }
    // The image in the window has been converted back through the selected curve.
    bool inverseApplied() const { return inverseApplied_; }

    // Lists curves from `folder` from now on.
    void setFolder(const std::filesystem::path& folder) { context_.folder = folder; }

    // What `cbDC` and `bDC` show.
    bool ticked() const { return ticked_; }
    const QString& caption() const { return caption_; }
    bool buttonEnabled() const { return buttonEnabled_; }

    // Called when Output Setup shows the correction controls.
    void outputSetupShown();
    // The user ticked or unticked `cbDC` in the open Output Setup panel.
    void correctionTicked(bool ticked);
    // "bDC": the curve panel opens to choose another curve.
    void chooseAnotherCurve();
    // The image back through the selected curve (a memory was chosen).
    void convertImageBack();
    // The memory Cancel: correction off, and a fresh image may be converted again.
    void memoryCancelled();

    // Reads the curve folder into the list; true when it offered a curve.
    bool listCurves(bool atStartup);
    // Loads the selected entry's file into the selected curve, draws it when `draw`.
    void loadSelectedCurve(bool draw);

signals:
    // `cbDC` or `bDC` must show something else.
    void controlsChanged();

private:
    void tick();
    void untick();
    void noCurves();
    void showPanel();
    void listSelection(int row);
    // The curve panel's OK and Cancel.
    void confirmCurve();
    void cancelCurve();
    QString entryCaption(int row) const;

    DimmingCurvesContext context_;
    DimmingCurvePanel& panel_;
    std::vector<std::string> names_; // the curve list
    int lbOldItemIdx_ = -1;
    bool drawnValid_ = false; // the entry last loaded is a valid curve
    bool ticked_ = false;
    bool buttonEnabled_ = false;
    QString caption_;
    bool available_ = false;
    int curveIndex_ = -1;
    CurvePoints curve_;
    // The image has been converted back through the curve, so the curve panel's OK must
    // not convert it a second time. Cleared by the memory Cancel.
    bool inverseApplied_ = false;
};

} // namespace ormid
