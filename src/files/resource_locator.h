#pragma once
// Where the program finds its data files (firmware container, pdf.ini, dimming curves,
// samples): beside the executable first, as a build folder or a folder copied whole
// holds them; then the user's data folder, whose copies a user may edit without writing
// below the installation; then the data folder of the installation.

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace ormid {

struct ResourceFolders {
    std::filesystem::path besideExecutable;
    std::filesystem::path userData;
    std::filesystem::path installedData;
};

// The folders in the order they are searched; unknown (empty) ones are left out.
std::vector<std::filesystem::path> resourceSearchOrder(const ResourceFolders& folders);

// The first regular file `name` (relative to a data folder: "pdf.ini",
// "DimmingCurve/linear.dc") in the search order; nullopt when no folder holds one.
std::optional<std::filesystem::path> findResource(std::string_view name, const ResourceFolders& folders);

// The same in this process's folders.
std::optional<std::filesystem::path> findResource(std::string_view name);

// The user's data folder: $XDG_DATA_HOME/ormid, else $HOME/.local/share/ormid; empty
// when neither is usable. A relative XDG_DATA_HOME is ignored, as the XDG base
// directory rules require.
std::filesystem::path userDataFolder(const char* xdgDataHome, const char* home);

// This process's folders: its executable's folder, the user's data folder from the
// environment and the installed data folder fixed when the program was built.
ResourceFolders processResourceFolders();

} // namespace ormid
