#pragma once
// The MFF help chart: output over the lifetime through the five levels of the MFF
// editor, drawn in code on a 500 × 500 chart; a click on it hides it.

#include <QWidget>

#include <array>
#include <optional>

#include "core/mff_block.h"

class QPainter;

namespace ormid {

// Paints the chart into a 500 × 500 area at the painter's origin: the fixed background,
// then the red line through `points`, or "Lifetime?" without them.
void paintMffChart(QPainter& painter, const std::optional<std::array<ChartPoint, 5>>& points);

class MffChart final : public QWidget {
    Q_OBJECT
public:
    explicit MffChart(QWidget* parent);

    void setPoints(const std::optional<std::array<ChartPoint, 5>>& points);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::optional<std::array<ChartPoint, 5>> points_;
};

} // namespace ormid
