#pragma once
// The dimming curve's conversions of the image's levels. A curve maps every input level
// 0..100 % (the light wanted) to an output level (what the driver gets): forward when an
// image goes to a memory of a local stick, backward when it comes from one. A DALI
// output is never converted. Bit 7 of a level (relay off) is kept; a level above 100
// counts as 100.

#include <vector>

#include "core/chart_frame.h"
#include "core/image.h"

namespace ormid {

// `dimmingCurve`: empty, or 101 points (index = input level, value = output level).
using CurvePoints = std::vector<Byte>;

// The output level the curve gives for a wanted level.
Byte correctLevel(Byte level, const CurvePoints& curve);
// The level before the curve: the highest input that gives the level. A level that no
// point gives (an image written without this curve) takes the input of the nearest output,
// the highest such input on a tie, so it never becomes the free-step mark 0xFF.
Byte uncorrectLevel(Byte level, const CurvePoints& curve);

// Converts the image's levels through the curve, and back again, each under its condition tested
// just before it is converted: the minimum and power-on levels, the used steps of both
// engines, the MFF start and stop levels while byte 69 is not 0xFF, and the thermal
// levels whose temperature is set. Nothing for DALI or an empty curve; the result tells
// whether the image was converted.
bool correctImageLevels(EeBlock& image, const CurvePoints& curve);
bool uncorrectImageLevels(EeBlock& image, const CurvePoints& curve);

// The curve's polyline on the chart: point (input i, output c(i)) at pixel (49 + 4i, 446 − 4·c(i)).
std::vector<ChartPoint> curveChartPoints(const CurvePoints& curve);

} // namespace ormid
