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
    std::string error;     // empty on success
    bool readOnly = false; // refused because the target is write-protected
    bool ok() const { return error.empty(); }
};

struct FileWriteOptions {
    bool replaceReadOnly = false; // replace a write-protected target all the same
};

// Reads a regular file of at most `maxSize` bytes. Anything else (a folder, a FIFO, a
// device) is refused without waiting for it; a larger file is refused without reading it.
FileReadResult readWholeFile(const std::filesystem::path& path, std::size_t maxSize = kMaxReadSize);

// Writes `bytes` to a temporary file in the target's folder, flushes it to disk and
// renames it over `path`. On failure the target is untouched and the temporary removed.
// A symbolic link is followed: its target is replaced and the link stays. A target that
// is not a regular file is refused, and so is a write-protected one unless the options
// allow it. A replaced file keeps its permissions.
FileWriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                    FileWriteOptions options = {});

// Appends `bytes` to the file at `path` (a log), created when missing, and flushes them
// to disk. Refused without opening it when it is no regular file (a FIFO is never waited
// on) and, unless the options allow it, when it is write-protected.
FileWriteResult appendToFile(const std::filesystem::path& path, std::string_view bytes, FileWriteOptions options = {});

} // namespace ormid
