#pragma once
// The offset calculator `pCalc` of the ISD editor: the ISD offset from the time zone and
// the geographic longitude. Its inputs keep their values while the program runs.

#include "editors/card.h"

class QLineEdit;
class QSlider;

namespace ormid {

class HelpPicture;

class OffsetCalculator final : public Card {
    Q_OBJECT
public:
    explicit OffsetCalculator(QWidget* parent);

signals:
    // OK with a storable offset, in minutes.
    void offsetChosen(int minutes);

private:
    void showZone(int zone);
    void showLongitude(int halfDegrees);
    void showOffset();
    void chooseOffset();

    QSlider* sbUTC_ = nullptr;
    QLineEdit* eUTC_ = nullptr;
    QSlider* sbLength_ = nullptr;
    QLineEdit* eLength_ = nullptr;
    QLineEdit* eOffset_ = nullptr;
    QWidget* map_ = nullptr;
    HelpPicture* help_ = nullptr;
};

} // namespace ormid
