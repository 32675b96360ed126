#include "cli/cli.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string_view>

#include "core/image.h"
#include "core/text_codec.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "files/dimming_curve_file.h"
#include "files/file_kind.h"
#include "files/report_model.h"
#include "link/embedded_firmware.h"
#include "link/control_block.h"
#include "link/firmware_container.h"
#include "link/firmware_image.h"
#include "link/block_transfer.h"
#include "link/data_block.h"
#include "link/hid_transport.h"
#include "link/link_engine.h"
#include "link/memory_transfer.h"
#include "link/stick_probe.h"
#include "link/waiter.h"

namespace ormid {

namespace {

constexpr std::string_view kNoDataLines = "The file holds no data lines.";

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string, std::less<>> values;
    std::set<std::string, std::less<>> flags;

    const std::string* value(std::string_view name) const
    {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : &it->second;
    }
    bool flag(std::string_view name) const { return flags.contains(name); }
};

struct OptionRule {
    std::string_view name;
    bool takesValue;
};

using Handler = int (*)(const Arguments&, std::ostream& out, std::ostream& err);

struct Command {
    std::string_view name; // one or more words ("stick status")
    std::string_view synopsis;
    std::string_view summary;
    std::vector<OptionRule> options;
    std::vector<std::string_view> required;  // options that must be given
    std::size_t minPositional;
    std::size_t maxPositional;
    Handler run;
};

int runNew(const Arguments& args, std::ostream& out, std::ostream& err);
int runCheck(const Arguments& args, std::ostream& out, std::ostream& err);
int runShow(const Arguments& args, std::ostream& out, std::ostream& err);
int runStick(const Arguments& args, std::ostream& out, std::ostream& err);
int runStickReadCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runStickWriteCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runStickEraseCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runDeviceStatusCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runDeviceReadCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runDeviceWriteCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runDeviceUpdateFwCommand(const Arguments& args, std::ostream& out, std::ostream& err);

const std::vector<Command>& commands()
{
    static const std::vector<Command> table = {
        {"new", "new -o FILE [--info TEXT]",
         "Write the default configuration to FILE, with an info text of up to 8 characters.",
         {{"-o", true}, {"--info", true}}, {"-o"}, 0, 0, runNew},
        {"check", "check FILE",
         "Tell what FILE is (configuration, old-form configuration, firmware container,\n"
         "dimming curve or unknown) and whether it is valid.",
         {}, {}, 1, 1, runCheck},
        {"show", "show [FILE] [--no-load-check] [--copy-astro]",
         "Load a configuration file as \"Load\" does and print it in words; without FILE the\n"
         "built-in default image. --no-load-check takes the data despite a wrong checksum,\n"
         "--copy-astro keeps the file's astro-clock bytes.",
         {{"--no-load-check", false}, {"--copy-astro", false}}, {}, 0, 1, runShow},
        {"stick status", "stick status",
         "Find the stick as the programmer does at start-up and print its mode; in memory\n"
         "mode also the memories M1 to M4 and the firmware record. When ORMID_HID_BRIDGE\n"
         "names a socket, the stick simulator on it is asked instead of the USB stick.",
         {}, {}, 0, 0, runStick},
        {"stick read", "stick read M1..M4 -o FILE",
         "Read the memory from a stick in memory mode and save it as a configuration file\n"
         "named after the memory.",
         {{"-o", true}}, {"-o"}, 1, 1, runStickReadCommand},
        {"stick write", "stick write M1..M4 FILE [--name TEXT]",
         "Load a configuration file as \"Load\" does and store it in the memory as \"Transfer\"\n"
         "does: data block first, control block last. The memory's name is TEXT (up to 8\n"
         "characters), else the file's info text; without either it keeps its old name.",
         {{"--name", true}}, {}, 2, 2, runStickWriteCommand},
        {"stick erase", "stick erase [--remote]",
         "Erase all four memories without asking; --remote also makes the stick a remote\n"
         "stick, without it the stick becomes a local one.",
         {{"--remote", false}}, {}, 0, 0, runStickEraseCommand},
        {"device status", "device status",
         "With the stick in USB Stick mode: wait for the connected Ormid to announce itself\n"
         "and print its device number and firmware version.",
         {}, {}, 0, 0, runDeviceStatusCommand},
        {"device read", "device read -o FILE [--raw FILE]",
         "Read the connected Ormid's memory and save bytes 0 to 95 as a configuration file;\n"
         "--raw also writes all 256 bytes as they were read.",
         {{"-o", true}, {"--raw", true}}, {"-o"}, 0, 0, runDeviceReadCommand},
        {"device write", "device write FILE",
         "Load a configuration file as \"Load\" does and write it to the connected Ormid:\n"
         "the device is read first, so bytes 96 to 249 go back as read.",
         {}, {}, 1, 1, runDeviceWriteCommand},
        {"device update-fw", "device update-fw [FILE.kdp]",
         "Update the connected Ormid's firmware page by page with the image from FILE.kdp,\n"
         "else with the built-in one, printing \"page n/m\" per page; the device is reset\n"
         "at the end.",
         {}, {}, 0, 1, runDeviceUpdateFwCommand},
    };
    return table;
}

void printUsage(std::ostream& os)
{
    os << "Usage: ormid-cli COMMAND [ARGUMENTS]\n\nCommands:\n";
    for (const auto& command : commands()) {
        os << "  " << command.synopsis << '\n';
        std::string_view summary = command.summary;
        while (!summary.empty()) {
            const auto end = std::min(summary.find('\n'), summary.size());
            os << "      " << summary.substr(0, end) << '\n';
            summary.remove_prefix(std::min(end + 1, summary.size()));
        }
    }
    os << "  help, --help\n      Show this text.\n\n"
          "The stick commands ask the stick simulator on ORMID_HID_BRIDGE when it names a socket.\n\n"
          "Exit codes: 0 success, 1 invalid input, 2 usage error, 3 no stick found,\n"
          "4 the stick did not do what was asked (no control block, the wrong mode, a block\n"
          "read or write failed, no device answered, a device write failed or the device refused\n"
          "a firmware page).\n";
}

int usageError(std::ostream& err, std::string_view problem)
{
    err << "ormid-cli: " << problem << "\n\n";
    printUsage(err);
    return cliExit::usage;
}

// Splits the arguments of `command` into positional ones, valued options
// ("-o FILE", "--info=TEXT") and flags; nullopt with `problem` set on a usage error.
std::optional<Arguments> parseArguments(const Command& command, const std::vector<std::string>& args,
                                        std::string& problem)
{
    Arguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        const auto equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
        const std::string_view name = std::string_view(arg).substr(0, equals);
        const auto option = std::find_if(command.options.begin(), command.options.end(),
                                       [name](const OptionRule& o) { return o.name == name; });
        if (option == command.options.end()) {
            problem = "unknown option " + std::string(name) + " for " + std::string(command.name);
            return std::nullopt;
        }
        if (!option->takesValue) {
            if (equals != std::string::npos) {
                problem = std::string(name) + " takes no value";
                return std::nullopt;
            }
            parsed.flags.emplace(name);
        } else if (equals != std::string::npos) {
            parsed.values[std::string(name)] = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            parsed.values[std::string(name)] = args[++i];
        } else {
            problem = std::string(name) + " needs a value";
            return std::nullopt;
        }
    }
    for (const auto required : command.required)
        if (!parsed.value(required)) {
            problem = std::string(command.name) + " needs " + std::string(required);
            return std::nullopt;
        }
    if (parsed.positional.size() < command.minPositional)
        problem = std::string(command.name) + ": missing FILE";
    else if (parsed.positional.size() > command.maxPositional)
        problem = std::string(command.name) + ": unexpected argument " + parsed.positional[command.maxPositional];
    if (!problem.empty())
        return std::nullopt;
    return parsed;
}

