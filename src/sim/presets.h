#pragma once
// Prepares a simulated stick as the program would have left it: memories M1..M4
// with a name and a data block, a firmware record, and the connected device's
// memory. Each function returns an error text, empty on success, and changes
// nothing when it fails.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/image.h"
#include "sim/stick_model.h"

namespace ormid::sim {

// Memory n (1..4): the data block of image bytes 0..95 at the memory's data-block
// address and the memory record with the signature of the stick's kind (local or
// remote), stored length 128 and `name` as info text (an empty name keeps the
// record's info bytes). `image` must hold at least 96 bytes.
[[nodiscard]] std::string presetMemory(StickState& state, int n, ByteSpan image, std::string_view name);

// The firmware record of the control block: version and image size, less than the
// 12288 bytes of the program's firmware buffer (the program refuses larger images).
// The firmware blocks are not touched.
[[nodiscard]] std::string presetFirmwareRecord(StickState& state, Byte version, std::uint16_t size);

// The device memory from a file of exactly 256 bytes.
[[nodiscard]] std::string loadDeviceMemory(StickState& state, const std::filesystem::path& file);

} // namespace ormid::sim
