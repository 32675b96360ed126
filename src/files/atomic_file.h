#pragma once
// Whole-file reads and atomic writes. A save writes a temporary file beside the
// target and renames it over the target, so a failed save never leaves a
// half-written file and the old content survives any failure.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace ormid {

// Files the program reads are a few kilobytes; anything far larger is not one of them.
constexpr std::size_t kMaxReadSize = 16 * 1024 * 1024;

struct FileReadResult {
    std::string bytes;
    std::string error; // empty on success
    bool ok() const { return error.empty(); }
};

struct FileWriteResult {
    std::string error; // empty on success
    bool ok() const { return error.empty(); }
};

// Reads a regular file of at most kMaxReadSize bytes.
FileReadResult readWholeFile(const std::filesystem::path& path);

// Writes `bytes` to a temporary file in the target's folder, flushes it to disk and
// renames it over `path`. On failure the target is untouched and the temporary removed.
FileWriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace ormid
