#include "core/mff_block.h"

#include <algorithm>

#include "core/encodings.h"
#include "core/step_values.h"

namespace ormid {

namespace {

constexpr int kByteMaximum = 255;
// A lifetime set for the first time starts from these.
constexpr const char* kFirstStartLevel = "80";
constexpr const char* kFirstStopLevel = "100";

constexpr MffTag kLevelTags[] = {tagReduction, tagL1, tagL2, tagL3, tagStopLevel};

// Where each field sits in the image while a lifetime is set.
struct LevelByte {
    MffTag tag;
    std::size_t position;
};
constexpr LevelByte kLevelBytes[] = {
    {tagReduction, field::mffStartLevel},
    {tagL1, field::mffLevel1},
    {tagL2, field::mffLevel2},
    {tagL3, field::mffLevel3},
    {tagStopLevel, field::mffStopLevel},
};

// A slider bound: the value of a neighbouring field, or a fixed value without one.
struct Bound {
    MffTag neighbour;
    int fixed;
};
struct FieldRange {
    MffTag tag;
    Bound lower;
    Bound upper;
};
constexpr FieldRange kRanges[] = {
    {tagLifeTime, {noMffField, 0}, {noMffField, kByteMaximum}},
    {tagReduction, {noMffField, 0}, {tagStopLevel, kLevelMaximum}},
    {tagBurnIn, {noMffField, 0}, {noMffField, kByteMaximum}},
    {tagStopLevel, {tagReduction, 0}, {noMffField, kLevelMaximum}},
    {tagL1, {tagReduction, 0}, {tagL2, kLevelMaximum}},
    {tagL2, {tagL1, 0}, {tagL3, kLevelMaximum}},
    {tagL3, {tagL2, 0}, {tagStopLevel, kLevelMaximum}},
};

int number(const MffFields& fields, MffTag tag)
{
    return levelOf(fields[tag]).value_or(0);
}

// A field's value in slider positions.
int positionOf(const MffFields& fields, MffTag tag)
{
    const int value = number(fields, tag);
    return tag == tagLifeTime ? value / kLifetimeUnit : value;
}

int boundOf(const MffFields& fields, const Bound& bound)
{
    if (bound.neighbour == noMffField)
        return bound.fixed;
    return std::clamp(number(fields, bound.neighbour), 0, kLevelMaximum);
}

Byte byteOf(int value)
{
    return static_cast<Byte>(std::clamp(value, 0, kByteMaximum));
}

void setLifeTime(MffFields& fields, int position)
{
    fields[tagLifeTime] = std::to_string(position * kLifetimeUnit);
    if (position == 0) {
        for (const MffTag tag : kLevelTags)
            fields[tag] = kNoLevel;
        return;
    }
    if (fields[tagReduction] == kNoLevel) {
        fields[tagReduction] = kFirstStartLevel;
        fields[tagStopLevel] = kFirstStopLevel;
    }
    calculatePoints(fields);
}

} // namespace

bool mffOn(const EeBlock& image)
{
    return image[field::mffLifetime] != 0 || image[field::burnInHours] != 0;
}

void switchMffOff(EeBlock& image)
{
    image[field::mffLifetime] = 0;
    image[field::burnInHours] = 0;
    image[field::optionByte] = ClearBit(image[field::optionByte], bit::resetOperatingHours);
}

std::optional<MffCurve> mffCurve(const EeBlock& image)
{
    const int lifetime = image[field::mffLifetime];
    if (lifetime == 0)
        return std::nullopt;
    MffCurve curve{lifetime * kLifetimeUnit, {}};
    for (std::size_t i = 0; i < curve.levels.size(); ++i)
        curve.levels[i] = image[kLevelBytes[i].position];
    return curve;
}

int burnInHours(const EeBlock& image)
{
    return image[field::burnInHours];
}

MffFields readMff(const EeBlock& image)
{
    MffFields fields;
    const auto curve = mffCurve(image);
    fields[tagBurnIn] = std::to_string(burnInHours(image));
    fields[tagLifeTime] = std::to_string(curve ? curve->lifetimeHours : 0);
    for (std::size_t i = 0; i < std::size(kLevelBytes); ++i)
        fields[kLevelBytes[i].tag] = curve ? std::to_string(curve->levels[i]) : std::string(kNoLevel);
    return fields;
}

bool mffLevelsEnabled(const MffFields& fields)
{
    return fields[tagLifeTime] != "0";
}

MffSlider openMffField(MffFields& fields, MffTag tag)
{
    const FieldRange& range
        = *std::find_if(std::begin(kRanges), std::end(kRanges), [tag](const FieldRange& r) { return r.tag == tag; });
    const int lower = boundOf(fields, range.lower);
    const int upper = boundOf(fields, range.upper);
    const MffSlider slider{std::min(lower, upper), std::max(lower, upper),
                           std::clamp(positionOf(fields, tag), std::min(lower, upper), std::max(lower, upper))};
    if (slider.position != positionOf(fields, tag))
        setMffField(fields, tag, slider.position);
    return slider;
}

void setMffField(MffFields& fields, MffTag tag, int position)
{
    if (tag == tagLifeTime) {
        setLifeTime(fields, position);
        return;
    }
    fields[tag] = std::to_string(position);
    if (tag == tagReduction || tag == tagStopLevel)
        calculatePoints(fields);
}

void calculatePoints(MffFields& fields)
{
    const int start = number(fields, tagReduction);
    const int stop = number(fields, tagStopLevel);
    constexpr MffTag points[] = {tagL1, tagL2, tagL3};
    for (int k = 1; k <= 3; ++k) {
        // start + (stop − start) × k / 4, in quarters so that the halves stay exact.
        fields[points[k - 1]] = std::to_string(nearestEven(4 * start + (stop - start) * k, 4));
    }
}

void applyMff(EeBlock& image, const MffFields& fields, bool resetOperatingHours)
{
    const int hours = number(fields, tagLifeTime);
    image[field::mffLifetime] = byteOf(hours / kLifetimeUnit);
    for (const LevelByte& level : kLevelBytes)
        image[level.position] = hours != 0 ? byteOf(number(fields, level.tag)) : Byte{0};
    image[field::burnInHours] = byteOf(number(fields, tagBurnIn));
    image[field::optionByte] = PutBit(image[field::optionByte], bit::resetOperatingHours, resetOperatingHours);
}

std::optional<std::array<ChartPoint, 5>> mffChartPoints(const MffFields& fields)
{
    if (!mffLevelsEnabled(fields))
        return std::nullopt;
    // A quarter of the lifetime is 100 pixels.
    constexpr int kQuarter = (kChartRight - kChartLeft) / 4;
    std::array<ChartPoint, 5> points{};
    for (std::size_t i = 0; i < points.size(); ++i) {
        const int level = std::clamp(number(fields, kLevelTags[i]), 0, kLevelMaximum);
        points[i] = {kChartLeft + kQuarter * static_cast<int>(i), chartY(level)};
    }
    return points;
}

} // namespace ormid
