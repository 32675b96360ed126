#include "core/step_values.h"

#include <algorithm>

#include "core/encodings.h"
#include "core/text_lines.h"

namespace ormid {

namespace {

constexpr int kLevel5Maximum = 20;
constexpr int kLevel5Step = 5;

// A minimum level above 100 comes only from an image written elsewhere; until the
// Output Setup repairs it, the level slider keeps the one value it can: 100.
int levelFloor(int minLevel)
{
    return std::clamp(minLevel, 0, kLevelMaximum);
}

int durationOf(StepKind kind, std::string_view text)
{
    return (kind == kindDelay ? parseSeconds(text) : parseMilliseconds(text)).value_or(0);
}

std::string durationText(StepKind kind, int value)
{
    return kind == kindDelay ? secondsText(value) : millisecondsText(value);
}

// The selector item that shows a value at the finest grid that holds it.
int rangeIndexFor(int value)
{
    int index = 0;
    while (index + 1 < static_cast<int>(kRangeItems.size()) && value >= kRangeSteps * kRangeItems[index].factor)
        ++index;
    return index;
}

SliderSetup clamped(int minimum, int maximum, int position, std::optional<int> rangeIndex = std::nullopt)
{
    return {minimum, maximum, std::clamp(position, minimum, maximum), rangeIndex};
}

} // namespace

// clang-format off
const std::array<RangeItem, 4> kRangeItems = {{
    {"-> 00:01:00", "-> 00,060", 1},
    {"-> 00:10:00", "-> 00,600", 10},
    {"-> 01:00:00", "-> 03,600", 60},
    {"-> 15:00:00", "-> 54,000", 900},
}};
// clang-format on

StepKind levelKind(bool remoteMode)
{
    return remoteMode ? kindLevel5 : kindLevel;
}

StepKind fadeKind(bool remoteMode)
{
    return remoteMode ? kindFadeRate : kindFade;
}

std::array<std::string_view, 4> rangeTexts(StepKind kind)
{
    std::array<std::string_view, 4> texts;
    std::transform(kRangeItems.begin(), kRangeItems.end(), texts.begin(),
                   [kind](const RangeItem& item) { return kind == kindDelay ? item.delayText : item.fadeText; });
    return texts;
}

int timeOfDayCode(int position)
{
    return position >= kMidnight ? position - kMidnight : position + kMidnight;
}

int timeOfDayPosition(std::string_view text)
{
    // An unreadable time reads as midnight.
    return parseTimeOfDayCode(text).value_or(256) - kMidnight;
}

std::optional<int> levelOf(std::string_view text)
{
    return parseDecimal(text);
}

int nearestEven(int x, int y)
{
    const int quotient = x / y;
    const int twiceRest = 2 * (x % y);
    if (twiceRest > y || (twiceRest == y && quotient % 2 != 0))
        return quotient + 1;
    return quotient;
}

std::optional<SliderSetup> openSlider(const FieldOpening& field)
{
    switch (field.kind) {
    case kindLevel:
        return clamped(levelFloor(field.minLevel), kLevelMaximum, levelOf(field.text).value_or(kLevelMaximum));
    case kindLevel5: {
        const auto level = levelOf(field.text);
        return clamped(nearestEven(levelFloor(field.minLevel), kLevel5Step), kLevel5Maximum,
                       level ? nearestEven(std::max(*level, 0), kLevel5Step) : kLevel5Maximum);
    }
    case kindFadeRate:
        return clamped(0, static_cast<int>(kFadeCount) - 1, parseFadeRate(field.text).value_or(kFadeCount));
    case kindTimeOfDay: {
        const int lowest = field.previousTime.empty() ? kFirstTimeOfDay : timeOfDayPosition(field.previousTime) + 1;
        if (lowest >= kLastTimeOfDay)
            return std::nullopt;
        return clamped(lowest, kLastTimeOfDay, timeOfDayPosition(field.text));
    }
    case kindDelay:
    case kindFade: {
        const int value = durationOf(field.kind, field.text);
        const int index = rangeIndexFor(value);
        return clamped(0, kRangeSteps, value / kRangeItems[index].factor, index);
    }
    }
    return std::nullopt;
}

std::optional<std::string> sliderText(StepKind kind, int position, int rangeIndex)
{
    switch (kind) {
    case kindLevel:
        return std::to_string(position);
    case kindLevel5:
        return std::to_string(kLevel5Step * position);
    case kindFadeRate:
        return std::string(fadeTexts[static_cast<std::size_t>(std::clamp(position, 0, int{kFadeCount} - 1))]);
    case kindTimeOfDay:
        return timeOfDayText(timeOfDayCode(position));
    case kindDelay:
    case kindFade:
        if (rangeIndex < 0 || rangeIndex >= static_cast<int>(kRangeItems.size()))
            return std::nullopt;
        return durationText(kind, position * kRangeItems[rangeIndex].factor);
    }
    return std::nullopt;
}

RangeChange changeRange(StepKind kind, std::string_view text, int rangeIndex)
{
    const int factor
        = kRangeItems[static_cast<std::size_t>(std::clamp(rangeIndex, 0, static_cast<int>(kRangeItems.size()) - 1))]
              .factor;
    const int value = std::min((durationOf(kind, text) + factor / 2) / factor * factor, kRangeSteps * factor);
    return {durationText(kind, value), value / factor};
}

} // namespace ormid
