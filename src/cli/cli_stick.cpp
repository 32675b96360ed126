// ormid-cli's stick commands: stick status, read, write and erase on a stick in
// memory mode; and what every stick or device command needs to reach the stick.

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/cli.h"
#include "cli/cli_commands.h"
#include "core/image.h"
#include "core/memories.h"
#include "core/text_codec.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "link/block_transfer.h"
#include "link/control_block.h"
#include "link/hid_transport.h"
#include "link/memory_transfer.h"
#include "link/stick_probe.h"
#include "link/waiter.h"

namespace ormid {

namespace cliCommands {

namespace {

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

// A memory as `stick status` lists it: its name without padding.
std::string memoryText(const TMemory& memory)
{
    if (memory.mEmpty)
        return "empty";
    const std::string name = displayName(memory);
    return name.empty() ? "(unnamed)" : name;
}

std::string firmwareText(const FirmwareRecord& record)
{
    if (!record.isValid())
        return "no firmware record";
    return "Version 1." + std::to_string(record.version) + ", " + std::to_string(record.size) + " bytes";
}

// Memory n of the stick the probe found, as start-up takes it from the control block.
TMemory memoryOnStick(const StickProbe& probe, int n)
{
    return memoryFromRecord(readMemoryRecord(probe.controlBlock(), n), probe.remoteMode());
}

void printMemories(const StickProbe& probe, std::ostream& out)
{
    for (int n = 1; n <= kMemoryCount; ++n)
        out << 'M' << n << ": " << memoryText(memoryOnStick(probe, n)) << '\n';
    out << "Firmware: " << firmwareText(readFirmwareRecord(probe.controlBlock())) << '\n';
}

// "M1".."M4" as a memory number; nullopt for anything else.
std::optional<int> parseMemory(std::string_view text)
{
    if (text.size() != 2 || (text[0] != 'M' && text[0] != 'm'))
        return std::nullopt;
    const int n = text[1] - '0';
    return isMemorySlot(n) ? std::optional<int>(n) : std::nullopt;
}

using MemoryAction = std::function<int(HidTransport& transport, Waiter& waiter, int memory)>;

// Runs a memory command on the default stick for the memory its first argument names.
int onMemory(const Arguments& args, std::ostream& err, const MemoryAction& action)
{
    const auto memory = parseMemory(args.positional.front());
    if (!memory)
        return usageError(err, "the memory must be M1, M2, M3 or M4, not " + args.positional.front());
    return onDefaultStick([&](HidTransport& transport, Waiter& waiter) { return action(transport, waiter, *memory); });
}

// Finds the stick as start-up does; the exit code when it is not in memory mode.
std::optional<int> probeMemoryMode(StickProbe& probe, HidTransport& transport, Waiter& waiter, std::ostream& err)
{
    return probeFailure(runStickProbe(probe, transport, waiter), ProbeResult::memoryMode, err);
}

} // namespace

int onDefaultStick(const StickAction& action)
{
    const std::unique_ptr<HidTransport> transport = makeDefaultTransport();
    RealTimeWaiter waiter;
    return action(*transport, waiter);
}

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

int runStickStatusCommand(const Arguments&, std::ostream& out, std::ostream& err)
{
    return onDefaultStick(
        [&](HidTransport& transport, Waiter& waiter) { return runStickStatus(transport, waiter, out, err); });
}

int runStickReadCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    return onMemory(args, err, [&](HidTransport& transport, Waiter& waiter, int memory) {
        return runStickRead(transport, waiter, memory, *args.value("-o"), out, err);
    });
}

int runStickWriteCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    return onMemory(args, err, [&](HidTransport& transport, Waiter& waiter, int memory) {
        return runStickWrite(transport, waiter, memory, args.positional[1], args.value("--name"), out, err);
    });
}

int runStickEraseCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    return onDefaultStick([&](HidTransport& transport, Waiter& waiter) {
        return runStickErase(transport, waiter, args.flag("--remote"), out, err);
    });
}

} // namespace cliCommands

using namespace cliCommands;

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
    TMemory chosen = memoryOnStick(probe, memory);
    if (chosen.mEmpty) {
        err << 'M' << memory << " is empty.\n";
        return cliExit::invalidInput;
    }
    const BlockRead read = readBlock(transport, waiter, chosen.mAddress);
    if (read.status != BlockReadStatus::read) {
        err << "Reading M" << memory << " failed: " << describe(read.status) << ".\n";
        return cliExit::transferFailed;
    }
    chosen.mData = read.block;
    EeBlock image = makeDefaultImage();
    if (const DataBlockWalk walk = imageFromMemory(chosen, image); isDamaged(walk)) {
        err << "The data block of M" << memory << " is damaged: " << describe(walk) << ".\n";
        return cliExit::invalidInput;
    }
    clearAstroData(image);
    const auto written = writeFileAtomically(path, saveConfiguration(image, displayName(chosen)));
    if (!written.ok()) {
        err << written.error << '\n';
        return cliExit::invalidInput;
    }
    out << "Wrote M" << memory << " to " << path << '\n';
    return cliExit::success;
}

int runStickWrite(HidTransport& transport, Waiter& waiter, int memory, const std::string& path, const std::string* name,
                  std::ostream& out, std::ostream& err)
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
    const MemoryTransferRequest request{.controlBlock = probe.controlBlock(),
                                        .memory = memory,
                                        .image = loaded->image,
                                        .infoText = infoText,
                                        .remoteMode = probe.remoteMode(),
                                        .txStatus = memoryOnStick(probe, memory).cbStatus,
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

} // namespace ormid
