#pragma once
// The LSt control input (byte 0 bits 3 and 4) and its hold timer (byte 6): what the
// LSt switch, the click on the LSt picture, the hold switch and the hold editor's OK
// write. Every other bit of byte 0 stays as it was.

#include <array>
#include <string>
#include <string_view>

#include "core/image.h"

namespace ormid {

bool lstOn(const EeBlock& image);

// The LSt switch in the standard layout: on → off keeps the hold time (it returns only
// through the hold editor); off → on starts with the hold timer off.
void switchLstInput(EeBlock& image);
// The same in the remote layout, where the hold timer is not shown: only the input.
void switchLstInputRemote(EeBlock& image);

// A click on the LSt picture: the other polarity.
void toggleLstPolarity(EeBlock& image);

// The hold timer is on while byte 6 holds a time.
bool holdOn(const EeBlock& image);
// The hold switch turned off.
void switchHoldOff(EeBlock& image);

// The stored hold time as the editor and the label show it ("0" when off).
std::string holdTimeText(const EeBlock& image);
// OK of the hold editor: byte 6 := the time code of the field; "0" turns the timer off.
void applyHoldTime(EeBlock& image, std::string_view text);

// The hold editor's range selector; same factors as the step editor's (kRangeItems).
constexpr std::array<std::string_view, 4> kHoldRangeTexts = {"->00:01:00", "->00:10:00", "->01:00:00", "->15:00:00"};

} // namespace ormid
