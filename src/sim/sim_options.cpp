#include "sim/sim_options.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <ostream>
#include <set>
#include <string_view>

#include "core/text_lines.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "link/control_block.h"
#include "link/firmware_container.h"
#include "sim/presets.h"
#include "sim/state_file.h"

namespace ormid::sim {

namespace {

// Which stick an option belongs to; an option for the other one is a usage error,
// so that a misspelt command line never silently simulates something else.
enum class Scope { any, memory, usb };

// Applies an option's value; returns what is wrong with it, empty when it was taken.
using Apply = std::string (*)(SimOptions&, std::string_view value);

struct OptionRule {
    std::string_view name;
    std::string_view valueName; // empty: a flag
    bool repeatable;
    Scope scope;
    Apply apply;
};

constexpr std::int64_t kMaxCount = 1'000'000;
constexpr std::int64_t kMaxReplyDelay = 60'000;
constexpr std::int64_t kMaxIdentifyPeriod = 3'600'000;
constexpr Byte kNoVersion = 0xFF;

std::optional<std::int64_t> parseNumber(std::string_view text, std::int64_t min, std::int64_t max,
                                        bool hexAllowed = false)
{
    int base = 10;
    if (hexAllowed && (text.starts_with("0x") || text.starts_with("0X"))) {
        text.remove_prefix(2);
        base = 16;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

std::string rangeError(std::string_view what, std::int64_t min, std::int64_t max, std::string_view value)
{
    return "expected " + std::string(what) + " from " + std::to_string(min) + " to " + std::to_string(max) + ", got '"
        + std::string(value) + "'";
}

// Sets `target` to a whole number in [min, max].
template <typename T>
std::string takeNumber(T& target, std::string_view value, std::int64_t min, std::int64_t max)
{
    const auto number = parseNumber(value, min, max);
    if (!number)
        return rangeError("a whole number", min, max, value);
    target = static_cast<T>(*number);
    return {};
}

std::string takeVersion(Byte& target, std::string_view value)
{
    if (value == "none") {
        target = kNoVersion;
        return {};
    }
    const auto number = parseNumber(value, 0, 255);
    if (!number)
        return "expected a version number from 0 to 255 or 'none', got '" + std::string(value) + "'";
    target = static_cast<Byte>(*number);
    return {};
}

std::string takeMode(SimOptions& o, std::string_view value)
{
    static constexpr std::pair<std::string_view, StickMode> modes[]
        = {{"memory", StickMode::memory}, {"usb", StickMode::usb}};
    const auto it = std::find_if(std::begin(modes), std::end(modes), [&](const auto& m) { return m.first == value; });
    if (it == std::end(modes))
        return "expected memory or usb, got '" + std::string(value) + "'";
    o.config.mode = it->second;
    return {};
}

// HEX8[:refuse][,HEX8[:refuse]...]: the connected device, then the ones that take its place.
std::string takeDeviceId(SimOptions& o, std::string_view value)
{
    const std::string expected
        = "expected 8 hexadecimal digits, optionally :refuse, separated by commas, got '" + std::string(value) + "'";
    std::vector<LineDevice> devices;
    for (std::string_view entry : splitList(value)) {
        LineDevice device;
        constexpr std::string_view kRefuse = ":refuse";
        if (entry.ends_with(kRefuse)) {
            device.refusesWrites = true;
            entry.remove_suffix(kRefuse.size());
        }
        const auto bytes = parseHexBytes(entry);
        if (!bytes || bytes->size() != device.id.size())
            return expected;
        std::copy(bytes->begin(), bytes->end(), device.id.begin());
        devices.push_back(device);
    }
    if (devices.empty())
        return expected;
    o.config.deviceId = devices.front().id;
    o.config.deviceRefusesWrites = devices.front().refusesWrites;
    o.config.nextDevices.assign(devices.begin() + 1, devices.end());
    return {};
}

std::string takePreset(SimOptions& o, std::string_view value)
{
    // Mn=FILE[:NAME]: the name follows the first ':' after the file.
    const std::string expected = "expected M1..M4=FILE[:NAME], got '" + std::string(value) + "'";
    const auto equals = value.find('=');
    if (!value.starts_with('M') || equals == std::string_view::npos)
        return expected;
    const auto slot = parseNumber(value.substr(1, equals - 1), 1, kMemoryCount);
    if (!slot)
        return expected;
    if (std::any_of(o.presets.begin(), o.presets.end(), [&](const MemoryPreset& p) { return p.slot == *slot; }))
        return "M" + std::to_string(*slot) + " is preset twice";

    MemoryPreset preset;
    preset.slot = static_cast<int>(*slot);
    const std::string_view rest = value.substr(equals + 1);
    const auto colon = rest.find(':');
    preset.file = std::string(rest.substr(0, colon));
    if (colon != std::string_view::npos)
        preset.name = std::string(rest.substr(colon + 1));
    if (preset.file.empty())
        return expected;
    o.presets.push_back(std::move(preset));
    return {};
}

std::string takeFirmwarePreset(SimOptions& o, std::string_view value)
{
    const auto colon = value.find(':');
    const auto version = parseNumber(value.substr(0, colon), 0, 255);
    const std::int64_t maxSize = kFirmwareBufferSize - 1;
    const auto size = colon == std::string_view::npos ? std::nullopt : parseNumber(value.substr(colon + 1), 1, maxSize);
    if (!version || !size)
        return "expected VERSION:SIZE with a version from 0 to 255 and a size from 1 to " + std::to_string(maxSize)
            + ", got '" + std::string(value) + "'";
    o.firmwarePreset = FirmwarePreset{static_cast<Byte>(*version), static_cast<std::uint16_t>(*size)};
    return {};
}

std::string takeRefusedPage(SimOptions& o, std::string_view value)
{
    static constexpr std::pair<std::string_view, Byte> codes[] = {{"", 'Y'}, {":Y", 'Y'}, {":[", '['}};
    const auto colon = std::min(value.find(':'), value.size());
    const auto page = parseNumber(value.substr(0, colon), 0, kMaxCount);
    const auto code = std::find_if(std::begin(codes), std::end(codes),
                                   [&](const auto& c) { return c.first == value.substr(colon); });
    if (!page || code == std::end(codes))
        return "expected a page number from 0 to " + std::to_string(kMaxCount)
            + ", optionally followed by :Y or :[, got '" + std::string(value) + "'";
    o.faults.refusePage = static_cast<int>(*page);
    o.faults.refusePageCode = code->second;
    return {};
}

std::string takeCorruptReadAt(SimOptions& o, std::string_view value)
{
    const auto address = parseNumber(value, 0, 255, true);
    if (!address)
        return "expected a device address from 0 to 255 (or 0x00 to 0xFF), got '" + std::string(value) + "'";
    o.faults.corruptReadAt = static_cast<Byte>(*address);
    return {};
}

std::string takeFlipStored(SimOptions& o, std::string_view value)
{
    const auto address = parseNumber(value, 0, 0xFFFF, true);
    if (!address)
        return "expected a memory address from 0 to 65535 (or 0x0000 to 0xFFFF), got '" + std::string(value) + "'";
    o.faults.flipStoredAt = static_cast<std::uint16_t>(*address);
    return {};
}

// A count from 1 for a fault that fires once.
std::string takeCount(std::optional<int>& target, std::string_view value)
{
    int count = 0;
    std::string error = takeNumber(count, value, 1, kMaxCount);
    if (error.empty())
        target = count;
    return error;
}

// CODE:N, CODE one character ("Z", "_") or a byte in hexadecimal ("0x5A").
std::string takeLostReply(SimOptions& o, std::string_view value)
{
    const auto colon = value.rfind(':');
    const std::string_view code = value.substr(0, std::min(colon, value.size()));
    const auto hexCode = code.size() == 1 ? std::nullopt : parseNumber(code, 0, 255, true);
    const auto count
        = colon == std::string_view::npos ? std::nullopt : parseNumber(value.substr(colon + 1), 1, kMaxCount);
    if ((code.size() != 1 && !hexCode) || !count)
        return "expected CODE:N with a reply code (one character, or 0x00 to 0xFF) and a count from 1 to "
            + std::to_string(kMaxCount) + ", got '" + std::string(value) + "'";
    o.faults.loseReply
        = LostReply{hexCode ? static_cast<Byte>(*hexCode) : static_cast<Byte>(code[0]), static_cast<int>(*count)};
    return {};
}

std::string takeText(std::string& target, std::string_view value, std::string_view what)
{
    if (value.empty())
        return "expected " + std::string(what) + ", got an empty text";
    target = std::string(value);
    return {};
}

std::string takeOptionalPath(std::optional<std::string>& target, std::string_view value)
{
    std::string path;
    std::string error = takeText(path, value, "a file name");
    if (error.empty())
        target = std::move(path);
    return error;
}

const std::vector<OptionRule>& optionRules()
{
    // clang-format off
    static const std::vector<OptionRule> rules = {
        {"--socket", "PATH", false, Scope::any,
         [](SimOptions& o, std::string_view v) { return takeText(o.socketPath, v, "a socket path"); }},
        {"--mode", "memory|usb", false, Scope::any, takeMode},
        {"--remote", {}, false, Scope::memory, [](SimOptions& o, std::string_view) { o.remote = true; return std::string(); }},
        {"--legacy", {}, false, Scope::memory,
         [](SimOptions& o, std::string_view) { o.config.legacy = true; return std::string(); }},
        {"--no-device", {}, false, Scope::usb,
         [](SimOptions& o, std::string_view) { o.config.deviceConnected = false; return std::string(); }},
        {"--device-id", "HEX8[:refuse],...", false, Scope::usb, takeDeviceId},
        {"--swap-when-idle", "MS", false, Scope::usb,
         [](SimOptions& o, std::string_view v) { return takeNumber(o.config.swapWhenIdle, v, 1, kMaxIdentifyPeriod); }},
        {"--device-fw", "N|none", false, Scope::usb,
         [](SimOptions& o, std::string_view v) { return takeVersion(o.config.deviceFirmware, v); }},
        {"--fw-after-update", "N|none", false, Scope::usb,
         [](SimOptions& o, std::string_view v) { return takeVersion(o.config.firmwareAfterUpdate, v); }},
        {"--device-memory", "FILE", false, Scope::usb,
         [](SimOptions& o, std::string_view v) { return takeOptionalPath(o.deviceMemoryFile, v); }},
        {"--state", "FILE", false, Scope::any,
         [](SimOptions& o, std::string_view v) { return takeOptionalPath(o.stateFile, v); }},
        {"--preset", "Mn=FILE[:NAME]", true, Scope::memory, takePreset},
        {"--preset-firmware", "VERSION:SIZE", false, Scope::memory, takeFirmwarePreset},
        {"--refuse-write-memory", "N", false, Scope::usb,
         [](SimOptions& o, std::string_view v) { return takeNumber(o.faults.refuseWriteMemory, v, 0, kMaxCount); }},
        {"--refuse-write-ee", "N", false, Scope::usb,
         [](SimOptions& o, std::string_view v) { return takeNumber(o.faults.refuseWriteEe, v, 0, kMaxCount); }},
        {"--lose-link-ack", "N", false, Scope::usb,
         [](SimOptions& o, std::string_view v) { return takeCount(o.faults.loseLinkAck, v); }},
        {"--wrong-link-ack", "N", false, Scope::usb,
         [](SimOptions& o, std::string_view v) { return takeCount(o.faults.wrongLinkAck, v); }},
        {"--lose-reply", "CODE:N", false, Scope::usb, takeLostReply},
        {"--swap-xz", "N", false, Scope::usb,
         [](SimOptions& o, std::string_view v) { return takeCount(o.faults.swapSegmentAck, v); }},
        {"--corrupt-read-at", "ADDR", false, Scope::usb, takeCorruptReadAt},
        {"--no-block-ack", {}, false, Scope::memory,
         [](SimOptions& o, std::string_view) { o.faults.neverAckBlockWrite = true; return std::string(); }},
        {"--ack-other-address", {}, false, Scope::memory,
         [](SimOptions& o, std::string_view) { o.faults.ackOtherAddress = true; return std::string(); }},
        {"--ack-status-zero", {}, false, Scope::memory,
         [](SimOptions& o, std::string_view) { o.faults.ackStatusZero = true; return std::string(); }},
        {"--lose-block-ack", "N", false, Scope::memory,
         [](SimOptions& o, std::string_view v) { return takeCount(o.faults.loseBlockAck, v); }},
        {"--refuse-page", "N[:Y|:[]", false, Scope::usb, takeRefusedPage},
        {"--flip-stored", "ADDR", false, Scope::any, takeFlipStored},
        {"--drop-after", "N", false, Scope::any,
         [](SimOptions& o, std::string_view v) { return takeCount(o.faults.dropAfterReports, v); }},
        {"--reply-delay", "MS", false, Scope::any,
         [](SimOptions& o, std::string_view v) { return takeNumber(o.faults.replyDelay, v, 0, kMaxReplyDelay); }},
        {"--identify-period", "MS", false, Scope::usb,
         [](SimOptions& o, std::string_view v) { return takeNumber(o.config.identifyPeriod, v, 0, kMaxIdentifyPeriod); }},
        {"--log", {}, false, Scope::any, [](SimOptions& o, std::string_view) { o.log = true; return std::string(); }},
    };
    // clang-format on
    return rules;
}

constexpr std::string_view scopeMode(Scope scope)
{
    return scope == Scope::memory ? "memory" : "usb";
}

bool fitsMode(Scope scope, StickMode mode)
{
    return scope == Scope::any || (scope == Scope::memory) == (mode == StickMode::memory);
}

ParsedOptions failed(std::string error)
{
    ParsedOptions parsed;
    parsed.error = std::move(error);
    return parsed;
}

// Memory n from a configuration file, named NAME or else by the file's info text.
std::string applyPreset(StickState& state, const MemoryPreset& preset)
{
    const FileReadResult file = readWholeFile(preset.file);
    if (!file.ok())
        return file.error;
    const ConfigLoadResult loaded = loadConfiguration(file.bytes, makeDefaultImage(), {});
    if (loaded.outcome != ConfigLoadOutcome::Loaded) {
        std::string error = preset.file + " is not a usable configuration file";
        for (const std::string_view message : loaded.messages)
            error += ": " + std::string(message);
        return error;
    }
    return presetMemory(state, preset.slot, loaded.image, preset.name.value_or(loaded.info.value_or("")));
}

} // namespace

PreparedState prepareStickState(const SimOptions& options)
{
    PreparedState prepared;
    if (options.stateFile && std::filesystem::exists(*options.stateFile)) {
        StateFileResult loaded = loadStickState(*options.stateFile);
        if (!loaded.ok())
            return {{}, *options.stateFile + ": " + loaded.error};
        prepared.state = std::move(loaded.state);
    }
    StickState& state = prepared.state;
    if (options.remote)
        state.remote = true;
    if (options.deviceMemoryFile)
        prepared.error = loadDeviceMemory(state, *options.deviceMemoryFile);
    for (auto preset = options.presets.begin(); prepared.ok() && preset != options.presets.end(); ++preset)
        prepared.error = applyPreset(state, *preset);
    if (prepared.ok() && options.firmwarePreset)
        prepared.error = presetFirmwareRecord(state, options.firmwarePreset->version, options.firmwarePreset->size);
    return prepared;
}

ParsedOptions parseSimOptions(const std::vector<std::string>& args)
{
    if (std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; }))
        return {ParseOutcome::help, {}, {}};