int runNew(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::string& path = *args.value("-o");
    const std::string* info = args.value("--info");
    const std::string infoText = info ? *info : std::string();
    if (utf8ToCp1252(infoText).size() > kInfoLength)
        err << "Note: the info text is cut to " << kInfoLength << " characters.\n";

    const auto written = writeFileAtomically(path, saveConfiguration(makeDefaultImage(), infoText));
    if (!written.ok()) {
        err << written.error << '\n';
        return cliExit::invalidInput;
    }
    out << "Wrote " << path << '\n';
    return cliExit::success;
}

// What `check` found: printed as "name: value" lines, the messages on standard error.
struct CheckReport {
    bool valid = false;
    std::vector<std::pair<std::string, std::string>> details;
    std::vector<std::string> messages;
};

CheckReport checkConfiguration(std::string_view bytes)
{
    CheckReport report;
    const auto loaded = loadConfiguration(bytes, makeDefaultImage(), {});
    report.messages.assign(loaded.messages.begin(), loaded.messages.end());
    report.valid = loaded.outcome == ConfigLoadOutcome::Loaded;
    if (loaded.info)
        report.details.emplace_back("info", *loaded.info);
    if (loaded.outcome == ConfigLoadOutcome::Ignored)
        report.messages.emplace_back(kNoDataLines);
    return report;
}

