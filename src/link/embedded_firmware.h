#pragma once
// The firmware container built into the program (`loadEmbeddedFirmware` reads it at start-up):
// the device maker's image when the build was given one, else a generated placeholder.

#include <string_view>

namespace ormid {

std::string_view embeddedFirmwareContainer();

} // namespace ormid
