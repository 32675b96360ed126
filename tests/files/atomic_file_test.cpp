#include "files/atomic_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include <csignal>

#include "temp_folder.h"
#include <sys/resource.h>
#include <sys/stat.h>

namespace ormid {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public test::TempFolderTest {
protected:
    // A test may take the folder's permissions away; it is removed with them given back.
    void TearDown() override { fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add); }

    void put(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::vector<std::string> folderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(AtomicFile, ReadsEveryByte)
{
    const std::string bytes("MMN1234\r\n\0\xFF\r", 12);
    put(folder_ / "a.kdc", bytes);
    const auto read = readWholeFile(folder_ / "a.kdc");
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.bytes, bytes);
}

TEST_F(AtomicFile, ReadFailuresNameThePathAndTheCause)
{
    const auto missing = readWholeFile(folder_ / "missing.kdc");
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.error.find("missing.kdc"), std::string::npos) << missing.error;
    EXPECT_NE(missing.error.find("No such file"), std::string::npos) << missing.error;

    const auto folder = readWholeFile(folder_);
    EXPECT_FALSE(folder.ok());
    EXPECT_TRUE(folder.bytes.empty());
}

// A FIFO with no writer is refused at once instead of waiting for one; a file larger
// than the caller allows is refused without being read.
TEST_F(AtomicFile, ReadRefusesWhatIsNoFileOfTheSizeAsked)
{
    ASSERT_EQ(::mkfifo((folder_ / "fifo.kdc").c_str(), 0600), 0);
    put(folder_ / "big.dc", std::string(1001, '1'));
    const struct {
        const char* name;
        std::size_t maxSize;
        std::string error;
    } cases[] = {
        {"fifo.kdc", kMaxReadSize, "fifo.kdc: not a regular file"},
        {"big.dc", 1000, "big.dc: file too large (more than 1000 bytes)"},
    };
    for (const auto& c : cases) {
        const auto read = readWholeFile(folder_ / c.name, c.maxSize);
        EXPECT_FALSE(read.ok()) << c.name;
        EXPECT_NE(read.error.find(c.error), std::string::npos) << read.error;
        EXPECT_TRUE(read.bytes.empty()) << c.name;
    }
    EXPECT_EQ(readWholeFile(folder_ / "big.dc", 1001).bytes.size(), 1001u) << "at the limit";
}

TEST_F(AtomicFile, ReplacesTheTargetAndLeavesNoTemporary)
{
    const fs::path target = folder_ / "config.kdc";
    ASSERT_TRUE(writeFileAtomically(target, "first").ok());
    put(folder_ / "other", "x");
    ::chmod(target.c_str(), 0600);

    const auto written = writeFileAtomically(target, "second\r\n");
    ASSERT_TRUE(written.ok()) << written.error;
    EXPECT_EQ(readWholeFile(target).bytes, "second\r\n");
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"config.kdc", "other"}));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// The temporary file has a short name of its own: a target whose name fills the
// folder entry's 255 bytes can be saved.
TEST_F(AtomicFile, TargetsWithTheLongestNamesAreSaved)
{
    for (const std::size_t length : {244, 255}) {
        const fs::path target = folder_ / (std::string(length - 4, 'n') + ".kdc");
        const auto written = writeFileAtomically(target, "content");
        ASSERT_TRUE(written.ok()) << length << ": " << written.error;
        EXPECT_EQ(readWholeFile(target).bytes, "content");
    }
    EXPECT_EQ(folderEntries().size(), 2u) << "no temporary left";
}

