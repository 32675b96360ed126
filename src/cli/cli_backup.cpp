// ormid-cli's stick backup and restore: the four memories of a stick in memory mode as
// configuration files with a manifest, and written back from them with verification.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_commands.h"
#include "core/memories.h"
#include "core/text_lines.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "files/stick_backup.h"
#include "link/control_block.h"
#include "link/stick_probe.h"

namespace ormid {

namespace cliCommands {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxManifestSize = 64 * 1024;

// The slots --slots names ("M1,M3"); nullopt when one is no memory.
std::optional<std::vector<int>> parseSlots(std::string_view text)
{
    std::vector<int> slots;
    for (const std::string_view name : splitList(text)) {
        const auto slot = parseMemoryName(name);
        if (!slot)
            return std::nullopt;
        slots.push_back(*slot);
    }
    return slots;
}

// A folder to write a backup into: new, or empty, or any with `force`.
bool prepareBackupFolder(const fs::path& folder, bool force, std::ostream& err)
{
    std::error_code error;
    if (fs::exists(folder, error) && !fs::is_directory(folder, error)) {
        err << folder.string() << " is not a folder.\n";
        return false;
    }
    if (fs::is_directory(folder, error) && !fs::is_empty(folder, error) && !force) {
        err << folder.string() << " is not empty (--force writes the backup into it all the same).\n";
        return false;
    }
    fs::create_directories(folder, error);
    if (error) {
        err << "Cannot make the folder " << folder.string() << ": " << error.message() << ".\n";
        return false;
    }
    return true;
}

// What restore writes: the manifest's memories, their files loaded; the reason on `err`
// when the folder cannot be restored from.
struct RestorePlan {
    StickBackup backup;
    std::vector<int> slots;
};

std::optional<RestorePlan> planRestore(const fs::path& folder, const std::string* slotList, std::ostream& err)
{
    const FileReadResult manifest = readWholeFile(folder / kBackupManifestName, kMaxManifestSize);
    if (!manifest.ok()) {
        err << manifest.error << '\n';
        return std::nullopt;
    }
    const BackupManifestRead read = readBackupManifest(manifest.bytes);
    if (!read.ok()) {
        err << "The manifest is damaged: " << read.error << ".\n";
        return std::nullopt;
    }
    RestorePlan plan{read.backup, {}};
    for (int slot = 1; slot <= kMemoryCount; ++slot)
        if (!slotList && !plan.backup.memories[static_cast<std::size_t>(slot - 1)].empty)
            plan.slots.push_back(slot);
    if (slotList) {
        const auto slots = parseSlots(*slotList);
        if (!slots || slots->empty()) {
            err << "--slots names no memories: " << *slotList << ".\n";
            return std::nullopt;
        }
        plan.slots = *slots;
    }
    for (const int slot : plan.slots) {
        const BackupMemory& memory = plan.backup.memories[static_cast<std::size_t>(slot - 1)];
        if (memory.empty) {
            err << 'M' << slot << " is empty in the backup.\n";
            return std::nullopt;
        }
        if (!loadConfigurationFile((folder / memory.file).string(), {}, err)) {
            err << "The file of M" << slot << " cannot be restored.\n";
            return std::nullopt;
        }
    }
    return plan;
}

} // namespace

int runStickBackupCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    return onDefaultStick(err, [&](HidTransport& transport, Waiter& waiter) {
        return runStickBackup(transport, waiter, args.positional.front(), out, err, args.flag("--force"));
    });
}

int runStickRestoreCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::string* slots = args.value("--slots");
    if (slots && (!parseSlots(*slots) || slots->empty()))
        return usageError(err, "--slots takes memories separated by commas, e.g. M1,M3, not " + *slots);
    return onDefaultStick(err, [&](HidTransport& transport, Waiter& waiter) {
        return runStickRestore(transport, waiter, args.positional.front(), slots, out, err);
    });
}

} // namespace cliCommands

using namespace cliCommands;

int runStickBackup(HidTransport& transport, Waiter& waiter, const std::string& folderName, std::ostream& out,
                   std::ostream& err, bool force)
{
    const fs::path folder(folderName);
    StickProbe probe;
    if (const auto failed = probeFailure(runStickProbe(probe, transport, waiter), ProbeResult::memoryMode, err))
        return *failed;
    if (!prepareBackupFolder(folder, force, err))
        return cliExit::invalidInput;

    StickBackup backup;
    backup.remote = probe.remoteMode();
    if (const FirmwareRecord firmware = readFirmwareRecord(probe.controlBlock()); firmware.isValid())
        backup.firmware = BackupFirmware{firmware.version, firmware.size};
    for (int slot = 1; slot <= kMemoryCount; ++slot) {
        const TMemory memory = memoryOnStick(probe, slot);
        if (memory.mEmpty)
            continue;
        const ConfigRead read = readProbedMemory(transport, waiter, probe, slot, err);
        if (read.exitCode != cliExit::success) {
            err << "No backup was made: M" << slot << " could not be read.\n";
            return read.exitCode;
        }
        BackupMemory& entry = backup.memories[static_cast<std::size_t>(slot - 1)];
        entry = {.empty = false, .name = read.info, .file = backupFileName(slot, read.info), .status = memory.cbStatus};
        if (!saveOutputFile((folder / entry.file).string(), saveConfiguration(read.image, read.info), {}, err))
            return cliExit::invalidInput;
        out << 'M' << slot << " \"" << entry.name << "\" -> " << (folder / entry.file).string() << '\n';
    }
    // Written last: a folder without it is no backup.
    if (!saveOutputFile((folder / kBackupManifestName).string(), writeBackupManifest(backup), {}, err))
        return cliExit::invalidInput;
    out << "Backed up the " << (backup.remote ? "remote" : "local") << " stick to " << folder.string() << '\n';
    return cliExit::success;
}

int runStickRestore(HidTransport& transport, Waiter& waiter, const std::string& folderName, const std::string* slotList,
                    std::ostream& out, std::ostream& err)
{
    const fs::path folder(folderName);
    const std::optional<RestorePlan> plan = planRestore(folder, slotList, err);
    if (!plan) {
        err << "Nothing was restored; the stick was not touched.\n";
        return cliExit::invalidInput;
    }
    StickProbe probe;
    if (const auto failed = probeFailure(runStickProbe(probe, transport, waiter), ProbeResult::memoryMode, err))
        return *failed;
    if (probe.remoteMode() != plan->backup.remote) {
        err << "The backup is of a " << (plan->backup.remote ? "remote" : "local") << " stick, this stick is "
            << (probe.remoteMode() ? "remote" : "local") << "; the stick was not touched.\n";
        return cliExit::transferFailed;
    }
    std::vector<int> restored;
    for (const int slot : plan->slots) {
        const BackupMemory& memory = plan->backup.memories[static_cast<std::size_t>(slot - 1)];
        const std::optional<Byte> tx = plan->backup.remote ? std::optional<Byte>(memory.status) : std::nullopt;
        const int code
            = runStickWrite(transport, waiter, slot, (folder / memory.file).string(), &memory.name, out, err, tx);
        if (code != cliExit::success) {
            err << "Restoring stopped at M" << slot << "; restored before it: " << restored.size() << " memories.\n";
            return code;
        }
        restored.push_back(slot);
    }
    out << "Restored " << restored.size() << " memories from " << folder.string() << '\n';
    return cliExit::success;
}

} // namespace ormid
