#include "files/curve_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "temp_folder.h"

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

// Files at any depth below the test's own folder.
class CurveFolder : public test::TempFolderTest {
protected:
    void write(const fs::path& path, const std::string& bytes)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
};

TEST_F(CurveFolder, ListsCurveFilesOfMoreThan100BytesSortedByName)
{
    const std::string big(101, '1');
    const fs::path folder = folder_ / "DimmingCurve";
    write(folder / "zeta.dc", big);
    write(folder / "Alpha.DC", big);
    write(folder / "mid.dc", big);
    write(folder / "small.dc", std::string(100, '1')); // 100 bytes: not offered
    write(folder / "notes.txt", big);
    write(folder / "sub.dc" / "inner.dc", big); // a folder named like a curve is none
    write(folder / "sub" / "deep.dc", big);     // only files directly in the folder
    fs::create_symlink(folder / "mid.dc", folder / "link.dc");
    fs::create_symlink(folder / "gone.dc", folder / "broken.dc");

    EXPECT_EQ(listCurveFiles(folder), (std::vector<std::string>{"Alpha.DC", "link.dc", "mid.dc", "zeta.dc"}));
    EXPECT_TRUE(listCurveFiles(folder_ / "missing").empty());
}

TEST_F(CurveFolder, TheFirstCurveFolderInTheSearchOrderIsTaken)
{
    const ResourceFolders folders{folder_ / "bin", folder_ / "user", folder_ / "installed"};
    EXPECT_EQ(findCurveFolder(folders), std::nullopt);
    fs::create_directories(folder_ / "installed/DimmingCurve");
    EXPECT_EQ(findCurveFolder(folders), folder_ / "installed/DimmingCurve");
    write(folder_ / "bin/DimmingCurve", "a file, not a folder");
    fs::create_directories(folder_ / "user/DimmingCurve");
    EXPECT_EQ(findCurveFolder(folders), folder_ / "user/DimmingCurve");
}

TEST_F(CurveFolder, AFileThatCannotBeReadKeepsThePointsAndSaysWhy)
{
    const std::vector<Byte> previous(kCurvePoints, 42);
    write(folder_ / "good.dc", identityText());
    const CurveFileRead good = readCurveFile(folder_ / "good.dc", previous);
    EXPECT_TRUE(good.valid());
    EXPECT_EQ(good.load.points[50], 50);

    fs::create_directories(folder_ / "folder.dc");
    write(folder_ / "huge.dc", std::string(kMaxCurveFileSize + 1, '1'));
    for (const char* name : {"vanished.dc", "folder.dc", "huge.dc"}) {
        const CurveFileRead read = readCurveFile(folder_ / name, previous);
        EXPECT_FALSE(read.valid()) << name;
        EXPECT_FALSE(read.readError.empty()) << name;
        EXPECT_EQ(read.load.points, previous) << name;
    }
    const CurveFileRead unread = readCurveFile(folder_ / "vanished.dc", {});
    EXPECT_EQ(unread.load.points.size(), kCurvePoints) << "a curve is always 101 points long";
}

} // namespace
} // namespace ormid
