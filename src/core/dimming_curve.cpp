#include "core/dimming_curve.h"

#include <algorithm>
#include <cstdlib>

#include "core/encodings.h"

namespace ormid {

namespace {

constexpr std::size_t kPoints = 101;

int percentOf(Byte level)
{
    return std::min(level & 0x7F, kLevelMaximum);
}

bool always(const EeBlock&, std::size_t)
{
    return true;
}
bool usedStep(const EeBlock& image, std::size_t at)
{
    return image[at] != kFreeLevel;
}
bool mffSet(const EeBlock& image, std::size_t)
{
    return image[field::mffStartLevel] != 0xFF;
}
bool thresholdSet(const EeBlock& image, std::size_t at)
{
    return image[at - 1] != 0;
}

// The levels converted together under one condition, tested before they are converted.
struct CurveLevel {
    std::vector<std::size_t> at;
    bool (*converted)(const EeBlock& image, std::size_t at);
};

std::vector<CurveLevel> curveLevels()
{
    std::vector<CurveLevel> levels{{{field::minLevel}, always}, {{field::powerOnLevel}, always}};
    for (std::size_t k = 1; k <= field::stepCount; ++k)
        levels.push_back({{engine2Step(k) + 2}, usedStep});
    for (std::size_t k = 1; k <= field::stepCount; ++k)
        levels.push_back({{engine1Step(k) + 2}, usedStep});
    // The MFF start and stop levels: both or neither.
    levels.push_back({{field::mffStartLevel, field::mffStopLevel}, mffSet});
    for (const std::size_t level : {field::tmLevel1, field::tmLevel2, field::tmLevel3})
        levels.push_back({{level}, thresholdSet});
    return levels;
}

bool converts(const EeBlock& image, const CurvePoints& curve)
{
    return curve.size() == kPoints && !TestBit(image[field::outputByte], bit::outputDali);
}

bool convert(EeBlock& image, const CurvePoints& curve, Byte (*level)(Byte, const CurvePoints&))
{
    if (!converts(image, curve))
        return false;
    for (const CurveLevel& entry : curveLevels()) {
        if (!entry.converted(image, entry.at.front()))
            continue;
        for (const std::size_t at : entry.at)
            image[at] = level(image[at], curve);
    }
    return true;
}

} // namespace

Byte correctLevel(Byte level, const CurvePoints& curve)
{
    return static_cast<Byte>((level & kRelayOff) + curve[static_cast<std::size_t>(percentOf(level))]);
}

Byte uncorrectLevel(Byte level, const CurvePoints& curve)
{
    const int wanted = percentOf(level);
    int best = kLevelMaximum;
    int bestDistance = 256;
    for (int input = kLevelMaximum; input >= 0; --input) {
        const int distance = std::abs(curve[static_cast<std::size_t>(input)] - wanted);
        if (distance < bestDistance) {
            best = input;
            bestDistance = distance;
        }
    }
    return static_cast<Byte>((level & kRelayOff) + best);
}

bool correctImageLevels(EeBlock& image, const CurvePoints& curve)
{
    return convert(image, curve, correctLevel);
}

std::vector<ChartPoint> curveChartPoints(const CurvePoints& curve)
{
    std::vector<ChartPoint> points;
    for (std::size_t input = 0; input < curve.size(); ++input)
        points.push_back({kChartLeft + kChartPixelsPerPercent * static_cast<int>(input), chartY(curve[input])});
    return points;
}

bool uncorrectImageLevels(EeBlock& image, const CurvePoints& curve)
{
    return convert(image, curve, uncorrectLevel);
}

} // namespace ormid
