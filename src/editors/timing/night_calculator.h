#pragma once
// The length-of-night calculator `pAstroCalc` of the "Auto DST" group: the night from
// evening to morning twilight for a date, a latitude and a twilight angle. Its inputs
// keep their values while the program runs.

#include "editors/card.h"

class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QSlider;

namespace ormid {

class NightCalculator final : public Card {
    Q_OBJECT
public:
    explicit NightCalculator(QWidget* parent);

    // Computes the length of night for the inputs as they stand and shows the calculator.
    void showCalculator();

signals:
    // "Set DST Start" (start) or "Set DST End": the night length in the result field.
    void nightLengthSet(bool start, const QString& length);

private:
    void showNightLength();

    QSlider* sbLatitude_ = nullptr;
    QLabel* lLatitude_ = nullptr;
    QDateEdit* DateTimePicker1_ = nullptr;
    QSlider* sbHorizon_ = nullptr;
    QLabel* lHorizon_ = nullptr;
    QLineEdit* eLoN_ = nullptr;
    QFrame* pHelpAstroCalc_ = nullptr;
};

} // namespace ormid