    ParsedOptions parsed;
    SimOptions& options = parsed.options;
    std::set<std::string_view> seen;
    std::vector<const OptionRule*> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const auto equals = arg.starts_with("--") ? arg.find('=') : std::string_view::npos;
        const std::string_view name = arg.substr(0, equals);
        const auto& rules = optionRules();
        const auto rule = std::find_if(rules.begin(), rules.end(), [&](const OptionRule& r) { return r.name == name; });
        if (rule == rules.end())
            return failed(arg.starts_with('-') ? "unknown option " + std::string(name)
                                               : "unexpected argument '" + std::string(arg) + "'");
        if (!seen.insert(rule->name).second && !rule->repeatable)
            return failed(std::string(name) + " is given twice");

        std::string_view value;
        if (rule->valueName.empty()) {
            if (equals != std::string_view::npos)
                return failed(std::string(name) + " takes no value");
        } else if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return failed(std::string(name) + " needs a value (" + std::string(rule->valueName) + ")");
        }
        if (const std::string problem = rule->apply(options, value); !problem.empty())
            return failed(std::string(name) + ": " + problem);
        given.push_back(&*rule);
    }

    if (options.socketPath.empty())
        return failed("--socket PATH is required");
    for (const OptionRule* rule : given)
        if (!fitsMode(rule->scope, options.config.mode))
            return failed(std::string(rule->name) + " needs --mode " + std::string(scopeMode(rule->scope)));
    parsed.outcome = ParseOutcome::run;
    return parsed;
}