// A save through a symbolic link writes the file the link points to; the link stays.
TEST_F(AtomicFile, SavesThroughSymbolicLinks)
{
    fs::create_directory(folder_ / "real");
    put(folder_ / "real" / "config.kdc", "old");
    ::chmod((folder_ / "real" / "config.kdc").c_str(), 0640);
    fs::create_symlink("real/config.kdc", folder_ / "relative.kdc");
    fs::create_symlink(folder_ / "relative.kdc", folder_ / "chained.kdc");
    for (const char* link : {"relative.kdc", "chained.kdc"}) {
        const auto written = writeFileAtomically(folder_ / link, std::string("through ") + link);
        ASSERT_TRUE(written.ok()) << written.error;
        EXPECT_TRUE(fs::is_symlink(folder_ / link)) << link;
        EXPECT_EQ(readWholeFile(folder_ / "real" / "config.kdc").bytes, std::string("through ") + link);
    }
    EXPECT_EQ(fs::status(folder_ / "real" / "config.kdc").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::directory_iterator(folder_ / "real")->path().filename(), "config.kdc") << "no temporary left";

    fs::create_symlink("loop.kdc", folder_ / "loop.kdc");
    EXPECT_FALSE(writeFileAtomically(folder_ / "loop.kdc", "x").ok());
}

// What is no regular file (a FIFO here, a device node alike) is not replaced, nor is a
// write-protected file unless the caller says so; a replaced one keeps its mode.
TEST_F(AtomicFile, RefusesTargetsThatAreNoWritableRegularFile)
{
    ASSERT_EQ(::mkfifo((folder_ / "fifo.kdc").c_str(), 0600), 0);
    put(folder_ / "locked.kdc", "old");
    ::chmod((folder_ / "locked.kdc").c_str(), 0444);

    const auto fifo = writeFileAtomically(folder_ / "fifo.kdc", "new");
    EXPECT_NE(fifo.error.find("fifo.kdc: not a regular file"), std::string::npos) << fifo.error;
    EXPECT_TRUE(fs::is_fifo(folder_ / "fifo.kdc"));

    const auto locked = writeFileAtomically(folder_ / "locked.kdc", "new");
    EXPECT_NE(locked.error.find("locked.kdc: the file is write-protected"), std::string::npos) << locked.error;
    EXPECT_TRUE(locked.readOnly);
    EXPECT_EQ(readWholeFile(folder_ / "locked.kdc").bytes, "old");
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"fifo.kdc", "locked.kdc"}));

    const auto forced = writeFileAtomically(folder_ / "locked.kdc", "new", {.replaceReadOnly = true});
    ASSERT_TRUE(forced.ok()) << forced.error;
    EXPECT_EQ(readWholeFile(folder_ / "locked.kdc").bytes, "new");
    struct stat info {};
    ASSERT_EQ(::stat((folder_ / "locked.kdc").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0444u);
}

TEST_F(AtomicFile, FailedWriteLeavesTheOldFileIntact)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind root";
    const fs::path target = folder_ / "config.kdc";
    put(target, "old content");
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);

    const auto written = writeFileAtomically(target, "new content");
    EXPECT_FALSE(written.ok());
    EXPECT_NE(written.error.find("config.kdc"), std::string::npos) << written.error;
    EXPECT_EQ(readWholeFile(target).bytes, "old content");
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"config.kdc"}));
}

TEST_F(AtomicFile, FailedWriteOfTheDataLeavesTheOldFileIntact)
{
    // A file-size limit makes the write itself fail (a full disk), for root as well.
    const fs::path target = folder_ / "config.kdc";
    put(target, "old content");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    const auto written = writeFileAtomically(target, "new content that does not fit");

    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    EXPECT_FALSE(written.ok());
    EXPECT_EQ(readWholeFile(target).bytes, "old content");
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"config.kdc"}));
}

TEST_F(AtomicFile, FailedRenameRemovesTheTemporary)
{
    // A folder in the target's place cannot be replaced by a file, for root neither.
    fs::create_directory(folder_ / "config.kdc");
    put(folder_ / "config.kdc" / "inside", "keep");

    EXPECT_FALSE(writeFileAtomically(folder_ / "config.kdc", "new content").ok());
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"config.kdc"}));
    EXPECT_EQ(readWholeFile(folder_ / "config.kdc" / "inside").bytes, "keep");

    EXPECT_FALSE(writeFileAtomically(folder_ / "no_such_folder" / "a.kdc", "x").ok());
}

} // namespace
} // namespace ormid