std::string_view firmwareProblem(const FirmwareContainer& container)
{
    switch (container.status) {
    case FirmwareContainerStatus::Valid:
        return {};
    case FirmwareContainerStatus::NotContainer:
        return configMessage::notRecognised;
    case FirmwareContainerStatus::CrcMismatch:
    case FirmwareContainerStatus::TooManyLines:
    case FirmwareContainerStatus::CorruptLine:
        break;
    }
    return configMessage::corrupted;
}

CheckReport checkFirmware(std::string_view bytes)
{
    CheckReport report;
    const auto container = parseFirmwareContainer(bytes);
    if (container.status != FirmwareContainerStatus::NotContainer) {
        report.details.emplace_back("size", std::to_string(container.header.size) + " bytes");
        report.details.emplace_back("version", "1." + std::to_string(container.header.version));
        report.details.emplace_back("data lines", std::to_string(container.dataLines));
    }
    if (!firmwareSizeFits(container.header.size)) {
        report.messages.push_back("The image size " + std::to_string(container.header.size) + " does not fit the "
                                  + std::to_string(kFirmwareBufferSize) + "-byte firmware buffer.");
        return report;
    }
    const std::string_view problem = firmwareProblem(container);
    report.valid = problem.empty();
    if (!report.valid)
        report.messages.emplace_back(problem);
    return report;
}

CheckReport checkDimmingCurve(std::string_view bytes)
{
    CheckReport report;
    const auto curve = readDimmingCurve(bytes, {});
    report.valid = curve.valid();
    if (!report.valid)
        report.messages.emplace_back(curveFileMessage(curve.status));
    return report;
}

CheckReport checkUnknown(std::string_view)
{
    CheckReport report;
    report.messages.emplace_back(configMessage::notRecognised);
    return report;
}

using Checker = CheckReport (*)(std::string_view bytes);

Checker checkerFor(FileKind kind)
{
    switch (kind) {
    case FileKind::Configuration:
    case FileKind::OldConfiguration:
        return checkConfiguration;
    case FileKind::FirmwareContainer:
        return checkFirmware;
    case FileKind::DimmingCurve:
        return checkDimmingCurve;
    case FileKind::Unknown:
        break;
    }
    return checkUnknown;
}

int runCheck(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::string& path = args.positional.front();
    const auto file = readWholeFile(path);
    if (!file.ok()) {
        err << file.error << '\n';
        return cliExit::invalidInput;
    }
    const FileKind kind = classifyFile(file.bytes, path);
    const CheckReport report = checkerFor(kind)(file.bytes);

    out << "file: " << path << "\nkind: " << fileKindName(kind) << "\nvalid: " << (report.valid ? "yes" : "no") << '\n';
    for (const auto& [name, value] : report.details)
        out << name << ": " << value << '\n';
    for (const auto& message : report.messages)
        err << message << '\n';
    return report.valid ? cliExit::success : cliExit::invalidInput;
}

// Why `show` cannot print a file that "Load" does not take as a configuration.
std::string_view showRefusal(ConfigLoadOutcome outcome)
{
    switch (outcome) {
    case ConfigLoadOutcome::Firmware:
        return "The file is a firmware container, not a configuration.";
    case ConfigLoadOutcome::Ignored:
        return kNoDataLines;
    case ConfigLoadOutcome::Loaded:
    case ConfigLoadOutcome::Corrupted:
    case ConfigLoadOutcome::NotRecognised:
        break;
    }
    return {};  // the loader's own message has said it
}

// A configuration file as "Load" takes it onto the default image; nullopt, the
// reasons on `err`, when it cannot be used.
std::optional<ConfigLoadResult> loadConfigurationFile(const std::string& path, ConfigLoadOptions options,
                                                      std::ostream& err)
{
    const auto file = readWholeFile(path);
    if (!file.ok()) {
        err << file.error << '\n';
        return std::nullopt;
    }
    auto loaded = loadConfiguration(file.bytes, makeDefaultImage(), options);
    for (const auto message : loaded.messages)
        err << message << '\n';
    if (loaded.outcome != ConfigLoadOutcome::Loaded) {
        if (const auto refusal = showRefusal(loaded.outcome); !refusal.empty())
            err << refusal << '\n';
        return std::nullopt;
    }
    return loaded;
}

