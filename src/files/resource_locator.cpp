#include "files/resource_locator.h"

#include <cstdlib>
#include <system_error>

namespace ormid {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kFolderName = "ormid";

// Where the install rules put the data files; set by the build.
constexpr std::string_view kInstalledDataFolder = ORMID_INSTALLED_DATA_DIR;

// The absolute folder an environment variable names; empty when unset, empty or relative.
fs::path absoluteFolder(const char* value)
{
    if (value == nullptr)
        return {};
    fs::path folder(value);
    return folder.is_absolute() ? folder : fs::path();
}

fs::path executableFolder()
{
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : executable.parent_path();
}

} // namespace

std::vector<fs::path> resourceSearchOrder(const ResourceFolders& folders)
{
    std::vector<fs::path> order;
    for (const fs::path* folder : {&folders.besideExecutable, &folders.userData, &folders.installedData})
        if (!folder->empty())
            order.push_back(*folder);
    return order;
}

std::optional<fs::path> findResource(std::string_view name, const ResourceFolders& folders)
{
    for (const fs::path& folder : resourceSearchOrder(folders)) {
        const fs::path candidate = folder / name;
        std::error_code error;
        if (fs::is_regular_file(candidate, error))
            return candidate;
    }
    return std::nullopt;
}

std::optional<fs::path> findResource(std::string_view name)
{
    return findResource(name, processResourceFolders());
}

fs::path userDataFolder(const char* xdgDataHome, const char* home)
{
    if (const fs::path data = absoluteFolder(xdgDataHome); !data.empty())
        return data / kFolderName;
    if (const fs::path homeFolder = absoluteFolder(home); !homeFolder.empty())
        return homeFolder / ".local/share" / kFolderName;
    return {};
}

ResourceFolders processResourceFolders()
{
    return {executableFolder(), userDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")),
            fs::path(kInstalledDataFolder)};
}

} // namespace ormid
