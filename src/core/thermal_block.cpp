#include "core/thermal_block.h"

#include <algorithm>

#include "core/encodings.h"
#include "core/step_values.h"

namespace ormid {

namespace {

constexpr int kLowest = 30;
constexpr int kHighest = 85;
constexpr Byte kReservedFill = 0xFF;

constexpr std::array<std::size_t, 3> kThresholdBytes = {field::tmT1, field::tmT2, field::tmT3};

bool validThreshold(int t)
{
    return t >= kLowest && t <= kHighest;
}

bool isThresholdTag(int tag)
{
    return tag >= kThermalT1Tag && tag < kThermalL1Tag;
}

// Clears threshold `from` (0..2) and every byte after it up to byte 94.
void clearFrom(EeBlock& image, std::size_t from)
{
    std::fill(image.begin() + static_cast<std::ptrdiff_t>(kThresholdBytes[from]),
              image.begin() + static_cast<std::ptrdiff_t>(field::tmReserved), Byte{0});
}

int numberOf(std::string_view text)
{
    return levelOf(text).value_or(0);
}

} // namespace

ThermalFields openThermal(EeBlock& image)
{
    ThermalFields fields;
    for (std::size_t i = 0; i < kThresholdBytes.size(); ++i) {
        const int t = image[kThresholdBytes[i]];
        if (!validThreshold(t)) {
            clearFrom(image, i);
            if (i == 0)
                image[field::tmReserved] = kReservedFill;
            break;
        }
        Byte level = image[kThresholdBytes[i] + 1];
        if (i == 0) {
            // A relay-off flag shows as level 0.
            level = std::min<Byte>(level, kRelayOff);
            fields.relayOff = (level & kRelayOff) != 0;
        }
        fields.threshold[i] = std::to_string(t);
        fields.level[i] = std::to_string(std::min(level & 0x7F, kLevelMaximum));
    }
    return fields;
}

bool repairThresholdOrder(ThermalFields& fields)
{
    bool repaired = false;
    for (std::size_t i = 1; i < fields.threshold.size(); ++i) {
        const std::string& above = fields.threshold[i - 1];
        std::string& threshold = fields.threshold[i];
        if (above.empty() || threshold.empty())
            break; // OK ignores whatever follows a missing threshold
        if (numberOf(threshold) < numberOf(above))
            continue;
        repaired = true;
        const int lowered = numberOf(above) - 1;
        if (lowered > kThermalNotSet) {
            threshold = std::to_string(lowered);
            continue;
        }
        std::fill(fields.threshold.begin() + static_cast<std::ptrdiff_t>(i), fields.threshold.end(), "");
        break;
    }
    return repaired;
}

bool applyThermal(EeBlock& image, ThermalFields fields)
{
    const bool repaired = repairThresholdOrder(fields);
    Byte& enable = image[field::outputByte];
    if (fields.threshold[0].empty()) {
        clearFrom(image, 0);
        enable = ClearBit(enable, bit::tmEnable);
    } else {
        bool present = true;
        for (std::size_t i = 0; i < kThresholdBytes.size(); ++i) {
            present = present && !fields.threshold[i].empty();
            if (!present) {
                clearFrom(image, i);
                break;
            }
            image[kThresholdBytes[i]] = static_cast<Byte>(numberOf(fields.threshold[i]));
            const int offFlag = i == 0 && fields.relayOff ? kRelayOff : 0;
            image[kThresholdBytes[i] + 1] = static_cast<Byte>(numberOf(fields.level[i]) + offFlag);
        }
        enable = SetBit(enable, bit::tmEnable);
    }
    image[field::tmReserved] = kReservedFill;
    return repaired;
}

void switchThermalOff(EeBlock& image)
{
    image[field::outputByte] = ClearBit(image[field::outputByte], bit::tmEnable);
}

bool thermalOn(const EeBlock& image)
{
    return TestBit(image[field::outputByte], bit::tmEnable);
}

ThermalOpening thermalOpening(int tag, std::string_view text)
{
    const int value = numberOf(text);
    if (!isThresholdTag(tag))
        return {0, kLevelMaximum, std::clamp(value, 0, kLevelMaximum), std::to_string(value)};
    if (value > kLowest)
        return {kLowest, kHighest, std::min(value, kHighest), std::to_string(value)};
    return {kLowest, kHighest, kLowest, ""};
}

std::optional<int> thermalUpperBound(int tag, std::string_view thresholdAbove)
{
    if (tag == kThermalT1Tag || !isThresholdTag(tag))
        return std::nullopt;
    const int above = numberOf(thresholdAbove);
    if (above <= kLowest)
        return std::nullopt;
    return above - 1;
}

std::optional<std::string> thermalSliderText(int tag, int position, std::string_view thresholdAbove)
{
    if (!isThresholdTag(tag))
        return std::to_string(position);
    if (position == kThermalNotSet)
        return "";
    if (tag != kThermalT1Tag && !thermalUpperBound(tag, thresholdAbove))
        return std::nullopt;
    return std::to_string(position);
}

} // namespace ormid
