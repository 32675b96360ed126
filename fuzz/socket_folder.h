#pragma once
// A private folder for the bridge targets' sockets, made once per process and removed
// at its end, so that fuzzing processes running side by side never meet.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace ormid::fuzz {

const std::filesystem::path& socketFolder();

inline void removeSocketFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(socketFolder(), ignored);
}

inline const std::filesystem::path& socketFolder()
{
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "ormid-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return std::filesystem::path(pattern);
    }();
    // Registered after the folder's own clean-up, so it runs while the path still lives.
    static const bool removedAtExit = std::atexit(removeSocketFolder) == 0;
    (void)removedAtExit;
    return folder;
}

} // namespace ormid::fuzz