int runShow(const Arguments& args, std::ostream& out, std::ostream& err)
{
    EeBlock image = makeDefaultImage();
    if (!args.positional.empty()) {
        const ConfigLoadOptions options{.noLoadCheck = args.flag("--no-load-check"),
                                        .copyAstro = args.flag("--copy-astro")};
        auto loaded = loadConfigurationFile(args.positional.front(), options, err);
        if (!loaded)
            return cliExit::invalidInput;
        if (!loaded->info->empty())
            out << "Info: " << *loaded->info << "\n\n";
        image = std::move(loaded->image);
    }
    out << formatReportText(buildReportModel(image, nullptr));
    return cliExit::success;
}

// The mode line of `stick status` for a stick in memory mode.
std::string_view memoryModeText(const StickProbe& probe)
{
    if (!probe.modeQueryAnswered())
        return "memory mode, stick does not answer the mode query";
    return probe.remoteMode() ? "memory mode, remote stick" : "memory mode, local stick";
}

std::string_view usbStickModeText(const StickProbe& probe)
{
    return probe.deviceConnected() ? "USB Stick mode, device connected" : "USB Stick mode, no device";
}

// The name a memory read from the stick gives its file: the info text without its padding.
std::string memoryName(const MemoryRecord& record)
{
    std::string name = record.name();
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

// A memory's name as the list shows it: the info text without its padding.
std::string memoryText(const MemoryRecord& record, bool remoteMode)
{
    if (!record.isValid(remoteMode))
        return "empty";
    const std::string name = memoryName(record);
    return name.empty() ? "(unnamed)" : name;
}

std::string firmwareText(const FirmwareRecord& record)
{
    if (!record.isValid())
        return "no firmware record";
    return "Version 1." + std::to_string(record.version) + ", " + std::to_string(record.size) + " bytes";
}

void printMemories(const StickProbe& probe, std::ostream& out)
{
    for (int n = 1; n <= kMemoryCount; ++n)
        out << 'M' << n << ": " << memoryText(readMemoryRecord(probe.controlBlock(), n), probe.remoteMode()) << '\n';
    out << "Firmware: " << firmwareText(readFirmwareRecord(probe.controlBlock())) << '\n';
}

int runStick(const Arguments&, std::ostream& out, std::ostream& err)
{
    const std::unique_ptr<HidTransport> transport = makeDefaultTransport();
    RealTimeWaiter waiter;
    return runStickStatus(*transport, waiter, out, err);
}

// "M1".."M4" as a memory number; nullopt for anything else.
std::optional<int> parseMemory(std::string_view text)
{
    if (text.size() != 2 || (text[0] != 'M' && text[0] != 'm'))
        return std::nullopt;
    const int n = text[1] - '0';
    return isMemorySlot(n) ? std::optional<int>(n) : std::nullopt;
}

using StickAction = int (*)(HidTransport&, Waiter&, int memory, const Arguments&, std::ostream&, std::ostream&);

// Runs a memory command on the default transport in real time.
int runOnMemory(const Arguments& args, std::ostream& out, std::ostream& err, StickAction action)
{
    const auto memory = parseMemory(args.positional.front());
    if (!memory)
        return usageError(err, "the memory must be M1, M2, M3 or M4, not " + args.positional.front());
    const std::unique_ptr<HidTransport> transport = makeDefaultTransport();
    RealTimeWaiter waiter;
    return action(*transport, waiter, *memory, args, out, err);
}

int runStickReadCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    return runOnMemory(args, out, err, [](HidTransport& t, Waiter& w, int n, const Arguments& a, std::ostream& o,
                                          std::ostream& e) { return runStickRead(t, w, n, *a.value("-o"), o, e); });
}

int runStickWriteCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    return runOnMemory(args, out, err,
                       [](HidTransport& t, Waiter& w, int n, const Arguments& a, std::ostream& o, std::ostream& e) {
                           return runStickWrite(t, w, n, a.positional[1], a.value("--name"), o, e);
                       });
}

int runStickEraseCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::unique_ptr<HidTransport> transport = makeDefaultTransport();
    RealTimeWaiter waiter;
    return runStickErase(*transport, waiter, args.flag("--remote"), out, err);
}

// The exit code and message when the probe did not find a stick in the mode a
// command needs (any mode when `wanted` is empty).
std::optional<int> probeFailure(ProbeResult found, std::optional<ProbeResult> wanted, std::ostream& err)
{
    if (found == ProbeResult::noStick) {
        err << "No stick found.\n";
        return cliExit::noStick;
    }
    if (found == ProbeResult::timeOut || found == ProbeResult::pending) {
        err << "The stick did not deliver its control block.\n";
        return cliExit::transferFailed;
    }
    if (wanted && found != *wanted) {
        err << (found == ProbeResult::memoryMode
                    ? "The stick is in memory mode; a device is reachable in USB Stick mode only.\n"
                    : "The stick is in USB Stick mode; its memories are reachable in memory mode only.\n");
        return cliExit::transferFailed;
    }
    return std::nullopt;
}

// Finds the stick as start-up does; the exit code when it is not in memory mode.
std::optional<int> probeMemoryMode(StickProbe& probe, HidTransport& transport, Waiter& waiter, std::ostream& err)
{
    return probeFailure(runStickProbe(probe, transport, waiter), ProbeResult::memoryMode, err);
}

int runDeviceStatusCommand(const Arguments&, std::ostream& out, std::ostream& err)
{
    const std::unique_ptr<HidTransport> transport = makeDefaultTransport();
    RealTimeWaiter waiter;
    return runDeviceStatus(*transport, waiter, out, err);
}

int runDeviceReadCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::unique_ptr<HidTransport> transport = makeDefaultTransport();
    RealTimeWaiter waiter;
    return runDeviceRead(*transport, waiter, *args.value("-o"), args.value("--raw"), out, err);
}

int runDeviceWriteCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::unique_ptr<HidTransport> transport = makeDefaultTransport();
    RealTimeWaiter waiter;
    return runDeviceWrite(*transport, waiter, args.positional.front(), out, err);
}

int runDeviceUpdateFwCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::unique_ptr<HidTransport> transport = makeDefaultTransport();
    RealTimeWaiter waiter;
    return runDeviceUpdateFw(*transport, waiter, args.positional.empty() ? nullptr : &args.positional.front(), out,
                             err);
}

// The link engine for the command line: ticks it on the waiter and waits for the
// outcome that ends an operation; progress lines go to `progress`.
class DeviceSession {
public:
    static constexpr int kIdentifyTicks = 100;
    // The engine ends every operation itself: each frame is given up after its sixth
    // unanswered try. These bounds, past that worst case, only keep a fault of ours
    // from waiting for ever.
    static constexpr int kReadFrames = 10;
    static constexpr int kWriteFrames = 20;
    static constexpr int ticksFor(int frames)
    {
        return LinkEngine::kReadPauseTicks + (frames * LinkEngine::kMaxTries + 1) * LinkEngine::kReplyTimeoutTicks;
    }

    DeviceSession(HidTransport& transport, Waiter& waiter, std::ostream& progress)
        : transport_(transport), waiter_(waiter), progress_(progress), engine_(transport, image_, {.skipFW = true})
    {
    }

    // Finds the stick in USB Stick mode and waits for the device's identification;
    // the exit code when that fails.
    std::optional<int> connect(std::ostream& err)
    {
        StickProbe probe;
        if (const auto failed = probeFailure(runStickProbe(probe, transport_, waiter_), ProbeResult::usbStickMode, err))
            return failed;
        engine_.start();
        for (int tick = 0; tick < kIdentifyTicks && engine_.stickState() != LinkEngine::kRead; ++tick)
            nextTick();
        if (engine_.stickState() != LinkEngine::kRead) {
            err << "No device announced itself on the stick.\n";
            return cliExit::transferFailed;
        }
        return std::nullopt;
    }

    // Reads the device memory into the image (the read the identification started).
    bool read(std::ostream& err)
    {
        if (awaitEnd(ticksFor(kReadFrames)) == LinkOutcome::readDone)
            return true;
        err << "Reading the device failed.\n";
        return false;
    }

    // Writes the image to the device with the engine's repeats.
    bool write(std::ostream& err)
    {
        if (engine_.startWrite() == LinkStart::started
            && awaitEnd(ticksFor(kWriteFrames)) == LinkOutcome::writeDone)
            return true;
        err << kTransferError << '\n';
        return false;
    }

