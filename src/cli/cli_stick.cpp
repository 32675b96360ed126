// ormid-cli's stick commands: stick status, read, write and erase on a stick in
// memory mode; and what every stick or device command needs to reach the stick.

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/cli.h"
#include "cli/cli_commands.h"
#include "core/display_rules.h"
#include "core/image.h"
#include "core/memories.h"
#include "core/remote_frames.h"
#include "core/text_codec.h"
#include "core/text_lines.h"
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

constexpr Byte kAllTxBoxes = 0x3F;

// The remote frames a memory sends, a line each.
void printRemoteFrames(ByteSpan frames, std::ostream& out)
{
    const std::vector<RemoteFrame> decoded = decodeRemoteFrames(frames);
    out << "Remote frames:" << (decoded.empty() ? " none" : "") << '\n';
    for (const RemoteFrame& frame : decoded)
        out << "  " << describeFrame(frame) << '\n';
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

// A memory as `stick status` lists it: its name without padding.
std::string memoryText(const TMemory& memory)
{
    if (memory.empty)
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

// Reads a used memory's data block as start-up does; why the memory is suspect (its
// record names data the block does not hold), or nothing when the block is sound.
std::optional<std::string> suspectMemory(HidTransport& transport, Waiter& waiter, TMemory memory)
{
    const BlockRead read = readBlock(transport, waiter, memory.address);
    if (read.status != BlockReadStatus::read)
        return "its data block could not be read: " + std::string(describe(read.status));
    memory.data = read.block;
    EeBlock image = makeDefaultImage();
    if (const DataBlockWalk walk = imageFromMemory(memory, image); isDamaged(walk))
        return "its data block is damaged: " + std::string(describe(walk));
    return std::nullopt;
}

// The memories with their names, a used one marked when its data block is not sound,
// and the firmware record.
void printMemories(const StickProbe& probe, HidTransport& transport, Waiter& waiter, std::ostream& out)
{
    for (int n = 1; n <= kMemoryCount; ++n) {
        const TMemory memory = memoryOnStick(probe, n);
        out << 'M' << n << ": " << memoryText(memory);
        if (const auto suspect = memory.empty ? std::nullopt : suspectMemory(transport, waiter, memory))
            out << " (suspect: " << *suspect << ')';
        out << '\n';
    }
    out << "Firmware: " << firmwareText(readFirmwareRecord(probe.controlBlock())) << '\n';
}

// What a stick write that did not end left on the stick: from the read-back, or
// without one from the step that failed. `old` is the memory as the probe found it.
std::string stickAfterFailedWrite(const MemoryReadBack& readBack, TransferStep step, int n, const TMemory& old)
{
    const std::string memory = "M" + std::to_string(n);
    const std::string oldRecord = memory + (old.empty ? " empty" : " \"" + memoryText(old) + "\"");
    const std::string dataNew
        = memory + "'s data block " + (readBack.dataNew ? "holds" : "does not hold") + " the new data";
    switch (readBack.state) {
    case TransferReadBack::unchanged:
        return "Read back: the control block is as it was (" + oldRecord + ") and " + dataNew
            + (readBack.dataDamaged && !old.empty
                   ? "; it is damaged, so " + memory + " is suspect until it is written again."
                   : ".");
    case TransferReadBack::dataOnly:
        return "Read back: " + dataNew + ", but the control block is as it was (" + oldRecord + "): " + memory
            + " is suspect until it is written again.";
    case TransferReadBack::mixed:
        return "Read back: the control block is neither as it was nor as written, and " + dataNew
            + "; check the stick with \"stick status\".";
    case TransferReadBack::transferred:
    case TransferReadBack::unreadable:
        break;
    }
    const std::string why = readBack.stickGone ? "The stick was pulled out, so it cannot be read back: "
                                               : "The stick did not deliver its blocks when read back: ";
    switch (step) {
    case TransferStep::dataBlock:
        return why + "its control block was not written (" + oldRecord + "), but " + memory
            + "'s data block may already hold the new data.";
    case TransferStep::remoteFrameBlock:
        return why + memory + "'s data block holds the new data, but its control block was not written (" + oldRecord
            + ").";
    case TransferStep::controlBlock:
        break;
    }
    return why + memory + "'s data block holds the new data; its control block may still be as it was (" + oldRecord
        + ") or hold the new record.";
}

// True when the control block still names a memory, of either kind of stick.
bool anyMemoryUsed(const ControlBlock& controlBlock)
{
    for (int n = 1; n <= kMemoryCount; ++n) {
        const MemoryRecord record = readMemoryRecord(controlBlock, n);
        if (record.isValid(false) || record.isValid(true))
            return true;
    }
    return false;
}

using MemoryAction = std::function<int(HidTransport& transport, Waiter& waiter, int memory)>;

// Runs a memory command on the default stick for the memory its first argument names.
int onMemory(const Arguments& args, std::ostream& err, const MemoryAction& action)
{
    const auto memory = parseMemoryName(args.positional.front());
    if (!memory)
        return usageError(err, "the memory must be M1, M2, M3 or M4, not " + args.positional.front());
    return onDefaultStick(err,
                          [&](HidTransport& transport, Waiter& waiter) { return action(transport, waiter, *memory); });
}

// What was missing when the stick gave no answer to the control-block request, in the
// terms of the mode the command needs.
std::string_view silentStickText(std::optional<ProbeResult> wanted)
{
    if (wanted == ProbeResult::memoryMode)
        return "The stick did not deliver its control block.";
    if (wanted == ProbeResult::usbStickMode)
        return "The stick did not answer in USB Stick mode: no link reply came within 5 s.";
    return "The stick did not answer: neither its control block (memory mode) nor a link reply (USB Stick mode) "
           "came within 5 s.";
}

// Finds the stick as start-up does; the exit code when it is not in memory mode.
std::optional<int> probeMemoryMode(StickProbe& probe, HidTransport& transport, Waiter& waiter, std::ostream& err)
{
    return probeFailure(runStickProbe(probe, transport, waiter), ProbeResult::memoryMode, err);
}

} // namespace

int onDefaultStick(std::ostream& err, const StickAction& action)
{
    if (const std::string problem = defaultTransportProblem(); !problem.empty()) {
        err << problem << '\n';
        return cliExit::noStick;
    }
    const std::unique_ptr<HidTransport> transport = makeDefaultTransport();
    RealTimeWaiter waiter;
    return action(*transport, waiter);
}

bool saveOutputFile(const std::string& path, std::string_view bytes, FileWriteOptions options, std::ostream& err)
{
    const FileWriteResult written = writeFileAtomically(path, bytes, options);
    if (written.ok())
        return true;
    err << written.error << (written.readOnly ? " (--force replaces it)" : "") << '\n';
    return false;
}

void printMismatches(const std::vector<ByteMismatch>& mismatches, int addressDigits, std::ostream& out)
{
    for (const ByteMismatch& mismatch : mismatches)
        out << "  0x" << hexNumber(static_cast<std::uint32_t>(mismatch.at), addressDigits) << ": wrote 0x"
            << hexByte(mismatch.expected) << ", read 0x" << hexByte(mismatch.found) << '\n';
}

FileWriteOptions outputOptions(const Arguments& args)
{
    return {.replaceReadOnly = args.flag("--force")};
}

std::optional<int> probeFailure(ProbeResult found, std::optional<ProbeResult> wanted, std::ostream& err)
{
    if (found == ProbeResult::noStick) {
        err << "No stick found.\n";
        return cliExit::noStick;
    }
    if (found == ProbeResult::timeOut || found == ProbeResult::pending) {
        err << silentStickText(wanted) << '\n';
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

std::optional<int> parseMemoryName(std::string_view text)
{
    if (text.size() != 2 || (text[0] != 'M' && text[0] != 'm'))
        return std::nullopt;
    const int n = text[1] - '0';
    return isMemorySlot(n) ? std::optional<int>(n) : std::nullopt;
}

TMemory memoryOnStick(const StickProbe& probe, int n)
{
    return memoryFromRecord(readMemoryRecord(probe.controlBlock(), n), probe.remoteMode());
}

ConfigRead readStickMemory(HidTransport& transport, Waiter& waiter, int memory, std::ostream& err, bool takeDamaged)
{
    StickProbe probe;
    if (const auto failed = probeMemoryMode(probe, transport, waiter, err))
        return {.exitCode = *failed};
    return readProbedMemory(transport, waiter, probe, memory, err, takeDamaged);
}

// "records 2 and 5", "record 3".
std::string recordList(const std::vector<int>& records)
{
    std::string text = records.size() == 1 ? "record " : "records ";
    for (std::size_t i = 0; i < records.size(); ++i)
        text += (i == 0 ? "" : i + 1 == records.size() ? " and " : ", ") + std::to_string(records[i]);
    return text;
}

ConfigRead readProbedMemory(HidTransport& transport, Waiter& waiter, const StickProbe& probe, int memory,
                            std::ostream& err, bool takeDamaged)
{
    ConfigRead result;
    result.remoteStick = probe.remoteMode();
    TMemory chosen = memoryOnStick(probe, memory);
    if (chosen.empty) {
        err << 'M' << memory << " is empty.\n";
        result.exitCode = cliExit::invalidInput;
        return result;
    }
    const BlockRead read = readBlock(transport, waiter, chosen.address);
    if (read.status != BlockReadStatus::read) {
        err << "Reading M" << memory << " failed: " << describe(read.status) << ".\n";
        result.exitCode = cliExit::transferFailed;
        return result;
    }
    chosen.data = read.block;
    const DataBlockWalk walk = imageFromMemory(chosen, result.image);
    if (walk == DataBlockWalk::badChecksum && takeDamaged) {
        err << "M" << memory << " is read despite its damaged "
            << recordList(recordsWithBadChecksum(chosen.data, chosen.length)) << ": check what they set.\n";
        copyDataBlockToImage(chosen.data, chosen.length, result.image, Checksums::ignored);
    } else if (isDamaged(walk)) {
        err << "The data block of M" << memory << " is damaged: " << describe(walk)
            << (walk == DataBlockWalk::badChecksum ? " (--force reads it all the same)" : "") << ".\n";
        result.exitCode = cliExit::invalidInput;
        return result;
    }
    clearAstroData(result.image);
    result.info = displayName(chosen);
    return result;
}

int runStickStatusCommand(const Arguments&, std::ostream& out, std::ostream& err)
{
    return onDefaultStick(
        err, [&](HidTransport& transport, Waiter& waiter) { return runStickStatus(transport, waiter, out, err); });
}

int runStickReadCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    return onMemory(args, err, [&](HidTransport& transport, Waiter& waiter, int memory) {
        return runStickRead(transport, waiter, memory, *args.value("-o"), out, err, outputOptions(args));
    });
}

int runStickWriteCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    std::optional<Byte> tx;
    if (const std::string* names = args.value("--tx")) {
        tx = parseTxSelection(*names);
        if (!tx) {
            err << "--tx takes a list of pol, isd, isden, isdengine, lsten, lstengine, separated by commas.\n";
            return cliExit::usage;
        }
    }
    return onMemory(args, err, [&](HidTransport& transport, Waiter& waiter, int memory) {
        return runStickWrite(transport, waiter, memory, args.positional[1], args.value("--name"), out, err, tx,
                             !args.flag("--no-verify"));
    });
}

int runStickEraseCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    return onDefaultStick(err, [&](HidTransport& transport, Waiter& waiter) {
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
    printMemories(probe, transport, waiter, out);
    return cliExit::success;
}

int runStickRead(HidTransport& transport, Waiter& waiter, int memory, const std::string& path, std::ostream& out,
                 std::ostream& err, FileWriteOptions save)
{
    const ConfigRead read = readStickMemory(transport, waiter, memory, err, save.replaceReadOnly);
    if (read.exitCode != cliExit::success)
        return read.exitCode;
    if (!saveOutputFile(path, saveConfiguration(read.image, read.info), save, err))
        return cliExit::invalidInput;
    out << "Wrote M" << memory << " to " << path << '\n';
    if (read.remoteStick) {
        const BlockRead frames = readBlock(transport, waiter, remoteBlockAddress(memory));
        if (frames.status != BlockReadStatus::read) {
            err << "Reading the remote frames of M" << memory << " failed: " << describe(frames.status) << ".\n";
            return cliExit::transferFailed;
        }
        printRemoteFrames(frames.block, out);
    }
    return cliExit::success;
}

int runStickWrite(HidTransport& transport, Waiter& waiter, int memory, const std::string& path, const std::string* name,
                  std::ostream& out, std::ostream& err, std::optional<Byte> tx, bool verify, FileImage fileImage)
{
    const auto loaded = loadConfigurationFile(path, {}, err, fileImage);
    if (!loaded)
        return cliExit::invalidInput;
    const std::string infoText = name ? *name : loaded->info.value_or(std::string());
    if (utf8ToCp1252(infoText).size() > kInfoSize)
        err << "Note: the name is cut to " << kInfoSize << " characters.\n";

    StickProbe probe;
    if (const auto failed = probeMemoryMode(probe, transport, waiter, err))
        return *failed;
    // Without --tx a remote memory keeps the frames it had chosen; an empty one sends all.
    const TMemory before = memoryOnStick(probe, memory);
    const Byte txStatus = tx.value_or(before.empty ? kAllTxBoxes : before.cbStatus);
    // As the window holds the file for this stick: a remote one carries the levels and
    // fades its frames can say.
    EeBlock image = loaded->image;
    if (fileImage == FileImage::asLoad)
        applyDisplayRules(image, probe.remoteMode());
    const MemoryTransferRequest request{.controlBlock = probe.controlBlock(),
                                        .memory = memory,
                                        .image = image,
                                        .infoText = infoText,
                                        .remoteMode = probe.remoteMode(),
                                        .txStatus = txStatus,
                                        .curveCorrection = {}};
    const MemoryTransferResult result = transferMemory(transport, waiter, request);
    if (!result.ok()) {
        // A write the stick did not confirm may have happened all the same: what it
        // holds now is read back rather than assumed.
        const TransferStep step = result.failedStep.value_or(TransferStep::dataBlock);
        const MemoryReadBack readBack = readBackTransfer(transport, waiter, request, result);
        if (readBack.state != TransferReadBack::transferred) {
            err << "Firmware Write Error!" << transferErrorCode(step) << '\n'
                << "Writing the " << describe(step) << " of M" << memory << " failed: " << describe(result.write)
                << ".\n"
                << stickAfterFailedWrite(readBack, step, memory, memoryOnStick(probe, memory)) << '\n';
            return cliExit::transferFailed;
        }
        err << "The stick did not confirm the " << describe(step) << " of M" << memory << " (" << describe(result.write)
            << "), but reading it back shows the new data and record in place.\n";
    }
    if (verify) {
        const TransferVerification verification = verifyTransfer(transport, waiter, memory, result);
        if (!verification.ok()) {
            err << "Verify failed: M" << memory
                << (verification.readBack ? " reads back otherwise than it was written:\n"
                                          : " could not be read back.\n");
            printMismatches(verification.differences, 4, err);
            return cliExit::transferFailed;
        }
    }
    out << "Wrote " << path << " to M" << memory << (verify ? ", verified" : "") << '\n';
    if (probe.remoteMode())
        printRemoteFrames(encodeRemoteFrames(loaded->image, txStatus), out);
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
    // The erase command is not answered: the control block read back tells what it did.
    StickProbe after;
    const ProbeResult found = runStickProbe(after, transport, waiter);
    if (found != ProbeResult::memoryMode) {
        err << "The erase command was sent, but then the stick "
            << (found == ProbeResult::noStick ? "was pulled out" : "did not deliver its control block")
            << ": whether its memories are erased is not known.\n";
        return cliExit::transferFailed;
    }
    const bool erased = !anyMemoryUsed(after.controlBlock());
    const bool switched = !after.modeQueryAnswered() || after.remoteMode() == remote;
    if (!erased || !switched) {
        err << "The erase did not take: the stick is " << memoryModeText(after) << ".\n";
        printMemories(after, transport, waiter, err);
        return cliExit::transferFailed;
    }
    out << (remote ? "Erased all memories; the stick is now a remote stick.\n"
                   : "Erased all memories; the stick is now a local stick.\n");
    return cliExit::success;
}

} // namespace ormid
