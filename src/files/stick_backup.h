#pragma once
// A stick backup: a folder with one configuration file per used memory and the
// manifest that describes the stick (its kind, every memory's name, status byte and Tx
// boxes, the firmware record). The manifest is written last, so a folder without one
// is no backup.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/image.h"
#include "core/memories.h"

namespace ormid {

constexpr std::string_view kBackupManifestName = "manifest.ini";

struct BackupMemory {
    bool empty = true;
    std::string name; // without padding
    std::string file; // the configuration file in the backup folder
    Byte status = 0;  // the record's status byte (a remote stick's Tx boxes)

    bool operator==(const BackupMemory&) const = default;
};

struct BackupFirmware {
    Byte version = 0;
    std::uint16_t size = 0;

    bool operator==(const BackupFirmware&) const = default;
};

struct StickBackup {
    bool remote = false;
    std::optional<BackupFirmware> firmware; // the stick's firmware record, when it has one
    std::array<BackupMemory, kMemoryCount> memories{};

    bool operator==(const StickBackup&) const = default;
};

// "M2-Street.kdc": the slot and the memory's name, with characters a file name should
// not carry replaced by '_'; "M2.kdc" without a name.
std::string backupFileName(int slot, std::string_view name);

std::string writeBackupManifest(const StickBackup& backup);

// The manifest read back; `error` says what is missing or wrong (then nothing else counts).
struct BackupManifestRead {
    StickBackup backup;
    std::string error;
    bool ok() const { return error.empty(); }
};
BackupManifestRead readBackupManifest(std::string_view text);

} // namespace ormid