    // Sends the firmware page by page and the Reset after the last; false when a page
    // is refused or the device stops answering.
    bool updateFirmware(const FirmwareImage& firmware, std::ostream& err)
    {
        if (!engine_.setFirmware(firmware.fwImage, firmware.fwSize)) {
            err << "The firmware image does not hold the " << firmware.fwSize << " bytes it announces.\n";
            return false;
        }
        if (engine_.startUpdate() != LinkStart::started) {
            err << "The firmware update could not start.\n";
            return false;
        }
        // An unanswered segment ends the update at once.
        const int segments = engine_.firmwarePages() * kSegmentsPerPage;
        const std::optional<LinkOutcome> end = awaitEnd((segments + 1) * LinkEngine::kReplyTimeoutTicks);
        const std::string page =
            std::to_string(engine_.firmwareProgress()) + " of " + std::to_string(engine_.firmwarePages());
        if (end == LinkOutcome::updateDone)
            return true;
        if (end == LinkOutcome::updateUnanswered)
            err << "The device stopped answering at firmware page " << page << ".\n";
        else if (end == LinkOutcome::updateRefused)
            err << "The device refused firmware page " << page << ".\n";
        else
            err << "The firmware update did not end (page " << page << ").\n";
        return false;
    }

    EeBlock& image() { return image_; }
    const LinkEngine& engine() const { return engine_; }

private:
    // Outcomes that end a read, a write or an update, for better or worse.
    static bool endsAnOperation(LinkOutcome outcome)
    {
        static constexpr LinkOutcome kEnds[] = {
            LinkOutcome::deviceGone,  LinkOutcome::readDone,   LinkOutcome::readFailed,
            LinkOutcome::writeDone,   LinkOutcome::writeFailed, LinkOutcome::updateDone,
            LinkOutcome::updateRefused, LinkOutcome::updateUnanswered,
        };
        return std::find(std::begin(kEnds), std::end(kEnds), outcome) != std::end(kEnds);
    }

    // Ticks until an outcome ends the running operation; nullopt after `maxTicks`.
    std::optional<LinkOutcome> awaitEnd(int maxTicks)
    {
        for (int tick = 0; tick < maxTicks; ++tick) {
            for (const LinkOutcome outcome : nextTick()) {
                if (endsAnOperation(outcome))
                    return outcome;
            }
        }
        return std::nullopt;
    }

    std::vector<LinkOutcome> nextTick()
    {
        waiter_.sleep(LinkEngine::kTickPeriod);
        std::vector<LinkOutcome> outcomes = engine_.tick();
        for (const LinkOutcome outcome : outcomes) {
            if (outcome == LinkOutcome::pageSent)
                progress_ << "page " << engine_.firmwareProgress() << '/' << engine_.firmwarePages() << std::endl;
        }
        return outcomes;
    }

    HidTransport& transport_;
    Waiter& waiter_;
    std::ostream& progress_;
    EeBlock image_ = makeDefaultImage();
    LinkEngine engine_;
};

// The firmware of a `.kdp` file as "Load" takes it; nullopt (the reason on `err`) when refused.
std::optional<FirmwareImage> firmwareFromFile(const std::string& path, std::ostream& err)
{
    const auto file = readWholeFile(path);
    if (!file.ok()) {
        err << file.error << '\n';
        return std::nullopt;
    }
    FirmwareImage firmware;
    const FirmwareFileLoad load = loadFirmwareFile(firmware, file.bytes, true);
    switch (load.outcome) {
    case FirmwareFileLoad::Outcome::loaded:
        return firmware;
    case FirmwareFileLoad::Outcome::ignoredTooLarge:
        err << "The image size " << firmware.fwSize << " does not fit the " << kFirmwareBufferSize
            << "-byte firmware buffer.\n";
        return std::nullopt;
    case FirmwareFileLoad::Outcome::refused:
        break;
    }
    err << load.message.value_or(std::string(configMessage::corrupted)) << '\n';
    return std::nullopt;
}

// The built-in firmware as start-up reads it in USB Stick mode.
std::optional<FirmwareImage> builtInFirmware(std::ostream& err)
{
    FirmwareImage firmware;
    if (!loadRes(firmware, embeddedFirmwareContainer(), true)) {
        err << "The built-in firmware container is damaged.\n";
        return std::nullopt;
    }
    // In USB Stick mode loadRes leaves the record's version alone; the header's is the image's.
    firmware.fwVersion = firmware.embeddedFwVersion;
    return firmware;
}

