#include "sim/bridge_server.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "core/text_lines.h"

namespace ormid::sim {

namespace {

constexpr Byte kHelloTag = 'H';
// The longest the loop sleeps while a client is connected, so that the model's
// periodic work never waits long behind an idle socket.
constexpr int kMaxPollMs = 10;
// A client that leaves this much of our output unread is not reading at all.
constexpr std::size_t kMaxPendingOutput = 1024 * 1024;

Millis steadyNow()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void setNonBlockingCloseOnExec(int fd)
{
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

sockaddr_un unixAddress(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    return address;
}

// True when a server accepts connections on the socket at `path`.
bool someoneListens(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const sockaddr_un address = unixAddress(path);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// Clears the way for a new socket at `path`; the reason when it must not be taken.
std::string clearStaleSocket(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? std::string() : systemError(path);
    if (!S_ISSOCK(info.st_mode))
        return path + " exists and is not a socket";
    if (someoneListens(path))
        return "another server is listening on " + path;
    if (::unlink(path.c_str()) != 0)
        return systemError("cannot remove the stale socket " + path);
    return {};
}

} // namespace

std::string reportLogLine(Direction direction, ByteSpan report)
{
    std::string line = direction == Direction::in ? "IN " : "OUT";
    for (const Byte b : report)
        line += ' ' + hexByte(b);
    return line;
}

std::size_t BridgeServer::maxSocketPathLength()
{
    return sizeof(sockaddr_un::sun_path) - 1;
}

std::unique_ptr<BridgeServer> BridgeServer::open(StickModel& model, const std::string& socketPath, std::string& error)
{
    if (socketPath.empty() || socketPath.size() > maxSocketPathLength()) {
        error = "the socket path must have 1 to " + std::to_string(maxSocketPathLength()) + " characters";
        return nullptr;
    }
    error = clearStaleSocket(socketPath);
    if (!error.empty())
        return nullptr;

    const int listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd < 0) {
        error = systemError("socket");
        return nullptr;
    }
    const sockaddr_un address = unixAddress(socketPath);
    struct stat info {};
    int wake[2] = {-1, -1};
    if (::bind(listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd, 4) != 0
        || ::stat(socketPath.c_str(), &info) != 0 || ::pipe(wake) != 0) {
        error = systemError("cannot listen on " + socketPath);
        ::close(listenFd);
        ::unlink(socketPath.c_str());
        return nullptr;
    }
    setNonBlockingCloseOnExec(listenFd);
    setNonBlockingCloseOnExec(wake[0]);
    setNonBlockingCloseOnExec(wake[1]);
    return std::unique_ptr<BridgeServer>(
        new BridgeServer(model, socketPath, listenFd, wake[0], wake[1], info.st_dev, info.st_ino));
}

BridgeServer::BridgeServer(StickModel& model, std::string socketPath, int listenFd, int wakeRead, int wakeWrite,
                           dev_t device, ino_t inode)
    : model_(model), socketPath_(std::move(socketPath)), listenFd_(listenFd), wakeRead_(wakeRead),
      wakeWrite_(wakeWrite), socketDevice_(device), socketInode_(inode)
{
}

BridgeServer::~BridgeServer()
{
    closeClient();
    ::close(listenFd_);
    ::close(wakeRead_);
    ::close(wakeWrite_);
    // Someone may have put another socket there meanwhile; only ours is removed.
    struct stat info {};
    if (::lstat(socketPath_.c_str(), &info) == 0 && info.st_dev == socketDevice_ && info.st_ino == socketInode_)
        ::unlink(socketPath_.c_str());
}

void BridgeServer::stop()
{
    stopRequested_.store(true);
    const char wake = 'x';
    [[maybe_unused]] const ssize_t ignored = ::write(wakeWrite_, &wake, 1); // a full pipe wakes the loop anyway
}

int BridgeServer::pollTimeoutMs() const
{
    if (clientFd_ < 0)
        return -1; // nothing to do until a client comes or stop() is called
    const std::optional<Millis> due = model_.nextDue();
    if (!due)
        return kMaxPollMs;
    return static_cast<int>(std::clamp<Millis>(*due - steadyNow(), 0, kMaxPollMs));
}

void BridgeServer::run()
{
    while (!stopRequested_.load()) {
        const int servedFd = clientFd_;
        std::array<pollfd, 3> fds = {{{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}, {servedFd, 0, 0}}};
        if (servedFd >= 0)
            fds[2].events = static_cast<short>(POLLIN | (output_.empty() ? 0 : POLLOUT));
        const nfds_t count = servedFd >= 0 ? 3 : 2;
        if (::poll(fds.data(), count, pollTimeoutMs()) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0) {
            std::array<char, 64> drained{};
            while (::read(wakeRead_, drained.data(), drained.size()) > 0) {
            }
        }
        if (servedFd >= 0 && fds[2].revents != 0) {
            if ((fds[2].revents & POLLOUT) != 0)
                flushOutput();
            if (clientFd_ == servedFd && (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
                readClient();
        }
        if ((fds[0].revents & POLLIN) != 0)
            acceptClient();
        if (clientFd_ >= 0)
            serveModel();
    }
}

void BridgeServer::acceptClient()
{
    const int fd = ::accept(listenFd_, nullptr, nullptr);
    if (fd < 0)
        return;
    closeClient(); // the program restarted itself: the new run takes the stick
    setNonBlockingCloseOnExec(fd);
    clientFd_ = fd;
    model_.connect(steadyNow());
    output_ = {kHelloTag, model_.inputReportLength(), model_.outputReportLength(), model_.featureReportLength()};
    flushOutput();
}

void BridgeServer::readClient()
{
    bool ended = false;
    std::array<Byte, 4096> chunk{};
    for (;;) {
        const ssize_t n = ::recv(clientFd_, chunk.data(), chunk.size(), 0);
        if (n > 0) {
            input_.insert(input_.end(), chunk.begin(), chunk.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        ended = !(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
        break;
    }

    // Whole messages go to the model, also those that came just before the client left.
    std::size_t at = 0;
    while (at < input_.size() && input_.size() - at - 1 >= input_[at] && !model_.connectionDropped()) {
        const std::size_t length = input_[at];
        model_.receive(ByteSpan(input_).subspan(at + 1, length), steadyNow());
        at += 1 + length;
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(at));
    if (ended)
        closeClient();
}

void BridgeServer::serveModel()
{
    const Millis now = steadyNow();
    model_.advance(now);
    while (const std::optional<std::vector<Byte>> report = model_.takeInput(now))
        queueMessage(*report);
    flushOutput();
    if (clientFd_ >= 0 && model_.connectionDropped())
        closeClient(); // the stick was pulled out
}

void BridgeServer::queueMessage(ByteSpan payload)
{
    const std::size_t length = std::min<std::size_t>(payload.size(), 0xFF);
    output_.push_back(static_cast<Byte>(length));
    output_.insert(output_.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(length));
}

void BridgeServer::flushOutput()
{
    std::size_t sent = 0;
    while (clientFd_ >= 0 && sent < output_.size()) {
        const ssize_t n = ::send(clientFd_, output_.data() + sent, output_.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;     // the rest goes when the socket has room
        closeClient(); // the client is gone
        return;
    }
    output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(sent));
    if (output_.size() > kMaxPendingOutput)
        closeClient();
}

void BridgeServer::closeClient()
{
    if (clientFd_ >= 0)
        ::close(clientFd_);
    clientFd_ = -1;
    input_.clear();
    output_.clear();
}

} // namespace ormid::sim
