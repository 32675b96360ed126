#pragma once
// What both 500 × 500 charts share: the background (white, a grid every 10 % upwards and
// at every caption of the horizontal axis, the output axis 0..100 % and the titles) and
// the red line.

#include <QString>

#include <span>
#include <vector>

#include "core/chart_frame.h"

class QPainter;

namespace ormid {

// The pixel size of the charts' captions and messages.
constexpr int kChartTextSize = 12;

struct ChartAxes {
    std::vector<QString> xCaptions; // spread evenly from the origin to the axis' end
    QString xTitle;
    QString yTitle;
};

// Paints into the chart's 500 pixels at the painter's origin; leaves a 12-pixel font set.
void paintChartBackground(QPainter& painter, const ChartAxes& axes);

// The chart's line through `points`: red, 2 pixels wide.
void paintChartLine(QPainter& painter, std::span<const ChartPoint> points);

} // namespace ormid