// True when the leading arguments spell the command's name, word by word.
bool namesCommand(const std::vector<std::string>& args, const Command& command)
{
    std::string_view name = command.name;
    for (const std::string& arg : args) {
        const std::size_t end = std::min(name.find(' '), name.size());
        if (name.substr(0, end) != arg)
            return false;
        if (end == name.size())
            return true;
        name.remove_prefix(end + 1);
    }
    return false;
}

std::size_t wordCount(std::string_view name)
{
    return static_cast<std::size_t>(std::count(name.begin(), name.end(), ' ')) + 1;
}

// "help" as the command, or "--help" / "-h" anywhere.
bool asksForHelp(const std::vector<std::string>& args)
{
    return args.front() == "help"
           || std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; });
}

} // namespace

int runStickStatus(HidTransport& transport, Waiter& waiter, std::ostream& out, std::ostream& err)
{
    StickProbe probe;
    const ProbeResult found = runStickProbe(probe, transport, waiter);
    if (const auto failed = probeFailure(found, std::nullopt, err))
        return *failed;
    if (found == ProbeResult::usbStickMode) {
        out << usbStickModeText(probe) << '\n';
        return cliExit::success;
    }
    out << memoryModeText(probe) << '\n';
    printMemories(probe, out);
    return cliExit::success;
}

int runStickRead(HidTransport& transport, Waiter& waiter, int memory, const std::string& path, std::ostream& out,
                 std::ostream& err)
{
    StickProbe probe;
    if (const auto failed = probeMemoryMode(probe, transport, waiter, err))
        return *failed;
    const MemoryRecord record = readMemoryRecord(probe.controlBlock(), memory);
    if (!record.isValid(probe.remoteMode())) {
        err << 'M' << memory << " is empty.\n";
        return cliExit::invalidInput;
    }
    const BlockRead read = readBlock(transport, waiter, record.dataAddress());
    if (read.status != BlockReadStatus::read) {
        err << "Reading M" << memory << " failed: " << describe(read.status) << ".\n";
        return cliExit::transferFailed;
    }
    EeBlock image = makeDefaultImage();
    if (const DataBlockWalk walk = copyDataBlockToImage(read.block, record.length, image); isDamaged(walk)) {
        err << "The data block of M" << memory << " is damaged: " << describe(walk) << ".\n";
        return cliExit::invalidInput;
    }
    clearAstroData(image);
    const auto written = writeFileAtomically(path, saveConfiguration(image, memoryName(record)));
    if (!written.ok()) {
        err << written.error << '\n';
        return cliExit::invalidInput;
    }
    out << "Wrote M" << memory << " to " << path << '\n';
    return cliExit::success;
}

int runStickWrite(HidTransport& transport, Waiter& waiter, int memory, const std::string& path,
                  const std::string* name, std::ostream& out, std::ostream& err)
{
    const auto loaded = loadConfigurationFile(path, {}, err);
    if (!loaded)
        return cliExit::invalidInput;
    const std::string infoText = name ? *name : loaded->info.value_or(std::string());
    if (utf8ToCp1252(infoText).size() > kInfoSize)
        err << "Note: the name is cut to " << kInfoSize << " characters.\n";

    StickProbe probe;
    if (const auto failed = probeMemoryMode(probe, transport, waiter, err))
        return *failed;
    // The command line has no Tx boxes: a remote memory keeps the selection it has.
    const MemoryRecord old = readMemoryRecord(probe.controlBlock(), memory);
    const MemoryTransferRequest request{.controlBlock = probe.controlBlock(),
                                        .memory = memory,
                                        .image = loaded->image,
                                        .infoText = infoText,
                                        .remoteMode = probe.remoteMode(),
                                        .txStatus = old.isValid(probe.remoteMode()) ? old.status : Byte{0},
                                        .curveCorrection = {}};
    const MemoryTransferResult result = transferMemory(transport, waiter, request);
    if (!result.ok()) {
        const TransferStep step = result.failedStep.value_or(TransferStep::dataBlock);
        err << "Firmware Write Error!" << transferErrorCode(step) << '\n'
            << "Writing the " << describe(step) << " of M" << memory << " failed: " << describe(result.write)
            << ". The control block on the stick is as it was.\n";
        return cliExit::transferFailed;
    }
    out << "Wrote " << path << " to M" << memory << '\n';
    return cliExit::success;
}

