#pragma once
// The relay's own option: whether it switches at the mains zero crossing (byte 88 bit 0).
// The other bits of byte 88 stay as they were.

#include "core/image.h"

namespace ormid {

bool zeroCrossSwitch(const EeBlock& image);

// OK of the relay panel.
void applyZeroCrossSwitch(EeBlock& image, bool zeroCross);

} // namespace ormid
