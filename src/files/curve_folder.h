#pragma once
// The curve folder `DimmingCurve` and reading its files. The list position of a curve
// crosses the self-restart, so the listing is sorted by name and the same from run to run.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "files/dimming_curve_file.h"
#include "files/resource_locator.h"

namespace ormid {

constexpr std::string_view kCurveFolderName = "DimmingCurve";

// The first `DimmingCurve` folder in the resource search order (beside the executable
// first); nullopt when there is none.
std::optional<std::filesystem::path> findCurveFolder(const ResourceFolders& folders);

// The offered curve files of `folder`: regular files (or links to them) directly in it
// with the extension ".dc" and more than 100 bytes, sorted by name. Entries that cannot
// be examined are left out; a folder that cannot be read gives an empty list.
std::vector<std::string> listCurveFiles(const std::filesystem::path& folder);

// A curve file read over `currentCurve` (`dimmingCurve`). When the file cannot be read
// at all (vanished, locked, not a file, far too large) `readError` says why and the
// points are `currentCurve` made 101 entries long.
struct CurveFileRead {
    CurveFileLoad load;
    std::string readError; // empty when the file was read
    bool valid() const { return readError.empty() && load.valid(); }
};
CurveFileRead readCurveFile(const std::filesystem::path& path, const std::vector<Byte>& currentCurve);

} // namespace ormid
