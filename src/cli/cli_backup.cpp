// ormid-cli's stick backup and restore: the four memories of a stick in memory mode as
// configuration files with a manifest, and written back from them with verification.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
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

// A folder a backup may take the place of: none yet, an empty one, or with `force` an
// older backup (one with a manifest; a folder of other files is never replaced).
bool backupMayReplace(const fs::path& folder, bool force, std::ostream& err)
{
    std::error_code error;
    if (!fs::exists(folder, error))
        return true;
    if (!fs::is_directory(folder, error)) {
        err << folder.string() << " is not a folder.\n";
        return false;
    }
    if (fs::is_empty(folder, error))
        return true;
    if (!force) {
        err << folder.string() << " is not empty (--force replaces an older backup in it).\n";
        return false;
    }
    if (!fs::exists(folder / kBackupManifestName, error)) {
        err << folder.string() << " holds no backup (no " << kBackupManifestName
            << "); --force replaces only an older backup.\n";
        return false;
    }
    return true;
}

// A new folder beside `folder` (same file system, so that it can be renamed into place).
std::optional<fs::path> makeFolderBeside(const fs::path& folder, std::string_view purpose, std::ostream& err)
{
    const fs::path parent = folder.has_parent_path() ? folder.parent_path() : fs::path(".");
    std::string pattern
        = (parent / ("." + folder.filename().string() + "." + std::string(purpose) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        err << "Cannot make a folder beside " << folder.string() << ": " << std::strerror(errno) << ".\n";
        return std::nullopt;
    }
    return fs::path(pattern);
}

// The complete backup in `staging` takes the place of `folder`; an older backup there
// goes only now. False (with `folder` as it was) when it cannot be moved.
bool placeBackup(const fs::path& staging, const fs::path& folder, std::ostream& err)
{
    std::error_code error;
    std::optional<fs::path> aside;
    if (fs::is_directory(folder, error) && !fs::is_empty(folder, error)) {
        aside = makeFolderBeside(folder, "old", err);
        if (aside)
            fs::rename(folder, *aside, error); // onto the empty folder just made
        if (!aside || error) {
            if (aside)
                fs::remove(*aside, error);
            err << "Cannot move the older backup in " << folder.string() << " aside.\n";
            return false;
        }
    }
    fs::rename(staging, folder, error); // an empty folder there is replaced
    if (error) {
        err << "Cannot move the backup into " << folder.string() << ": " << error.message() << ".\n";
        if (aside)
            fs::rename(*aside, folder, error);
        return false;
    }
    if (aside)
        fs::remove_all(*aside, error);
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
        if (!loadConfigurationFile((folder / memory.file).string(), {}, err, FileImage::asSaved)) {
            err << "The file of M" << slot << " cannot be restored.\n";
            return std::nullopt;
        }
    }
    return plan;
}

// Reads every used memory into `staging` as configuration files, then the manifest;
// the progress names each file as it will lie in `folder`.
int writeBackup(HidTransport& transport, Waiter& waiter, const StickProbe& probe, const fs::path& staging,
                const fs::path& folder, std::ostream& out, std::ostream& err)
{

    StickBackup backup;
    backup.remote = probe.remoteMode();
    if (const FirmwareRecord firmware = readFirmwareRecord(probe.controlBlock()); firmware.isValid())
        backup.firmware = BackupFirmware{firmware.version, firmware.size};
    for (int slot = 1; slot <= kMemoryCount; ++slot) {
        const TMemory memory = memoryOnStick(probe, slot);
        if (memory.empty)
            continue;
        const ConfigRead read = readProbedMemory(transport, waiter, probe, slot, err);
        if (read.exitCode != cliExit::success) {
            err << "M" << slot << " could not be read.\n";
            return read.exitCode;
        }
        BackupMemory& entry = backup.memories[static_cast<std::size_t>(slot - 1)];
        entry = {.empty = false, .name = read.info, .file = backupFileName(slot, read.info), .status = memory.cbStatus};
        if (!saveOutputFile((staging / entry.file).string(), saveConfiguration(read.image, read.info), {}, err))
            return cliExit::invalidInput;
        out << 'M' << slot << " \"" << entry.name << "\" -> " << (folder / entry.file).string() << '\n';
    }
    // Written last: a folder without it is no backup.
    return saveOutputFile((staging / kBackupManifestName).string(), writeBackupManifest(backup), {}, err)
        ? cliExit::success
        : cliExit::invalidInput;
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

// The backup is written into a new folder beside DIR and takes DIR's place only when
// it is complete: a stick pulled out or a file that cannot be written leaves DIR as it was.
int runStickBackup(HidTransport& transport, Waiter& waiter, const std::string& folderName, std::ostream& out,
                   std::ostream& err, bool force)
{
    fs::path folder = fs::path(folderName).lexically_normal();
    if (!folder.has_filename())
        folder = folder.parent_path(); // "site-a/"
    StickProbe probe;
    if (const auto failed = probeFailure(runStickProbe(probe, transport, waiter), ProbeResult::memoryMode, err))
        return *failed;
    if (!backupMayReplace(folder, force, err))
        return cliExit::invalidInput;
    const std::optional<fs::path> staging = makeFolderBeside(folder, "partial", err);
    if (!staging)
        return cliExit::invalidInput;
    const int code = writeBackup(transport, waiter, probe, *staging, folder, out, err);
    if (code != cliExit::success || !placeBackup(*staging, folder, err)) {
        std::error_code ignored;
        fs::remove_all(*staging, ignored);
        err << "No backup was made; " << folder.string() << " is as it was.\n";
        return code != cliExit::success ? code : cliExit::invalidInput;
    }
    out << "Backed up the " << (probe.remoteMode() ? "remote" : "local") << " stick to " << folder.string() << '\n';
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
        const int code = runStickWrite(transport, waiter, slot, (folder / memory.file).string(), &memory.name, out, err,
                                       tx, true, FileImage::asSaved);
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
