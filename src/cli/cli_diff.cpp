// ormid-cli's diff: two configurations, each a file, a stick memory ("stick:M2") or the
// connected device ("device:"), compared in the report's words.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/cli.h"
#include "cli/cli_commands.h"
#include "core/memories.h"
#include "files/config_diff.h"

namespace ormid::cliCommands {

namespace {

constexpr std::string_view kStickPrefix = "stick:";
constexpr std::string_view kDevice = "device:";
// As diff(1): 0 the same, 1 different, 2 a source that cannot be compared.
constexpr int kDifferent = 1;
constexpr int kTrouble = 2;

// Where a configuration comes from.
struct Source {
    std::string text;          // as given
    std::optional<int> memory; // stick:Mn
    bool device = false;       // device:
    bool onStick() const { return memory || device; }
};

std::optional<Source> parseSource(const std::string& text, std::ostream& err)
{
    Source source{text, std::nullopt, false};
    if (text == kDevice) {
        source.device = true;
    } else if (text.starts_with(kStickPrefix)) {
        source.memory = parseMemoryName(std::string_view(text).substr(kStickPrefix.size()));
        if (!source.memory) {
            usageError(err, "a stick memory is stick:M1 to stick:M4, not " + text);
            return std::nullopt;
        }
    }
    return source;
}

// The stick's commands end with their own exit codes; a file that is no configuration
// or an empty or damaged memory is trouble, as diff(1) says it.
ConfigRead readSource(const Source& source, HidTransport* transport, Waiter* waiter, std::ostream& err)
{
    if (source.memory)
        return readStickMemory(*transport, *waiter, *source.memory, err);
    if (source.device) {
        std::ostream quiet(nullptr);
        ConfigRead read = readDeviceConfiguration(*transport, *waiter, quiet, err);
        // The device keeps its live astro clock there; a loaded configuration has zeros.
        clearAstroData(read.image);
        return read;
    }
    ConfigRead read;
    const auto loaded = loadConfigurationFile(source.text, {}, err);
    if (!loaded) {
        read.exitCode = cliExit::invalidInput;
        return read;
    }
    read.image = loaded->image;
    read.info = loaded->info.value_or(std::string());
    return read;
}

int compare(const Source& a, const Source& b, HidTransport* transport, Waiter* waiter, std::ostream& out,
            std::ostream& err)
{
    const ConfigRead before = readSource(a, transport, waiter, err);
    if (before.exitCode != cliExit::success)
        return before.exitCode == cliExit::invalidInput ? kTrouble : before.exitCode;
    const ConfigRead after = readSource(b, transport, waiter, err);
    if (after.exitCode != cliExit::success)
        return after.exitCode == cliExit::invalidInput ? kTrouble : after.exitCode;
    // The device keeps no info text: against it only the configurations count.
    const bool withInfo = !a.device && !b.device;
    const std::vector<ConfigChange> changes
        = diffConfigurations(before.image, withInfo ? before.info : "", after.image, withInfo ? after.info : "");
    out << formatConfigChanges(changes);
    return changes.empty() ? cliExit::success : kDifferent;
}

} // namespace

int runDiffCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const auto a = parseSource(args.positional[0], err);
    const auto b = parseSource(args.positional[1], err);
    if (!a || !b)
        return cliExit::usage;
    if (!a->onStick() && !b->onStick())
        return compare(*a, *b, nullptr, nullptr, out, err);
    return onDefaultStick(
        err, [&](HidTransport& transport, Waiter& waiter) { return compare(*a, *b, &transport, &waiter, out, err); });
}

} // namespace ormid::cliCommands
