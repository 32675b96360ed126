#include "core/dimming_engines.h"

#include <algorithm>

#include "core/encodings.h"
#include "core/step_values.h"

namespace ormid {

namespace {

constexpr Byte kLevelBits = 0x7F;

std::size_t firstByte(DimmingEngine engine)
{
    return engine == DimmingEngine::engine1 ? field::engine1Steps : field::engine2Steps;
}

std::size_t stepOffset(int k)
{
    return field::stepSize * static_cast<std::size_t>(k - 1);
}

void freeStep(Byte* step)
{
    step[0] = 0;
    step[1] = 0;
    step[2] = kFreeLevel;
}

// A fade text's time code; a fade longer than a code holds takes the longest.
Byte fadeCode(const std::string& text)
{
    return static_cast<Byte>(encodeTimeCode(std::min(parseMilliseconds(text).value_or(0), kLargestTime)));
}

// The level byte of a row, or nullopt for a free step.
std::optional<Byte> levelByte(const StepRowTexts& row)
{
    const auto level = levelOf(row.level);
    if (!level)
        return std::nullopt;
    return static_cast<Byte>((*level & kLevelBits) | (row.off ? kRelayOff : 0));
}

// Writes one row's step; `used` turns false at the first free step and stays false.
void writeStep(Byte* step, Byte first, Byte fade, std::optional<Byte> level, bool& used)
{
    if (!level || !used) {
        freeStep(step);
        used = false;
        return;
    }
    step[0] = first;
    step[1] = fade;
    step[2] = *level;
}

void storeSteps(EeBlock& image, DimmingEngine engine, const StepBuffer& buffer, Byte switchBit)
{
    std::copy(buffer.begin(), buffer.end(), image.begin() + static_cast<std::ptrdiff_t>(firstByte(engine)));
    if (buffer[2] == kFreeLevel)
        image[field::outputByte] = ClearBit(image[field::outputByte], switchBit);
}

// Engine-1 times as signed counts of 5 minutes; 0x80 counts as +128.
int signedTime(Byte code)
{
    return code > 0x80 ? code - 256 : code;
}

// Engine-1 times as minutes from midnight, as the row shows them: 0x80 reads 00:00.
int engine1Minutes(Byte code)
{
    constexpr int kMinutesPerUnit = 5;
    return code == 0x80 ? 0 : kMinutesPerUnit * signedTime(code);
}

} // namespace

std::vector<EngineStep> usedSteps(const EeBlock& image, DimmingEngine engine)
{
    const StepBuffer buffer = loadSteps(image, engine);
    std::vector<EngineStep> steps;
    for (std::size_t at = 0; at < buffer.size() && buffer[at + 2] != kFreeLevel; at += field::stepSize) {
        const Byte when = buffer[at];
        steps.push_back({
            .when = engine == DimmingEngine::engine1 ? engine1Minutes(when) : decodeTimeCode(when),
            .fadeMs = decodeTimeCode(buffer[at + 1]),
            .level = buffer[at + 2] & kLevelBits,
            .relayOff = (buffer[at + 2] & kRelayOff) != 0,
        });
    }
    return steps;
}

StepBuffer loadSteps(const EeBlock& image, DimmingEngine engine)
{
    StepBuffer buffer{};
    const auto first = image.begin() + static_cast<std::ptrdiff_t>(firstByte(engine));
    std::copy(first, first + static_cast<std::ptrdiff_t>(buffer.size()), buffer.begin());
    return buffer;
}

StepRowView drawStepRow(DimmingEngine engine, StepBuffer& buffer, int k, bool enabled, bool remoteMode)
{
    Byte* step = buffer.data() + stepOffset(k);
    const bool free = step[2] == kFreeLevel;
    const bool used = !free && enabled;
    // Only a used step below a free one is freed; a free step keeps and shows its
    // time and fade, which become the step's when the row is taken into use.
    if (!free && !enabled)
        freeStep(step);
    const Byte level = step[2];
    // In remote mode engine 1 knows no relay bit: level 0 is the relay off.
    const bool off
        = engine == DimmingEngine::engine1 && remoteMode ? (level & kLevelBits) == 0 : (level & kRelayOff) != 0;
    return {
        .used = used,
        .first = engine == DimmingEngine::engine1 ? timeOfDayText(step[0]) : secondsText(decodeTimeCode(step[0])),
        .fade = millisecondsText(decodeTimeCode(step[1])),
        .level = used ? std::to_string(level & kLevelBits) : "-",
        .off = used && off,
    };
}

bool applyEngine1(EeBlock& image, const StepRows& rows)
{
    StepBuffer buffer{};
    bool used = true;
    bool removed = false;
    int previous = 0;
    for (int k = 1; k <= static_cast<int>(rows.size()); ++k) {
        const StepRowTexts& row = rows[static_cast<std::size_t>(k - 1)];
        const Byte time = static_cast<Byte>(parseTimeOfDayCode(row.first).value_or(256));
        auto level = levelByte(row);
        const int current = signedTime(time);
        if (k > 1 && previous >= current && level) {
            level.reset();
            removed = true;
        }
        previous = current;
        writeStep(buffer.data() + stepOffset(k), time, fadeCode(row.fade), level, used);
    }
    storeSteps(image, DimmingEngine::engine1, buffer, bit::isdEnable);
    return removed;
}

void applyEngine2(EeBlock& image, const StepRows& rows)
{
    StepBuffer buffer{};
    bool used = true;
    for (int k = 1; k <= static_cast<int>(rows.size()); ++k) {
        const StepRowTexts& row = rows[static_cast<std::size_t>(k - 1)];
        const Byte delay
            = static_cast<Byte>(encodeTimeCode(std::min(parseSeconds(row.first).value_or(0), kLargestTime)));
        auto level = levelByte(row);
        if (k > 1 && delay == 0)
            level.reset();
        writeStep(buffer.data() + stepOffset(k), delay, fadeCode(row.fade), level, used);
    }
    storeSteps(image, DimmingEngine::engine2, buffer, bit::lstEnable);
}

} // namespace ormid
