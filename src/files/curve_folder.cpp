#include "files/curve_folder.h"

#include <algorithm>
#include <system_error>

#include "files/atomic_file.h"

namespace ormid {

namespace fs = std::filesystem;

std::optional<fs::path> findCurveFolder(const ResourceFolders& folders)
{
    for (const fs::path& folder : resourceSearchOrder(folders)) {
        std::error_code error;
        const fs::path candidate = folder / kCurveFolderName;
        if (fs::is_directory(candidate, error))
            return candidate;
    }
    return std::nullopt;
}

std::vector<std::string> listCurveFiles(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        std::error_code entryError;
        if (!hasCurveExtension(name) || !entry->is_regular_file(entryError))
            continue;
        const std::uintmax_t size = entry->file_size(entryError);
        if (!entryError && isListableCurveFileSize(size))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

CurveFileRead readCurveFile(const fs::path& path, const std::vector<Byte>& currentCurve)
{
    const FileReadResult file = readWholeFile(path, kMaxCurveFileSize);
    if (!file.ok()) {
        CurveFileRead result{.load = {.status = CurveFileStatus::WrongData, .points = currentCurve},
                             .readError = file.error};
        result.load.points.resize(kCurvePoints, 0);
        return result;
    }
    return {.load = readDimmingCurve(file.bytes, currentCurve), .readError = {}};
}

} // namespace ormid
