#pragma once
// Thermal management: byte 0 bit 7 switches it on; up to three thresholds T1 > T2 > T3
// (bytes 89, 91, 93; 30..85 °C, 0 = not set) with their levels (bytes 90, 92, 94; byte
// 90 bit 7: relay off at T1). A threshold counts only below a present one.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/image.h"

namespace ormid {

// The editor's fields; an empty threshold is "not set".
struct ThermalFields {
    std::array<std::string, 3> threshold;
    std::array<std::string, 3> level;
    bool relayOff = false;
};

// Opening the panel repairs the image at once (an invalid threshold clears
// what depends on it) and gives the fields; the fields after an invalid threshold are
// empty. A function switched off keeps its thresholds, so switching it on again (the
// only way to open it while off) shows them.
ThermalFields openThermal(EeBlock& image);

// Keeps every present threshold below the one above it: one that is not is lowered
// to one degree below it, and goes, with the ones after it, when that leaves it at
// "not set" (30). Thresholds below a missing one are left alone (OK ignores them).
// Returns whether anything was lowered.
bool repairThresholdOrder(ThermalFields& fields);

// OK: a present T1 switches the function on, an empty one off. The thresholds are
// stored in order (repairThresholdOrder); returns whether that had to repair them.
bool applyThermal(EeBlock& image, ThermalFields fields);

// The on-switch: off, the thresholds kept.
void switchThermalOff(EeBlock& image);
bool thermalOn(const EeBlock& image);

// The slider strip: tags 2..4 edit T1..T3, tags 5..7 L1..L3.
constexpr int kThermalT1Tag = 2;
constexpr int kThermalL1Tag = 5;
constexpr int kThermalNotSet = 30; // the temperature slider's minimum stands for "not set"

struct ThermalOpening {
    int minimum;
    int maximum;
    int position;
    std::string text; // the field rewritten
};
// Range and position of the slider for a clicked field, and the field's text on it.
ThermalOpening thermalOpening(int tag, std::string_view text);

// A T2 or T3 slider stops below the threshold above it, when that one is set.
std::optional<int> thermalUpperBound(int tag, std::string_view thresholdAbove);
// The field's text at a slider position; nullopt leaves it unchanged (T2 or T3 under
// a threshold that is not set).
std::optional<std::string> thermalSliderText(int tag, int position, std::string_view thresholdAbove);

} // namespace ormid
