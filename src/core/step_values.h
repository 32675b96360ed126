#pragma once
// The arithmetic of the step editor: which value a slider position stands for in each
// edit kind, where the slider stands when a field opens, and the range selector's grid.
// The editors only move widgets; every number comes from here.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace ormid {

// What a field holds while the slider edits it. The slider's tag is row × 16 + kind.
enum StepKind : int {
    kindLevel = 1,     // percent, minimum level .. 100
    kindDelay = 2,     // seconds, HH:MM:SS, through the range selector
    kindFade = 3,      // milliseconds per percent, SS,mmm, through the range selector
    kindTimeOfDay = 4, // 5-minute positions from 15:00 to 09:00
    kindFadeRate = 5,  // one of the device's 16 fade rates (remote mode)
    kindLevel5 = 6,    // percent in steps of 5 (remote mode)
};

constexpr int stepTag(int row, StepKind kind)
{
    return row * 16 + kind;
}
constexpr int tagRow(int tag)
{
    return tag / 16;
}
constexpr StepKind tagKind(int tag)
{
    return static_cast<StepKind>(tag % 16);
}

// The kinds of the level and fade fields: remote frames carry only the device's grid.
StepKind levelKind(bool remoteMode);
StepKind fadeKind(bool remoteMode);

// One item of the range selector: its texts for delays and fades, and its factor.
struct RangeItem {
    std::string_view delayText;
    std::string_view fadeText;
    int factor;
};
constexpr int kRangeSteps = 60; // slider positions of a range
extern const std::array<RangeItem, 4> kRangeItems;
// The selector's item texts for a kind (kindDelay or kindFade).
std::array<std::string_view, 4> rangeTexts(StepKind kind);

// Positions of a time-of-day slider: 20 is 15:00, 128 midnight, 236 is 09:00.
constexpr int kFirstTimeOfDay = 20;
constexpr int kMidnight = 128;
constexpr int kLastTimeOfDay = 236;
// The image byte of a position, and the position of a field text.
int timeOfDayCode(int position);
int timeOfDayPosition(std::string_view text);

// Where the slider stands when a field opens.
struct SliderSetup {
    int minimum;
    int maximum;
    int position;
    std::optional<int> rangeIndex; // kinds 2 and 3: the selector's item
};

// What the open operation needs to know about the field and its row.
struct FieldOpening {
    StepKind kind;
    std::string_view text;         // the edited field's text
    int minLevel;                  // image byte 2
    std::string_view previousTime; // kind 4: the previous row's time; empty for row 1
};

// nullopt when the field cannot be edited: a time of day after a predecessor at 09:00.
std::optional<SliderSetup> openSlider(const FieldOpening& field);

// The text the field takes at a slider position; nullopt while the selector has no
// item (it is being refilled).
std::optional<std::string> sliderText(StepKind kind, int position, int rangeIndex);

// A range change: the value moved onto the new item's grid.
struct RangeChange {
    std::string text;
    int position;
};
RangeChange changeRange(StepKind kind, std::string_view text, int rangeIndex);

// Whether a level text stands for a used step.
std::optional<int> levelOf(std::string_view text);

// x / y to the nearest integer, halves to even.
int nearestEven(int x, int y);

} // namespace ormid
