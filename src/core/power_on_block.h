#pragma once
// Power-on: the delay (byte 4, 0xFF "Random"), the fade speed (byte 5: a time code, or
// in remote mode a device fade-rate code), the level (byte 3), and DPC/DOO (byte 68
// bit 1), which needs a delay.

#include <optional>
#include <string>
#include <string_view>

#include "core/image.h"

namespace ormid {

// The editor's fields.
struct PowerOnFields {
    std::string delay; // HH:MM:SS, "0" or "Random"
    std::string fade;
    std::string level;
    bool dpc = false;
};

inline constexpr std::string_view kRandomText = "Random";

// The power-on values in numbers.
struct PowerOnSettings {
    int level;                       // percent
    std::optional<int> delaySeconds; // nullopt: "Random"
    int fadeMs;                      // milliseconds per percent; 0 = no fade
};
PowerOnSettings powerOnSettings(const EeBlock& image);

PowerOnFields readPowerOn(const EeBlock& image);
// The DPC box is offered only while there is a delay ("Random" is one).
bool dpcAvailable(std::string_view delayText);

// "Random" ticked or unticked by the user writes byte 4 at once; returns the delay
// text the field shows, or nothing when it keeps its text.
std::optional<std::string> setRandomDelay(EeBlock& image, bool random);

// OK of the power-on panel.
void applyPowerOn(EeBlock& image, const PowerOnFields& fields, bool remoteMode);

} // namespace ormid
