#include "files/curve_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace ormid {
namespace {

namespace fs = std::filesystem;

std::string identityText()
{
    std::string text;
    for (int i = 0; i <= 100; ++i)
        text += std::to_string(i) + "\n";
    return text;
}

class CurveFolder : public testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path()
            / ("ormid_curves_" + std::to_string(::getpid()) + "_"
               + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    void put(const fs::path& path, const std::string& bytes)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    fs::path root_;
};

TEST_F(CurveFolder, ListsCurveFilesOfMoreThan100BytesSortedByName)
{
    const std::string big(101, '1');
    const fs::path folder = root_ / "DimmingCurve";
    put(folder / "zeta.dc", big);
    put(folder / "Alpha.DC", big);
    put(folder / "mid.dc", big);
    put(folder / "small.dc", std::string(100, '1')); // 100 bytes: not offered
    put(folder / "notes.txt", big);
    put(folder / "sub.dc" / "inner.dc", big); // a folder named like a curve is none
    put(folder / "sub" / "deep.dc", big);     // only files directly in the folder
    fs::create_symlink(folder / "mid.dc", folder / "link.dc");
    fs::create_symlink(folder / "gone.dc", folder / "broken.dc");

    EXPECT_EQ(listCurveFiles(folder), (std::vector<std::string>{"Alpha.DC", "link.dc", "mid.dc", "zeta.dc"}));
    EXPECT_TRUE(listCurveFiles(root_ / "missing").empty());
}

TEST_F(CurveFolder, TheFirstCurveFolderInTheSearchOrderIsTaken)
{
    const ResourceFolders folders{root_ / "bin", root_ / "user", root_ / "installed"};
    EXPECT_EQ(findCurveFolder(folders), std::nullopt);
    fs::create_directories(root_ / "installed/DimmingCurve");
    EXPECT_EQ(findCurveFolder(folders), root_ / "installed/DimmingCurve");
    put(root_ / "bin/DimmingCurve", "a file, not a folder");
    fs::create_directories(root_ / "user/DimmingCurve");
    EXPECT_EQ(findCurveFolder(folders), root_ / "user/DimmingCurve");
}

TEST_F(CurveFolder, AFileThatCannotBeReadKeepsThePointsAndSaysWhy)
{
    const std::vector<Byte> previous(kCurvePoints, 42);
    put(root_ / "good.dc", identityText());
    const CurveFileRead good = readCurveFile(root_ / "good.dc", previous);
    EXPECT_TRUE(good.valid());
    EXPECT_EQ(good.load.points[50], 50);

    fs::create_directories(root_ / "folder.dc");
    put(root_ / "huge.dc", std::string(kMaxCurveFileSize + 1, '1'));
    for (const char* name : {"vanished.dc", "folder.dc", "huge.dc"}) {
        const CurveFileRead read = readCurveFile(root_ / name, previous);
        EXPECT_FALSE(read.valid()) << name;
        EXPECT_FALSE(read.readError.empty()) << name;
        EXPECT_EQ(read.load.points, previous) << name;
    }
    const CurveFileRead unread = readCurveFile(root_ / "vanished.dc", {});
    EXPECT_EQ(unread.load.points.size(), kCurvePoints) << "a curve is always 101 points long";
}

} // namespace
} // namespace ormid
