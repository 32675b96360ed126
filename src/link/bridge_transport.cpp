#include "link/bridge_transport.h"

#include <algorithm>
#include <array>
#include <utility>

#if defined(_WIN32)

// No Unix-domain sockets through this API on Windows: the bridge never finds a stick.
namespace ormid {
std::string bridgePathProblem(const std::string&)
{
    return "Unix-domain sockets are not available on this system";
}
BridgeTransport::BridgeTransport(std::string socketPath, std::chrono::milliseconds helloTimeout)
    : socketPath_(std::move(socketPath)), helloTimeout_(helloTimeout)
{
}
BridgeTransport::~BridgeTransport() = default;
bool BridgeTransport::findHidDevice(std::uint16_t, std::uint16_t)
{
    return false;
}
void BridgeTransport::writeData(ByteSpan)
{
}
std::optional<Report> BridgeTransport::readData()
{
    return std::nullopt;
}
} // namespace ormid

#else

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0 // macOS: SO_NOSIGPIPE is set on the socket instead
#endif

namespace ormid {

namespace {

constexpr Byte kHelloTag = 'H';
constexpr std::size_t kHelloSize = 4;

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

// Waits for `events` on fd until the deadline; the revents seen, 0 on timeout, -1 on error.
int waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, remainingMs(deadline));
        if (r > 0) {
            return p.revents;
        }
        if (r == 0) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

// The length of the leading whole messages in `bytes`.
std::size_t wholeMessagesLength(const std::vector<Byte>& bytes)
{
    std::size_t pos = 0;
    while (pos < bytes.size() && bytes.size() - pos - 1 >= bytes[pos]) {
        pos += 1 + std::size_t{bytes[pos]};
    }
    return pos;
}

} // namespace

std::string bridgePathProblem(const std::string& socketPath)
{
    constexpr std::size_t maxLength = sizeof(sockaddr_un::sun_path) - 1;
    if (socketPath.empty())
        return "the socket path is empty";
    if (socketPath.size() > maxLength)
        return "the socket path has " + std::to_string(socketPath.size())
            + " characters, a socket address holds at most " + std::to_string(maxLength);
    return {};
}

BridgeTransport::BridgeTransport(std::string socketPath, std::chrono::milliseconds helloTimeout)
    : socketPath_(std::move(socketPath)), helloTimeout_(helloTimeout)
{
}

BridgeTransport::~BridgeTransport()
{
    closeSocket();
}

void BridgeTransport::closeSocket()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool BridgeTransport::findHidDevice(std::uint16_t vendorId, std::uint16_t productId)
{
    if (vendorId != kStickVendorId || productId != kStickProductId) {
        return false;
    }
    if (state_ == State::connected) {
        drainSocket();
        if (state_ == State::connected) {
            return true;
        }
    }
    if (state_ == State::peerClosed) {
        // The stick was pulled out: report it once; the next find may connect again.
        closeSocket();
        state_ = State::disconnected;
        return false;
    }
    return connectAndGreet();
}

bool BridgeTransport::connectAndGreet()
{
    closeSocket();
    if (!bridgePathProblem(socketPath_).empty()) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath_.data(), socketPath_.size());

    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd_ < 0) {
        return false;
    }
    ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
#ifdef SO_NOSIGPIPE
    const int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif

    const auto deadline = Clock::now() + helloTimeout_;
    int r;
    do {
        r = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        // A Unix socket connects at once or not at all (no server, refused, backlog full);
        // EINPROGRESS is waited out for platforms that report it.
        int error = 0;
        socklen_t size = sizeof error;
        if (errno != EINPROGRESS || waitFor(fd_, POLLOUT, deadline) <= 0
            || ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) < 0 || error != 0) {
            closeSocket();
            return false;
        }
    }

    // The greeting: 'H' inputLen outputLen featureLen, possibly followed by reports.
    std::vector<Byte> received;
    std::array<Byte, 512> chunk{};
    while (received.size() < kHelloSize) {
        const int events = waitFor(fd_, POLLIN, deadline);
        if (events <= 0) {
            closeSocket(); // silent server or poll error
            return false;
        }
        const ssize_t n = ::recv(fd_, chunk.data(), chunk.size(), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            continue;
        }
        if (n <= 0) {
            closeSocket(); // closed before greeting, or an error
            return false;
        }
        received.insert(received.end(), chunk.begin(), chunk.begin() + n);
        if (received[0] != kHelloTag) {
            closeSocket(); // not a bridge server
            return false;
        }
    }

    inputLength_ = received[1];
    outputLength_ = received[2];
    featureLength_ = received[3];
    buffer_.assign(received.begin() + kHelloSize, received.end());
    state_ = State::connected;
    return true;
}

void BridgeTransport::drainSocket()
{
    if (state_ != State::connected || fd_ < 0) {
        return;
    }
    std::array<Byte, 4096> chunk{};
    for (;;) {
        if (buffer_.size() >= kMaxBufferedBytes) {
            // Full: leave the bytes in the socket, but still notice a close.
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                endConnection();
            }
            return;
        }
        const std::size_t room = std::min(chunk.size(), kMaxBufferedBytes - buffer_.size());
        const ssize_t n = ::recv(fd_, chunk.data(), room, 0);
        if (n > 0) {
            buffer_.insert(buffer_.end(), chunk.begin(), chunk.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return; // everything there is has been taken
        }
        endConnection(); // n == 0: the server closed; n < 0: the connection broke
        return;
    }
}

void BridgeTransport::endConnection()
{
    state_ = State::peerClosed;
    closeSocket();
    buffer_.resize(wholeMessagesLength(buffer_));
}

bool BridgeTransport::sendAll(const std::vector<Byte>& message)
{
    const auto deadline = Clock::now() + kWriteTimeout;
    std::size_t sent = 0;
    while (sent < message.size()) {
        const ssize_t n = ::send(fd_, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd_, POLLOUT, deadline) > 0) {
            continue;
        }
        return false; // EPIPE/ECONNRESET (the server is gone), or no room within the timeout
    }
    return true;
}

void BridgeTransport::writeData(ByteSpan report)
{
    if (state_ != State::connected || fd_ < 0) {
        return;
    }
    // One message: L, then the report cut or zero-padded to L bytes.
    const std::size_t length = outputLength_;
    std::vector<Byte> message(1 + length, 0);
    message[0] = outputLength_;
    std::copy_n(report.begin(), std::min(report.size(), length), message.begin() + 1);
    if (!sendAll(message)) {
        // Keep what the server sent before it went (or before we gave up on it).
        drainSocket();
        if (state_ == State::connected) {
            endConnection();
        }
    }
}

std::optional<Report> BridgeTransport::readData()
{
    drainSocket();
    if (buffer_.empty() || buffer_.size() - 1 < buffer_[0]) {
        return std::nullopt;
    }
    const std::size_t length = buffer_[0];
    // At least one whole input report, whatever the lengths say; the rest reads 0.
    std::vector<Byte> bytes(std::max<std::size_t>(length, inputLength_), 0);
    std::copy_n(buffer_.begin() + 1, length, bytes.begin());
    buffer_.erase(buffer_.begin(), buffer_.begin() + 1 + static_cast<std::ptrdiff_t>(length));
    return Report(std::move(bytes));
}

} // namespace ormid

#endif
