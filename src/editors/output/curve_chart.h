#pragma once
// The curve chart `iDimmingCurve`: a 500 × 500 picture that keeps what was drawn on it
// until it is wiped back to the blank chart, shown scaled to the widget. The picture is
// made when it is first drawn on or shown: most runs never open the curve panel.

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
    const QImage& picture();

    // The blank chart (axes and grid) over the whole picture.
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
    // The picture, made blank on first use.
    QImage& canvas();

    QImage picture_;
};

} // namespace ormid
