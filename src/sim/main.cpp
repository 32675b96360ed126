// ormid-stick-sim: a programming stick simulated in software, served on a Unix socket.

#include <atomic>
#include <csignal>
#include <iostream>

#include "core/remote_frames.h"
#include "link/control_block.h"
#include "sim/bridge_server.h"
#include "sim/sim_options.h"
#include "sim/state_file.h"

namespace {

std::atomic<ormid::sim::BridgeServer*> servedStick{nullptr};

extern "C" void stopServing(int)
{
    if (ormid::sim::BridgeServer* server = servedStick.load())
        server->stop();
}

} // namespace

int main(int argc, char** argv)
{
    using namespace ormid::sim;
    const ParsedOptions parsed = parseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.outcome != ParseOutcome::run) {
        const bool help = parsed.outcome == ParseOutcome::help;
        if (!help)
            std::cerr << "ormid-stick-sim: " << parsed.error << "\n\n";
        printSimUsage(help ? std::cout : std::cerr);
        return help ? simExit::success : simExit::usage;
    }
    const SimOptions& options = parsed.options;

    PreparedState prepared = prepareStickState(options);
    if (!prepared.ok()) {
        std::cerr << "ormid-stick-sim: " << prepared.error << '\n';
        return simExit::failure;
    }
    StickModel model(options.config, options.faults, std::move(prepared.state));
    // A state that could not be saved is said at once and ends the run with a failure,
    // so that nobody trusts a state file that does not hold what the stick held.
    bool unsaved = false;
    if (options.stateFile) {
        const auto save = [&] { return saveStickState(*options.stateFile, model.state()); };
        if (const std::string error = save(); !error.empty()) {
            std::cerr << "ormid-stick-sim: " << error << '\n';
            return simExit::failure;
        }
        model.onStateChanged([save, &unsaved] {
            if (const std::string error = save(); !error.empty()) {
                unsaved = true;
                std::cerr << "ormid-stick-sim: " << error << "; the stick's state is not saved" << std::endl;
            }
        });
    }
    if (options.log) {
        model.onReport([](Direction direction, ormid::ByteSpan report) {
            std::cout << reportLogLine(direction, report) << std::endl; // one flushed line per report
        });
        // What a remote memory will send, in words, as it is stored.
        model.onBlockStored([](std::uint16_t address, const ormid::Block& block) {
            for (int n = 1; n <= 4; ++n) {
                if (address != ormid::remoteBlockAddress(n))
                    continue;
                std::cout << "M" << n << " remote frames:\n";
                for (const ormid::RemoteFrame& frame : ormid::decodeRemote(block))
                    std::cout << "  " << ormid::describeFrame(frame) << '\n';
                std::cout << std::flush;
            }
        });
    }

    std::string error;
    const auto server = BridgeServer::open(model, options.socketPath, error);
    if (!server) {
        std::cerr << "ormid-stick-sim: " << error << '\n';
        return simExit::failure;
    }
    servedStick.store(server.get());
    std::signal(SIGINT, stopServing);
    std::signal(SIGTERM, stopServing);
    server->run();
    servedStick.store(nullptr);
    if (unsaved)
        std::cerr << "ormid-stick-sim: " << *options.stateFile << " does not hold the stick's last state\n";
    return unsaved ? simExit::failure : simExit::success;
}
