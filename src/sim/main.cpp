// ormid-stick-sim: a programming stick simulated in software, served on a Unix socket.

#include <atomic>
#include <csignal>
#include <iostream>
#include <optional>

#include "sim/bridge_server.h"
#include "sim/sim_options.h"
#include "sim/state_file.h"
#include "sim/stick_observers.h"

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
    std::optional<StateFileKeeper> stateFile;
    if (options.stateFile && !stateFile.emplace(*options.stateFile, std::cerr).keep(model))
        return simExit::failure;
    if (options.log)
        logStickTraffic(model, std::cout);

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
    if (stateFile && !stateFile->allSaved()) {
        std::cerr << "ormid-stick-sim: " << stateFile->path().string() << " does not hold the stick's last state\n";
        return simExit::failure;
    }
    return simExit::success;
}
