#include "files/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ormid {

namespace {

namespace fs = std::filesystem;

// Chains of symbolic links longer than this are taken as a loop, as the system does.
constexpr int kMaxLinkHops = 40;

std::string failure(std::string_view what, const std::filesystem::path& path, int errorNumber)
{
    return std::string(what) + " " + path.string() + ": " + std::generic_category().message(errorNumber);
}

std::string tooLarge(const std::filesystem::path& path, std::size_t maxSize)
{
    return "Cannot read " + path.string() + ": file too large (more than " + std::to_string(maxSize) + " bytes)";
}

// Closes the descriptor when the scope ends, whatever path leaves it.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now so that a failing close (data not written) can be reported.
    int close()
    {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Creates a new file beside the target under a short name no one else uses: a name
// built from the target's would be too long for the folder when the target's is long.
int createTemporary(const fs::path& target, fs::path& tempPath)
{
    static std::atomic<unsigned> counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target.parent_path() / (".ormid-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// The file a save replaces: `path` itself, or the end of its chain of symbolic links,
// so that the links stay links. nullopt, with `error` set, for a link that cannot be read.
std::optional<fs::path> linkTarget(fs::path path, int& error)
{
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return path;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            error = ec.value();
            return std::nullopt;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    error = ELOOP;
    return std::nullopt;
}

bool writeProtected(const fs::path& path, const struct stat& info)
{
    // The mode bits too, as the superuser may write anything.
    return (info.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

// Why an existing target may not be written; empty when it may.
FileWriteResult targetProblem(const fs::path& path, const fs::path& target, const struct stat& existing,
                              FileWriteOptions options)
{
    if (S_ISDIR(existing.st_mode))
        return {failure("Cannot write", path, EISDIR)};
    if (!S_ISREG(existing.st_mode))
        return {"Cannot write " + path.string() + ": not a regular file"};
    if (!options.replaceReadOnly && writeProtected(target, existing))
        return {"Cannot write " + path.string() + ": the file is write-protected", true};
    return {};
}

// Makes the rename itself durable; a folder that cannot be synced changes nothing for the user.
void syncFolder(const std::filesystem::path& folder)
{
    const FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

} // namespace

FileReadResult readWholeFile(const std::filesystem::path& path, std::size_t maxSize)
{
    FileReadResult result;
    // Non-blocking, so that opening a FIFO does not wait for a writer; the check below
    // then refuses it.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        result.error = failure("Cannot open", path, errno);
        return result;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        result.error = failure("Cannot read", path, errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.error = "Cannot read " + path.string() + ": not a regular file";
        return result;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > maxSize) {
        result.error = tooLarge(path, maxSize);
        return result;
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);

    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.error = failure("Cannot read", path, errno);
            result.bytes.clear();
            return result;
        }
        if (n == 0)
            return result;
        if (result.bytes.size() + static_cast<std::size_t>(n) > maxSize) {
            result.error = tooLarge(path, maxSize);
            result.bytes.clear();
            return result;
        }
        result.bytes.append(chunk, static_cast<std::size_t>(n));
    }
}

FileWriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, FileWriteOptions options)
{
    int linkError = 0;
    const std::optional<fs::path> target = linkTarget(path, linkError);
    if (!target)
        return {failure("Cannot write", path, linkError)};
    struct stat existing {};
    const bool replacing = ::stat(target->c_str(), &existing) == 0;
    if (replacing) {
        if (FileWriteResult problem = targetProblem(path, *target, existing, options); !problem.ok())
            return problem;
    }

    fs::path tempPath;
    FileDescriptor fd(createTemporary(*target, tempPath));
    if (fd.get() < 0)
        return {failure("Cannot write", path, errno)};
    const auto fail = [&](int error) {
        ::unlink(tempPath.c_str());
        return FileWriteResult{failure("Cannot write", path, error)};
    };

    if (!writeAll(fd.get(), bytes))
        return fail(errno);
    // A replaced file keeps the permissions its owner gave it, where the owner lets us.
    if (replacing)
        (void)::fchmod(fd.get(), existing.st_mode & 07777);
    if (::fsync(fd.get()) != 0)
        return fail(errno);
    if (fd.close() != 0)
        return fail(errno);
    if (::rename(tempPath.c_str(), target->c_str()) != 0)
        return fail(errno);
    syncFolder(target->parent_path());
    return {};
}

FileWriteResult appendToFile(const std::filesystem::path& path, std::string_view bytes, FileWriteOptions options)
{
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        if (FileWriteResult problem = targetProblem(path, path, existing, options); !problem.ok())
            return problem;
    }
    // Non-blocking all the same: the file may have been swapped for a FIFO meanwhile.
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644));
    if (fd.get() < 0)
        return {failure("Cannot write", path, errno)};
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
        return {"Cannot write " + path.string() + ": not a regular file"};
    if (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0 || fd.close() != 0)
        return {failure("Cannot write", path, errno)};
    return {};
}

} // namespace ormid
