#include "sim/stick_observers.h"

#include <ostream>
#include <utility>

#include "core/memories.h"
#include "core/remote_frames.h"
#include "link/control_block.h"
#include "sim/bridge_server.h"
#include "sim/state_file.h"

namespace ormid::sim {

namespace {

constexpr const char* kProgram = "ormid-stick-sim: ";

} // namespace

StateFileKeeper::StateFileKeeper(std::filesystem::path path, std::ostream& err) : path_(std::move(path)), err_(err)
{
}

bool StateFileKeeper::keep(StickModel& model)
{
    if (const std::string error = saveStickState(path_, model.state()); !error.empty()) {
        err_ << kProgram << error << '\n';
        return false;
    }
    model.onStateChanged([this, &model] {
        if (const std::string error = saveStickState(path_, model.state()); !error.empty()) {
            allSaved_ = false;
            err_ << kProgram << error << "; the stick's state is not saved" << std::endl;
        }
    });
    return true;
}

void logStickTraffic(StickModel& model, std::ostream& out)
{
    model.onReport([&out](Direction direction, ByteSpan report) {
        out << reportLogLine(direction, report) << std::endl; // one flushed line per report
    });
    model.onBlockStored([&out](std::uint16_t address, const Block& block) {
        if (const std::string text = remoteFramesText(address, block); !text.empty())
            out << text << std::flush;
    });
}

std::string remoteFramesText(std::uint16_t address, const Block& block)
{
    for (int n = 1; n <= kMemoryCount; ++n) {
        if (address != remoteBlockAddress(n))
            continue;
        std::string text = "M" + std::to_string(n) + " remote frames:\n";
        for (const RemoteFrame& frame : decodeRemoteFrames(block))
            text += "  " + describeFrame(frame) + '\n';
        return text;
    }
    return {};
}

} // namespace ormid::sim
