#pragma once
// What ormid-stick-sim does beside serving the stick: keeps the state file holding
// the stick's state, and logs the traffic with --log.

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>

#include "core/image.h"
#include "sim/stick_model.h"

namespace ormid::sim {

// Keeps a state file holding the model's state: saved at once and after every change.
// A state that could not be saved is said at once, so that nobody trusts a state
// file that does not hold what the stick held.
class StateFileKeeper {
public:
    // `err` must outlive the keeper.
    StateFileKeeper(std::filesystem::path path, std::ostream& err);

    // Saves the model's state now and after each of its changes; false, the reason
    // on `err`, when the first save fails (then nothing is kept). The keeper must
    // stay as long as the model may change.
    bool keep(StickModel& model);
    // False once a save after a change failed.
    bool allSaved() const { return allSaved_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::ostream& err_;
    bool allSaved_ = true;
};

// Logs every report in and out, one flushed line each, and what a block stored in a
// remote memory will send. `out` must outlive the model.
void logStickTraffic(StickModel& model, std::ostream& out);

// The remote-control frames of a block stored at `address`, one line each under a
// heading that names the memory ("M2 remote frames:"); empty when `address` is no
// remote memory's block.
std::string remoteFramesText(std::uint16_t address, const Block& block);

} // namespace ormid::sim
