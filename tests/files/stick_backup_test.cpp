#include "files/stick_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace ormid {
namespace {

StickBackup sampleBackup(bool remote)
{
    StickBackup backup;
    backup.remote = remote;
    backup.firmware = BackupFirmware{77, 4096};
    backup.memories[0] = {.empty = false, .name = "Street", .file = "M1-Street.kdc", .status = 0x09};
    backup.memories[2] = {.empty = false, .name = " Ring ", .file = "M3-_Ring_.kdc", .status = 0x3F};
    return backup;
}

TEST(StickBackup, TheManifestReadsBackAsWritten)
{
    for (const bool remote : {false, true}) {
        SCOPED_TRACE(remote ? "remote" : "local");
        StickBackup backup = sampleBackup(remote);
        const std::string text = writeBackupManifest(backup);
        const BackupManifestRead read = readBackupManifest(text);
        ASSERT_TRUE(read.ok()) << read.error;
        EXPECT_EQ(read.backup, backup);
        EXPECT_EQ(text.find("Tx=pol,isdengine") != std::string::npos, remote) << text;
    }
    StickBackup noFirmware = sampleBackup(false);
    noFirmware.firmware.reset();
    const BackupManifestRead read = readBackupManifest(writeBackupManifest(noFirmware));
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.backup, noFirmware);
}

// A memory's name may hold any byte; each comes back, and the manifest stays lines of
// printable text. A manifest that names a memory without escapes reads as before.
TEST(StickBackup, NamesWithAnyByteReadBackAsWritten)
{
    const std::string names[] = {"a\nb",
                                 "a\rb",
                                 "\"q\"",
                                 "back\\x41",
                                 std::string("\0\x01\x7F\x80\xFF", 5),
                                 "Stra\xDF"
                                 "e"};
    for (const std::string& name : names) {
        StickBackup backup = sampleBackup(false);
        backup.memories[0].name = name;
        const std::string text = writeBackupManifest(backup);
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c == '\n' || (c >= 0x20 && c <= 0x7E); }))
            << text;
        const BackupManifestRead read = readBackupManifest(text);
        ASSERT_TRUE(read.ok()) << read.error;
        EXPECT_EQ(read.backup.memories[0].name, name);
    }
    std::string older = writeBackupManifest(sampleBackup(false));
    older.replace(older.find("Name=\"Street\""), 13, "Name=\"St\\reet\"");
    EXPECT_EQ(readBackupManifest(older).backup.memories[0].name, "St\\reet");
}

TEST(StickBackup, AManifestThatCannotBeTrustedIsRefused)
{
    const std::string good = writeBackupManifest(sampleBackup(false));
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const struct {
        const char* name;
        std::string text;
        std::string error;
    } cases[] = {
        {"empty", "", "the stick's kind (local or remote) is missing"},
        {"unknown kind", replaced("Kind=local", "Kind=both"), "the stick's kind"},
        {"firmware", replaced("Firmware=1.77, 4096 bytes", "Firmware=new"), "the firmware record \"new\""},
        {"status", replaced("Status=09", "Status=9"), "M1 is neither empty nor a memory"},
        {"no file", replaced("File=M1-Street.kdc\n", ""), "M1 is neither empty nor a memory"},
        {"a path", replaced("File=M1-Street.kdc", "File=../M1.kdc"), "M1's file \"../M1.kdc\" is not a name"},
        {"a memory left out", replaced("[M2]\nEmpty=yes\n", ""), "M2 is neither empty nor a memory"},
    };
    for (const auto& c : cases) {
        const BackupManifestRead read = readBackupManifest(c.text);
        EXPECT_NE(read.error.find(c.error), std::string::npos) << c.name << ": " << read.error;
    }
}

TEST(StickBackup, FileNamesCarryTheSlotAndASafeName)
{
    const struct {
        int slot;
        const char* name;
        const char* file;
    } cases[] = {
        {1, "Street", "M1-Street.kdc"},
        {2, "", "M2.kdc"},
        {3, "a/b\\c", "M3-a_b_c.kdc"},
        {4, "..", "M4.kdc"},
        {1, "Hof 3", "M1-Hof 3.kdc"},
        {2,
         "Stra\xC3\x9F"
         "e",
         "M2-Stra__e.kdc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(backupFileName(c.slot, c.name), c.file) << c.name;
}

} // namespace
} // namespace ormid
