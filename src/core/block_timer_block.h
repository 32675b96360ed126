#pragma once
// The block timer: byte 1 holds the blocking period in units of 5 s; 0 is off.

#include <string>
#include <string_view>

#include "core/image.h"

namespace ormid {

constexpr int kBlockTimeUnit = 5; // seconds
constexpr int kLargestBlockTime = 255;

// The period's text, and the slider position of a text.
std::string blockTimeText(int units);
int blockTimePosition(std::string_view text);

// OK of the block-timer panel.
void applyBlockTime(EeBlock& image, std::string_view text);
// The switch of a running block timer.
void switchBlockTimerOff(EeBlock& image);
bool blockTimerOn(const EeBlock& image);
// The blocking period in seconds; 0 while the timer is off.
int blockTimeSeconds(const EeBlock& image);

} // namespace ormid
