#pragma once
// Maintenance factor (MFF: a lifetime with start, stop and three intermediate levels,
// bytes 69..73 and 75) and burn-in (BBT: byte 74), with the request to reset the
// operating hours (byte 68 bit 3). The editor keeps its working state in the texts of
// its seven fields; every change of them, the image it reads and what OK writes are here.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/chart_frame.h"
#include "core/image.h"

namespace ormid {

// The slider's tag: which field it edits.
enum MffTag : int {
    noMffField = 0,
    tagLifeTime = 1, // hours, a multiple of 500
    tagReduction,    // start level, percent
    tagBurnIn,       // hours
    tagStopLevel,    // percent
    tagL1,           // percent at 1/4, 1/2, 3/4 of the lifetime
    tagL2,
    tagL3,
};
constexpr int kMffFieldCount = 7;
constexpr int kLifetimeUnit = 500; // hours per step of byte 75
// What a level field reads while the lifetime is 0.
constexpr std::string_view kNoLevel = "-";

// The field texts by tag.
struct MffFields {
    std::array<std::string, kMffFieldCount> texts;

    std::string& operator[](MffTag tag) { return texts[static_cast<std::size_t>(tag - 1)]; }
    const std::string& operator[](MffTag tag) const { return texts[static_cast<std::size_t>(tag - 1)]; }
};

// The block is on while a lifetime or a burn-in period is set.
bool mffOn(const EeBlock& image);
// The block's switch turned off: no lifetime, no burn-in, no reset request; the levels
// stay for the next time.
void switchMffOff(EeBlock& image);

// The maintenance factor in numbers: the lifetime and the levels at 0, 1/4, 1/2, 3/4 and
// all of it; nullopt while no lifetime is set.
struct MffCurve {
    int lifetimeHours;
    std::array<int, 5> levels; // percent: start, L1, L2, L3, stop
};
std::optional<MffCurve> mffCurve(const EeBlock& image);
// The burn-in period in hours; 0 while BBT is off.
int burnInHours(const EeBlock& image);

// The fields of the image; the five level fields read "-" without a lifetime.
MffFields readMff(const EeBlock& image);
// The level fields take clicks only while the lifetime does not read "0".
bool mffLevelsEnabled(const MffFields& fields);

// Where the slider stands for a field.
struct MffSlider {
    int minimum;
    int maximum;
    int position;
};

// A click on a field: the slider's range from the neighbouring fields and its position
// at the field's value. The start level is bounded by the stop level (and the stop level
// by the start level), so L1..L3 always lie in order and no range comes out inverted;
// where an image written elsewhere still has its levels out of order, the range spans
// the two neighbours as they stand. A value outside the range is moved into it through
// setMffField, as moving the slider does.
MffSlider openMffField(MffFields& fields, MffTag tag);

// The slider at `position` while it edits `tag`: the field, and what follows from it
// (a new lifetime, start or stop level recomputes L1..L3; lifetime 0 blanks the levels).
void setMffField(MffFields& fields, MffTag tag, int position);

// L1..L3 on the straight line from the start to the stop level, halves to even.
void calculatePoints(MffFields& fields);

// OK: lifetime, levels (0 without a lifetime), burn-in and the reset request.
void applyMff(EeBlock& image, const MffFields& fields, bool resetOperatingHours);

// The help chart (500 × 500 pixels): output over lifetime through start, L1, L2, L3 and
// stop; nothing while the lifetime reads "0".
std::optional<std::array<ChartPoint, 5>> mffChartPoints(const MffFields& fields);

} // namespace ormid
