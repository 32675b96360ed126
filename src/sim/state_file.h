#pragma once
// The simulator's state file: the stick's 64 KB memory, its mode and the connected
// device's memory, version and received firmware, so a simulated stick keeps what
// was written across runs. Binary, little-endian:
//
//   "ORMSTICK"  magic (8 bytes)
//   01          format version
//   flags       bit 0: remote stick; other bits 0
//   fw          device firmware version
//   64 KB       stick memory
//   256 bytes   device memory
//   n (4 bytes) length of the received firmware, at most kMaxReceivedFirmware
//   n bytes     received firmware
//   CRC-16      over every byte before it, low byte first
//
// A file that does not match this exactly is refused; nothing is read past its end.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "sim/stick_model.h"

namespace ormid::sim {

constexpr std::string_view kStateFileMagic = "ORMSTICK";
constexpr Byte kStateFileVersion = 1;

struct StateFileResult {
    StickState state;
    std::string error; // empty on success
    bool ok() const { return error.empty(); }
};

// The file bytes of a state. nullopt when the state is not one the model keeps:
// a memory of another size than 64 KB, or more received firmware than kMaxReceivedFirmware.
std::optional<std::string> encodeStickState(const StickState& state);
// The state in file bytes, or why they are refused.
StateFileResult decodeStickState(std::string_view bytes);

// Writes the state atomically; returns the error text, empty on success.
[[nodiscard]] std::string saveStickState(const std::filesystem::path& path, const StickState& state);
// Reads and decodes the file. The text for refused content does not name the file.
StateFileResult loadStickState(const std::filesystem::path& path);

} // namespace ormid::sim
