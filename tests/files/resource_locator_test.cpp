#include "files/resource_locator.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "temp_folder.h"
#include <unistd.h>

namespace ormid {
namespace {

namespace fs = std::filesystem;

enum Folder { beside, user, installed };
constexpr const char* kFolderNames[] = {"beside", "user", "installed"};

// Three data folders in a temporary folder, each holding the files a case puts there.
class ResourceLocator : public test::TempFolderTest {
protected:
    void SetUp() override
    {
        paths_ = {root_ / "bin", root_ / "home/share/ormid", root_ / "usr/share/ormid"};
        emptyFolders();
    }

    void emptyFolders()
    {
        fs::remove_all(root_);
        for (const fs::path& path : paths_)
            fs::create_directories(path);
    }
    const fs::path& folder(Folder which) const { return paths_[which]; }
    ResourceFolders folders() const { return {paths_[beside], paths_[user], paths_[installed]}; }
    void put(Folder which, const std::string& name)
    {
        const fs::path path = folder(which) / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }

    const fs::path root_ = folder_;
    std::array<fs::path, 3> paths_;
};

TEST_F(ResourceLocator, TakesTheFirstFolderInSearchOrderThatHoldsTheFile)
{
    const struct {
        const char* name;
        std::vector<Folder> holders;
        std::optional<Folder> found;
    } cases[] = {
        {"pdf.ini", {}, std::nullopt},
        {"pdf.ini", {installed}, installed},
        {"pdf.ini", {user}, user},
        {"pdf.ini", {beside}, beside},
        {"pdf.ini", {user, installed}, user},
        {"pdf.ini", {beside, installed}, beside},
        {"pdf.ini", {beside, user, installed}, beside},
        {"DimmingCurve/linear.dc", {installed}, installed},
        {"DimmingCurve/linear.dc", {user, installed}, user},
    };
    for (const auto& c : cases) {
        testing::Message trace;
        trace << c.name << " in:";
        for (const Folder holder : c.holders)
            trace << ' ' << kFolderNames[holder];
        SCOPED_TRACE(trace);
        emptyFolders();
        for (const Folder holder : c.holders)
            put(holder, c.name);

        const std::optional<fs::path> expected = c.found ? std::optional(folder(*c.found) / c.name) : std::nullopt;
        EXPECT_EQ(findResource(c.name, folders()), expected);
    }
}

TEST_F(ResourceLocator, PassesOverAFolderOfTheSameName)
{
    fs::create_directories(folder(beside) / "pdf.ini");
    put(installed, "pdf.ini");

    EXPECT_EQ(findResource("pdf.ini", folders()), folder(installed) / "pdf.ini");
}

TEST_F(ResourceLocator, SkipsUnknownFolders)
{
    put(installed, "ormid.kdp");
    const ResourceFolders onlyInstalled{{}, {}, folder(installed)};

    EXPECT_EQ(resourceSearchOrder(onlyInstalled), std::vector<fs::path>{folder(installed)});
    EXPECT_EQ(findResource("ormid.kdp", onlyInstalled), folder(installed) / "ormid.kdp");
    EXPECT_EQ(findResource("ormid.kdp", ResourceFolders{}), std::nullopt);
}

TEST_F(ResourceLocator, FindsAUsersCopyInTheFolderTheEnvironmentNames)
{
    const char* const previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_DATA_HOME", (root_ / "home/share").c_str(), 1);
    const std::string name = "resource_locator_test_" + std::to_string(::getpid()) + ".ini";
    put(user, name);

    const auto found = findResource(name);
    if (previous)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(found, folder(user) / name);
}

TEST(UserDataFolder, FollowsXdgDataHomeElseTheHomeFolder)
{
    const struct {
        const char* xdgDataHome;
        const char* home;
        fs::path folder;
    } cases[] = {
        {"/data", "/home/anna", "/data/ormid"},
        {nullptr, "/home/anna", "/home/anna/.local/share/ormid"},
        {"", "/home/anna", "/home/anna/.local/share/ormid"},
        {"relative/data", "/home/anna", "/home/anna/.local/share/ormid"},
        {"/data", nullptr, "/data/ormid"},
        {nullptr, "relative/home", ""},
        {nullptr, "", ""},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(userDataFolder(c.xdgDataHome, c.home), c.folder)
            << (c.xdgDataHome ? c.xdgDataHome : "(unset)") << " / " << (c.home ? c.home : "(unset)");
}

TEST(ProcessResourceFolders, AreTheExecutablesFolderTheUsersAndTheInstalledOne)
{
    const ResourceFolders folders = processResourceFolders();

    EXPECT_TRUE(fs::equivalent(folders.besideExecutable, ORMID_BIN_DIR)) << folders.besideExecutable;
    EXPECT_EQ(folders.userData, userDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
    EXPECT_TRUE(folders.installedData.is_absolute()) << folders.installedData;
    EXPECT_EQ(folders.installedData.filename(), "ormid");
}

} // namespace
} // namespace ormid
