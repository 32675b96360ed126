#include "files/stick_backup.h"

#include <algorithm>
#include <cctype>

#include "core/remote_frames.h"
#include "core/text_lines.h"
#include "files/ini_file.h"

namespace ormid {

namespace {

constexpr std::string_view kStickSection = "Stick";
constexpr std::string_view kLocal = "local";
constexpr std::string_view kRemote = "remote";
constexpr std::string_view kNoFirmware = "none";

std::string slotSection(int slot)
{
    return "M" + std::to_string(slot);
}

bool fileNameCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == '.' || c == ' ';
}

// "1.77, 4096 bytes" as written; nullopt when it does not read so.
std::optional<BackupFirmware> parseFirmware(std::string_view text)
{
    unsigned version = 0;
    unsigned size = 0;
    char tail = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "1.%u, %u bytes%c", &version, &size, &tail) != 2 || version > 0xFF || size > 0xFFFF)
        return std::nullopt;
    return BackupFirmware{static_cast<Byte>(version), static_cast<std::uint16_t>(size)};
}

// A name as the manifest carries it: printable ASCII as it is, any other byte, the
// backslash and the quote as \xHH, so that every name survives a line of text.
std::string escapedName(std::string_view name)
{
    std::string text;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '\\' || c == '"')
            text += "\\x" + hexByte(byte);
        else
            text += c;
    }
    return text;
}

// \xHH back to its byte; anything else as it stands (a manifest written before names
// were escaped reads as before).
std::string unescapedName(std::string_view text)
{
    std::string name;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = text.substr(i, 2) == "\\x" ? parseHexBytes(text.substr(i + 2, 2)) : std::nullopt;
        if (byte && byte->size() == 1) {
            name += static_cast<char>(byte->front());
            i += 3;
        } else {
            name += text[i];
        }
    }
    return name;
}

} // namespace

std::string backupFileName(int slot, std::string_view name)
{
    std::string safe;
    for (const char c : name)
        safe += fileNameCharacter(c) ? c : '_';
    // Names of dots only would make "." or ".." parts of the file name.
    if (std::all_of(safe.begin(), safe.end(), [](char c) { return c == '.' || c == ' '; }))
        safe.clear();
    return slotSection(slot) + (safe.empty() ? "" : "-" + safe) + ".kdc";
}

std::string writeBackupManifest(const StickBackup& backup)
{
    std::string text = "; A backup of an Ormid programming stick; ormid-cli stick restore writes it back.\n";
    text += "[" + std::string(kStickSection) + "]\n";
    text += "Kind=" + std::string(backup.remote ? kRemote : kLocal) + "\n";
    text += "Firmware="
        + (backup.firmware ? "1." + std::to_string(backup.firmware->version) + ", "
                   + std::to_string(backup.firmware->size) + " bytes"
                           : std::string(kNoFirmware))
        + "\n";
    for (int slot = 1; slot <= kMemoryCount; ++slot) {
        const BackupMemory& memory = backup.memories[static_cast<std::size_t>(slot - 1)];
        text += "\n[" + slotSection(slot) + "]\n";
        if (memory.empty) {
            text += "Empty=yes\n";
            continue;
        }
        text += "Name=\"" + escapedName(memory.name) + "\"\n";
        text += "File=" + memory.file + "\n";
        text += "Status=" + hexByte(memory.status) + "\n";
        if (backup.remote)
            text += "Tx=" + txSelectionText(memory.status) + "\n";
    }
    return text;
}

BackupManifestRead readBackupManifest(std::string_view text)
{
    BackupManifestRead read;
    const IniFile ini = IniFile::parse(text);
    const auto kind = ini.value(kStickSection, "Kind");
    if (!kind || (*kind != kLocal && *kind != kRemote)) {
        read.error = "the stick's kind (local or remote) is missing";
        return read;
    }
    read.backup.remote = *kind == kRemote;
    if (const auto firmware = ini.value(kStickSection, "Firmware"); firmware && *firmware != kNoFirmware) {
        read.backup.firmware = parseFirmware(*firmware);
        if (!read.backup.firmware) {
            read.error = "the firmware record \"" + *firmware + "\" cannot be read";
            return read;
        }
    }
    for (int slot = 1; slot <= kMemoryCount; ++slot) {
        const std::string section = slotSection(slot);
        BackupMemory& memory = read.backup.memories[static_cast<std::size_t>(slot - 1)];
        if (ini.value(section, "Empty") == "yes")
            continue;
        const auto file = ini.value(section, "File");
        const auto status = ini.value(section, "Status");
        const auto statusByte = status ? parseHexBytes(*status) : std::nullopt;
        if (!file || file->empty() || !statusByte || statusByte->size() != 1) {
            read.error = section + " is neither empty nor a memory with a file and a status byte";
            return read;
        }
        // The file lies in the backup folder itself, never elsewhere.
        if (file->find_first_of("/\\") != std::string::npos || *file == "." || *file == "..") {
            read.error = section + "'s file \"" + *file + "\" is not a name in the backup folder";
            return read;
        }
        memory = {.empty = false,
                  .name = unescapedName(ini.value(section, "Name").value_or(std::string())),
                  .file = *file,
                  .status = statusByte->front()};
    }
    return read;
}

} // namespace ormid