int runStickErase(HidTransport& transport, Waiter& waiter, bool remote, std::ostream& out, std::ostream& err)
{
    StickProbe probe;
    if (const auto failed = probeMemoryMode(probe, transport, waiter, err))
        return *failed;
    if (remote && !probe.modeQueryAnswered()) {
        err << "The stick does not answer the mode query, so it cannot become a remote stick.\n";
        return cliExit::transferFailed;
    }
    eraseStick(transport, remote);
    out << (remote ? "Erased all memories; the stick is now a remote stick.\n"
                   : "Erased all memories; the stick is now a local stick.\n");
    return cliExit::success;
}

int runDeviceStatus(HidTransport& transport, Waiter& waiter, std::ostream& out, std::ostream& err)
{
    DeviceSession session(transport, waiter, out);
    if (const auto failed = session.connect(err))
        return *failed;
    const DeviceIdentification& identification = session.engine().identification();
    out << "Device Nr. " << identification.deviceNumber() << '\n' << firmwareVersionText(identification) << '\n';
    return cliExit::success;
}

int runDeviceRead(HidTransport& transport, Waiter& waiter, const std::string& path, const std::string* rawPath,
                  std::ostream& out, std::ostream& err)
{
    DeviceSession session(transport, waiter, out);
    if (const auto failed = session.connect(err))
        return *failed;
    if (!session.read(err))
        return cliExit::transferFailed;
    const EeBlock& image = session.image();
    for (const auto& [file, bytes] : {std::pair{&path, saveConfiguration(image, "")},
                                      std::pair{rawPath, std::string(image.begin(), image.end())}}) {
        if (!file)
            continue;
        if (const auto written = writeFileAtomically(*file, bytes); !written.ok()) {
            err << written.error << '\n';
            return cliExit::invalidInput;
        }
        out << "Wrote " << *file << '\n';
    }
    return cliExit::success;
}

int runDeviceWrite(HidTransport& transport, Waiter& waiter, const std::string& path, std::ostream& out,
                   std::ostream& err)
{
    const auto loaded = loadConfigurationFile(path, {}, err);
    if (!loaded)
        return cliExit::invalidInput;
    DeviceSession session(transport, waiter, out);
    if (const auto failed = session.connect(err))
        return *failed;
    if (!session.read(err))
        return cliExit::transferFailed;
    std::copy_n(loaded->image.begin(), kStoredImageBytes, session.image().begin());
    if (!session.write(err))
        return cliExit::transferFailed;
    out << "Wrote " << path << " to device " << session.engine().identification().deviceNumber() << '\n';
    return cliExit::success;
}

int runDeviceUpdateFw(HidTransport& transport, Waiter& waiter, const std::string* path, std::ostream& out,
                      std::ostream& err)
{
    const auto firmware = path ? firmwareFromFile(*path, err) : builtInFirmware(err);
    if (!firmware)
        return cliExit::invalidInput;
    DeviceSession session(transport, waiter, out);
    if (const auto failed = session.connect(err))
        return *failed;
    // The device takes an update only between whole operations, as the window offers it.
    if (!session.read(err))
        return cliExit::transferFailed;
    const DeviceIdentification& identification = session.engine().identification();
    out << "Updating device " << identification.deviceNumber() << " from " << firmwareVersionText(identification)
        << " to FW 1." << static_cast<int>(firmware->fwVersion) << '\n';
    if (!session.updateFirmware(*firmware, err))
        return cliExit::transferFailed;
    out << "FW Update finished.\n";
    return cliExit::success;
}

int runCli(std::vector<std::string> args, std::ostream& out, std::ostream& err)
{
    if (args.empty())
        return usageError(err, "missing command");
    if (asksForHelp(args)) {
        printUsage(out);
        return cliExit::success;
    }
    const auto& table = commands();
    const auto command = std::find_if(table.begin(), table.end(), [&](const Command& c) { return namesCommand(args, c); });
    if (command == table.end())
        return usageError(err, "unknown command " + args.front());

    std::string problem;
    const auto rest = args.begin() + static_cast<std::ptrdiff_t>(wordCount(command->name));
    const auto parsed = parseArguments(*command, {rest, args.end()}, problem);
    if (!parsed)
        return usageError(err, problem);
    return command->run(*parsed, out, err);
}

} // namespace ormid
