#pragma once
// The kind of simulated stick a fuzz target's set-up byte names.

#include "core/image.h"
#include "sim/stick_model.h"

namespace ormid::fuzz {

// Bit 0: USB Stick mode (else memory mode); bit 1: an old stick that ignores the mode
// query; bit 2: no Ormid connected to a USB Stick mode stick.
inline sim::StickConfig stickKind(Byte setup)
{
    sim::StickConfig config;
    config.mode = (setup & 0x01) ? sim::StickMode::usb : sim::StickMode::memory;
    config.legacy = (setup & 0x02) != 0;
    config.deviceConnected = (setup & 0x04) == 0;
    return config;
}

} // namespace ormid::fuzz
