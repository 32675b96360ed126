#include "files/atomic_file.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ormid {

namespace {

std::string failure(std::string_view what, const std::filesystem::path& path, int errorNumber)
{
    return std::string(what) + " " + path.string() + ": " + std::generic_category().message(errorNumber);
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

// Creates a new file beside the target under a name no one else uses.
int createTemporary(const std::filesystem::path& target, std::filesystem::path& tempPath)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target;
        tempPath += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Makes the rename itself durable; a folder that cannot be synced changes nothing for the user.
void syncFolder(const std::filesystem::path& folder)
{
    const FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

} // namespace

FileReadResult readWholeFile(const std::filesystem::path& path)
{
    FileReadResult result;
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
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
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxReadSize) {
        result.error = "Cannot read " + path.string() + ": file too large";
        return result;
    }

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
        if (result.bytes.size() + static_cast<std::size_t>(n) > kMaxReadSize) {
            result.error = "Cannot read " + path.string() + ": file too large";
            result.bytes.clear();
            return result;
        }
        result.bytes.append(chunk, static_cast<std::size_t>(n));
    }
}

FileWriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes)
{
    std::filesystem::path tempPath;
    FileDescriptor fd(createTemporary(path, tempPath));
    if (fd.get() < 0)
        return {failure("Cannot write", path, errno)};
    const auto fail = [&](int error) {
        ::unlink(tempPath.c_str());
        return FileWriteResult{failure("Cannot write", path, error)};
    };

    if (!writeAll(fd.get(), bytes))
        return fail(errno);
    // A replaced file keeps the permissions its owner gave it, where the owner lets us.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        (void)::fchmod(fd.get(), existing.st_mode & 07777);
    if (::fsync(fd.get()) != 0)
        return fail(errno);
    if (fd.close() != 0)
        return fail(errno);
    if (::rename(tempPath.c_str(), path.c_str()) != 0)
        return fail(errno);
    syncFolder(path.parent_path());
    return {};
}

} // namespace ormid
