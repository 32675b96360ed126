#pragma once
// The curve panel `pDimmingCurve`: the curve list `lbDimmingCurve`, the chart
// `iDimmingCurve`, OK, Cancel and the help picture. It covers the whole main window
// while it is open. It only shows; DimmingCurves decides what a selection and OK do.

#include <QString>

#include <string>
#include <vector>

#include "editors/card.h"

class QListWidget;
class QPushButton;

namespace ormid {

class CurveChart;
class HelpPicture;

class DimmingCurvePanel final : public Card {
    Q_OBJECT
public:
    explicit DimmingCurvePanel(QWidget* parent);

    void setEntries(const std::vector<std::string>& names);
    // Selects an entry without reporting it as the user's selection; -1 selects none.
    void selectEntry(int row);
    // The selected list position, -1 when none.
    int selectedEntry() const;
    CurveChart& chart() const { return *iDimmingCurve_; }
    void setOkEnabled(bool enabled);
    // Over the whole of its parent, above everything on it.
    void showCovering();
    // Hides the panel and its help picture.
    void dismiss();

signals:
    // The user selected a list entry (mouse or keyboard).
    void entrySelected(int row);

private:
    QListWidget* lbDimmingCurve_ = nullptr;
    CurveChart* iDimmingCurve_ = nullptr;
    QPushButton* bDCOk_ = nullptr;
    HelpPicture* pDcHelp_ = nullptr;
    bool selecting_ = false; // a selection of the program's, not the user's
};

} // namespace ormid
