#pragma once
// The curve chart `iDimmingCurve`: a 500 × 500 picture that keeps what was drawn on it
// until it is wiped with the blank chart, shown scaled to the widget.

#include <QImage>
#include <QWidget>

#include <vector>

#include "core/chart_frame.h"

namespace ormid {

class CurveChart final : public QWidget {
    Q_OBJECT
public:
    explicit CurveChart(QWidget* parent);

    // The picture at its own 500 × 500 pixels.
    const QImage& picture() const { return picture_; }

    // Keeps the chart as it stands as the blank chart.
    void takeBlank();
    bool hasBlank() const { return !blank_.isNull(); }
    // Copies the blank chart over the picture.
    void wipe();
    // The curve through its points, red and 2 pixels wide.
    void drawCurve(const std::vector<ChartPoint>& points);
    // A message with its top-left corner at (100, 100), and an optional detail below it.
    void writeMessage(const QString& message, const QString& detail = {});

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    QImage blank_;
};

} // namespace ormid
