#include "editors/output/dimming_curves.h"

#include "core/dimming_curve.h"
#include "editors/output/curve_chart.h"
#include "editors/output/dimming_curve_panel.h"
#include "files/curve_folder.h"

namespace ormid {

namespace {

const QString kCorrectionOff = QStringLiteral("Correction OFF");
const QString kCannotRead = QStringLiteral("Error: File cannot be read!");
const QString kNoCurves = QStringLiteral("Error: No curve files!");

} // namespace

DimmingCurves::DimmingCurves(DimmingCurvesContext context, DimmingCurvePanel& panel, QObject* parent)
    : QObject(parent), context_(std::move(context)), panel_(panel), caption_(kCorrectionOff)
{
    connect(&panel_, &DimmingCurvePanel::entrySelected, this, &DimmingCurves::listSelection);
    connect(&panel_, &DimmingCurvePanel::okClicked, this, &DimmingCurves::confirmCurve);
    connect(&panel_, &DimmingCurvePanel::cancelClicked, this, &DimmingCurves::cancelCurve);
}

void DimmingCurves::startUp(int requestedCurve)
{
    available_ = listCurves(true);
    // Without a curve list the request stays as it was, for the restart's arguments.
    curveIndex_ = requestedCurve;
    if (!available_ || curveIndex_ == -1)
        return;
    if (curveIndex_ >= static_cast<int>(names_.size())) {
        curveIndex_ = -1;
        return;
    }
    caption_ = entryCaption(curveIndex_);
    tick();
    // A curve that cannot be read or is damaged would convert with stray points.
    if (!drawnValid_)
        untick();
}

bool DimmingCurves::listCurves(bool atStartup)
{
    std::error_code error;
    if (!context_.folder || !std::filesystem::is_directory(*context_.folder, error))
        return false;
    std::vector<std::string> names = listCurveFiles(*context_.folder);
    if (names.empty())
        return false;
    names_ = std::move(names);
    panel_.setEntries(names_);
    if (atStartup)
        return true;
    if (curveIndex_ == -1) {
        panel_.selectEntry(0);
        lbOldItemIdx_ = 0;
        showPanel();
        loadSelectedCurve(true);
    } else {
        panel_.selectEntry(curveIndex_);
        loadSelectedCurve(false);
    }
    return true;
}

void DimmingCurves::loadSelectedCurve(bool draw)
{
    CurvePoints& curve = curve_;
    curve.resize(kCurvePoints, 0);
    CurveChart& chart = panel_.chart();
    chart.wipe();
    drawnValid_ = false;
    const int row = panel_.selectedEntry();
    if (row >= 0 && row < static_cast<int>(names_.size())) {
        const CurveFileRead read = readCurveFile(*context_.folder / names_[static_cast<std::size_t>(row)], curve);
        curve = read.load.points;
        drawnValid_ = read.valid();
        if (!read.readError.empty())
            chart.writeMessage(kCannotRead, QString::fromStdString(read.readError));
        else if (!read.load.valid())
            chart.writeMessage(QString::fromUtf8(curveFileMessage(read.load.status)));
        else if (draw)
            chart.drawCurve(curveChartPoints(curve));
    }
    panel_.setOkEnabled(drawnValid_);
}

void DimmingCurves::outputSetupShown()
{
    if (!ticked_) {
        buttonEnabled_ = false;
        caption_ = kCorrectionOff;
    } else if (curveIndex_ == -1) {
        untick();
        return;
    } else {
        buttonEnabled_ = true;
        caption_ = entryCaption(curveIndex_);
    }
    emit controlsChanged();
}

void DimmingCurves::correctionTicked(bool ticked)
{
    if (!ticked) {
        untick();
        return;
    }
    tick();
    // Output Setup is open: the user chooses on the curve panel.
    showPanel();
}

void DimmingCurves::tick()
{
    ticked_ = true;
    emit controlsChanged();
    if (!listCurves(false))
        noCurves();
}

// The folder offers no curve any more: the list keeps what it showed, and nothing is
// chosen until an entry that still loads is selected.
void DimmingCurves::noCurves()
{
    CurveChart& chart = panel_.chart();
    chart.wipe();
    chart.writeMessage(kNoCurves);
    drawnValid_ = false;
    panel_.setOkEnabled(false);
}

void DimmingCurves::untick()
{
    curveIndex_ = -1;
    curve_.clear();
    ticked_ = false;
    buttonEnabled_ = false;
    caption_ = kCorrectionOff;
    emit controlsChanged();
}

void DimmingCurves::chooseAnotherCurve()
{
    curveIndex_ = -1;
    if (!listCurves(false))
        noCurves();
    showPanel();
}

void DimmingCurves::showPanel()
{
    panel_.showCovering();
}

void DimmingCurves::listSelection(int row)
{
    if (row == lbOldItemIdx_)
        return;
    lbOldItemIdx_ = row;
    loadSelectedCurve(true);
}

void DimmingCurves::confirmCurve()
{
    // A curve that failed to load would convert the levels with stray points.
    if (!drawnValid_)
        return;
    curveIndex_ = panel_.selectedEntry();
    panel_.dismiss();
    buttonEnabled_ = true;
    caption_ = entryCaption(curveIndex_);
    ticked_ = true;
    emit controlsChanged();
    // Without a stick nothing was read to convert; in USB Stick mode the device gets the
    // image without the forward conversion, so converting it backward would alter it.
    if (!inverseApplied_ && isMemoryMode(context_.mode)) {
        convertImageBack();
        if (context_.refreshOutputSetup)
            context_.refreshOutputSetup();
    }
}

void DimmingCurves::cancelCurve()
{
    panel_.dismiss();
    untick();
}

void DimmingCurves::convertImageBack()
{
    if (!ticked_ || curveIndex_ == -1)
        return;
    if (ormid::uncorrectImageLevels(context_.image, curve_))
        inverseApplied_ = true;
}

void DimmingCurves::memoryCancelled()
{
    untick();
    inverseApplied_ = false;
}

QString DimmingCurves::entryCaption(int row) const
{
    if (row < 0 || row >= static_cast<int>(names_.size()))
        return kCorrectionOff;
    return QString::fromStdString(std::filesystem::path(names_[static_cast<std::size_t>(row)]).stem().string());
}

} // namespace ormid
