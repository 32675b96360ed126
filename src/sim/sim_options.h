#pragma once
// The command line of ormid-stick-sim: which stick to simulate, which faults to
// inject and how to run (socket, state file, presets, traffic log).

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/image.h"
#include "sim/stick_model.h"

namespace ormid::sim {

namespace simExit {
constexpr int success = 0;
constexpr int failure = 1; // the socket, the state file or a preset file cannot be used
constexpr int usage = 2;
} // namespace simExit

// --preset Mn=FILE[:NAME]: memory n filled from a configuration file.
struct MemoryPreset {
    int slot = 0; // 1..4
    std::string file;
    std::optional<std::string> name; // default: the file's info text

    bool operator==(const MemoryPreset&) const = default;
};

// --preset-firmware VERSION:SIZE: the stick's firmware record.
struct FirmwarePreset {
    Byte version = 0;
    std::uint16_t size = 0;

    bool operator==(const FirmwarePreset&) const = default;
};

struct SimOptions {
    std::string socketPath;
    StickConfig config;
    Faults faults;
    bool remote = false;                         // the stick starts remote (else as the state file has it)
    std::optional<std::string> deviceMemoryFile; // the connected Ormid's 256 bytes
    std::optional<std::string> stateFile;        // loaded when it exists, saved after every change
    std::vector<MemoryPreset> presets;           // applied after the state file is loaded
    std::optional<FirmwarePreset> firmwarePreset;
    bool log = false; // one line per report on standard output
};

enum class ParseOutcome { run, help, error };

struct ParsedOptions {
    ParseOutcome outcome = ParseOutcome::error;
    SimOptions options;
    std::string error; // set for ParseOutcome::error
};

// `args` are the arguments after the program name.
ParsedOptions parseSimOptions(const std::vector<std::string>& args);

void printSimUsage(std::ostream& os);

struct PreparedState {
    StickState state;
    std::string error; // empty on success
    bool ok() const { return error.empty(); }
};

// The state the simulated stick starts from: the state file when it exists (else a
// fresh stick), then --remote, the device memory file and the presets, in this order.
PreparedState prepareStickState(const SimOptions& options);

} // namespace ormid::sim
