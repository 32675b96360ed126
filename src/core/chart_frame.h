#pragma once
// The frame of the 500 × 500 help and curve charts: output in percent upwards, four
// pixels a percent from the origin at (49, 446), so 100 % lies at y = 46; the horizontal
// axis spans the 400 pixels from x = 49 to 449.

namespace ormid {

struct ChartPoint {
    int x;
    int y;

    bool operator==(const ChartPoint&) const = default;
};

constexpr int kChartSize = 500;
constexpr int kChartLeft = 49;
constexpr int kChartRight = 449;
constexpr int kChartBottom = 446;
constexpr int kChartTop = 46;
constexpr int kChartPixelsPerPercent = 4;

constexpr int chartY(int percent)
{
    return kChartBottom - kChartPixelsPerPercent * percent;
}

} // namespace ormid
