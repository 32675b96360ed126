#pragma once
// The "Profile" panel `pProfile`: tonight's light of the current image as a chart, for
// the date and site in its fields. The fields change the profile request, never the
// image; the chart is the cairo drawing the CLI's PNG and the report use.

#include <QRect>
#include <QWidget>

#include "core/night_profile.h"
#include "editors/card.h"
#include "files/profile_chart.h"

class QCheckBox;
class QDateEdit;
class QDoubleSpinBox;
class QSpinBox;
class QTimeEdit;

namespace ormid {

// Shows a profile chart drawn with cairo at the widget's size.
class ProfileChartView final : public QWidget {
    Q_OBJECT
public:
    explicit ProfileChartView(QWidget* parent);

    void setChart(ProfileChart chart);
    const ProfileChart& chart() const { return chart_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ProfileChart chart_;
};

class ProfilePanel final : public Card {
    Q_OBJECT
public:
    explicit ProfilePanel(QWidget* parent);

    // Where the panel sits over the main panel, in design pixels (96 dpi): over the
    // blocks and the action bar.
    static constexpr QRect kDesignGeometry{8, 8, 912, 584};

    // The fields from the request.
    void showRequest(const ProfileRequest& request);
    // The request the fields give.
    ProfileRequest request() const;
    void showChart(ProfileChart chart);
    const ProfileChartView& chartView() const { return *chart_; }

signals:
    // A field changed: the request it gives is new.
    void requestChanged();

private:
    QDateEdit* date_ = nullptr;
    QDoubleSpinBox* latitude_ = nullptr;
    QDoubleSpinBox* twilight_ = nullptr;
    QCheckBox* lst_ = nullptr;
    QTimeEdit* lstTime_ = nullptr;
    QSpinBox* age_ = nullptr;
    ProfileChartView* chart_ = nullptr;
    bool filling_ = false; // showRequest is setting the fields
};

} // namespace ormid
