#include "files/atomic_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ormid {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path()
            / ("ormid_atomic_" + std::to_string(::getpid()) + "_"
               + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override
    {
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder_);
    }

    void put(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::vector<std::string> folderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
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