void printSimUsage(std::ostream& os)
{
    os << R"(Usage: ormid-stick-sim --socket PATH [--mode memory|usb] [OPTIONS]

A programming stick simulated in software, served on a Unix-domain socket. The
programs use it when ORMID_HID_BRIDGE names the socket. Runs until interrupted.

  --socket PATH             the socket to serve (required; a stale one is replaced)
  --mode memory|usb         memory mode (default) or USB Stick mode
  --state FILE              the stick's and the device's memories: loaded when the file
                            exists, saved after every change
  --log                     one line per report in and out on standard output
  --drop-after N            the stick is pulled out after N reports (once)
  --reply-delay MS          every reply comes this much later
  --flip-stored ADDR        a write that covers ADDR stores that byte inverted and is
                            acknowledged as usual (the stick's memory; in USB Stick mode
                            the device's memory, 0 to 255)

Memory mode:
  --remote                  the stick is remote (without it, as the state file has it)
  --legacy                  the stick does not answer the mode query
  --preset Mn=FILE[:NAME]   fill memory M1..M4 from a configuration file; NAME
                            (default: the file's info text) becomes the memory's name;
                            repeatable; applied after the state file is loaded
  --preset-firmware VERSION:SIZE
                            the stick holds firmware 1.VERSION of SIZE bytes
  --no-block-ack            a block write is never acknowledged
  --ack-other-address       a block write is acknowledged for another address
  --ack-status-zero         a block write is acknowledged with status 0
  --lose-block-ack N        the N-th block write (from 1) is written but not acknowledged

USB Stick mode:
  --no-device               no Ormid is connected to the stick
  --device-id HEX8[:refuse],...
                            the connected Ormid's number (8 hexadecimal digits); with
                            :refuse it refuses every write frame. Further numbers make a
                            production line: once a device has had a frame and then no
                            frame has come for the --swap-when-idle time, the next one
                            takes its place (with the memory and firmware the first
                            started with)
  --swap-when-idle MS       that time (default 3000; keep it longer than the identify
                            period, so the read after a write finds the written device)
  --device-fw N|none        its firmware version 1.N, or none
  --fw-after-update N|none  the version it reports after a firmware update
  --device-memory FILE      its 256 bytes of memory
  --identify-period MS      how often it identifies itself (0: only after a read or Reset)
  --refuse-write-memory N   refuse the next N Write Memory frames
  --refuse-write-ee N       refuse the next N Write EE frames
  --lose-link-ack N         carry out the N-th write frame or firmware segment (from 1)
                            but lose its reply
  --wrong-link-ack N        carry out the N-th write frame or firmware segment and
                            answer it with another frame's reply code
  --lose-reply CODE:N       lose the N-th link reply with this code (from 1): one
                            character (Z, X, T, R, _, ...) or 0x00 to 0xFF; the frame
                            it answers is carried out all the same
  --swap-xz N               answer the N-th firmware segment (from 1 among the
                            answered ones) with 'Z' for 'X' or 'X' for 'Z'
  --corrupt-read-at ADDR    the memory data for this address carries a wrong CRC
  --refuse-page N[:Y|:[]    refuse firmware page N (from 0) once, with Y (default) or [

  --help                    show this text

Exit codes: 0 stopped by a signal, 1 the socket, the state file or a preset file
cannot be used, or a save of the state file failed while it ran (the stick's state
on disk is then not what it held), 2 usage error.
)";
}

} // namespace ormid::sim
