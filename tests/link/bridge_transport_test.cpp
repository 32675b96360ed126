#include "link/bridge_transport.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "link/hidapi_transport.h"

namespace ormid {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<Byte>;

const Bytes kMemoryModeHello = {'H', 8, 8, 0};

// A bridge server for the tests: a listening Unix socket in a fresh temporary folder and a
// thread that accepts each connection and greets it. The test then talks on the accepted
// socket itself, so every step is in its hands.
class BridgeServer {
public:
    explicit BridgeServer(Bytes hello = kMemoryModeHello) : hello_(std::move(hello))
    {
        char pattern[] = "/tmp/ormid-bridge-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        dir_ = pattern;
        path_ = dir_ + "/stick.sock";
        listenFd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
        if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 8) != 0
            || ::pipe(wakePipe_) != 0) {
            throw std::runtime_error("server setup failed");
        }
        thread_ = std::thread([this] { run(); });
    }

    ~BridgeServer()
    {
        const char stop = 'x';
        (void)!::write(wakePipe_[1], &stop, 1);
        thread_.join();
        for (int fd : accepted_) {
            ::close(fd);
        }
        ::close(listenFd_);
        ::close(wakePipe_[0]);
        ::close(wakePipe_[1]);
        ::unlink(path_.c_str());
        ::rmdir(dir_.c_str());
    }

    const std::string& path() const { return path_; }
    int connections() const { return connections_.load(); }

    // What the next connections are greeted with, and whether the server hangs up after it.
    void setHello(Bytes hello, bool closeAfterHello = false)
    {
        std::lock_guard lock(mutex_);
        hello_ = std::move(hello);
        closeAfterHello_ = closeAfterHello;
    }

    // The server side of the next connection not yet taken; -1 when none comes in time.
    int takeConnection(std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, timeout, [this] { return !pending_.empty(); })) {
            return -1;
        }
        const int fd = pending_.front();
        pending_.pop_front();
        return fd;
    }

    // Hangs up a connection taken with takeConnection (the stick is pulled out).
    void hangUp(int fd)
    {
        std::lock_guard lock(mutex_);
        std::erase(accepted_, fd);
        ::close(fd);
    }

private:
    void run()
    {
        for (;;) {
            pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (fds[1].revents != 0) {
                return;
            }
            const int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd < 0) {
                continue;
            }
            std::lock_guard lock(mutex_);
            ++connections_;
            if (!hello_.empty()) {
                (void)!::send(fd, hello_.data(), hello_.size(), MSG_NOSIGNAL);
            }
            if (closeAfterHello_) {
                ::close(fd);
                continue;
            }
            accepted_.push_back(fd);
            pending_.push_back(fd);
            cv_.notify_all();
        }
    }

    std::string dir_;
    std::string path_;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    Bytes hello_;
    bool closeAfterHello_ = false;
    std::deque<int> pending_;
    std::vector<int> accepted_;
    std::atomic<int> connections_{0};
};

void sendBytes(int fd, const Bytes& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        ASSERT_GT(n, 0) << std::strerror(errno);
        sent += static_cast<std::size_t>(n);
    }
}

// Exactly n bytes from fd, or fewer when they do not come within the timeout.
Bytes receiveBytes(int fd, std::size_t n, std::chrono::milliseconds timeout = 2s)
{
    Bytes out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < n) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        Byte chunk[512];
        const ssize_t got = ::recv(fd, chunk, std::min(sizeof chunk, n - out.size()), 0);
        if (got <= 0) {
            break;
        }
        out.insert(out.end(), chunk, chunk + got);
    }
    return out;
}

// True when the peer of fd has closed its side (reads EOF at once).
bool peerClosed(int fd)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0) {
        return false;
    }
    Byte b;
    return ::recv(fd, &b, 1, MSG_DONTWAIT) == 0;
}

bool nothingToRead(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
}

Bytes message(const Bytes& payload)
{
    Bytes m{static_cast<Byte>(payload.size())};
    m.insert(m.end(), payload.begin(), payload.end());
    return m;
}

Bytes padded(Bytes bytes, std::size_t size)
{
    bytes.resize(std::max(bytes.size(), size), 0);
    return bytes;
}

// --- find and the greeting ---

TEST(BridgeTransportTest, NoServerIsNotFound)
{
    BridgeServer server; // gives a fresh folder; the socket we ask for is not in it
    BridgeTransport missing(server.path() + ".missing");
    EXPECT_FALSE(findStick(missing));
    EXPECT_FALSE(findStick(missing));

    BridgeTransport empty("");
    EXPECT_FALSE(findStick(empty));
    BridgeTransport tooLong("/tmp/" + std::string(200, 'x'));
    EXPECT_FALSE(findStick(tooLong));
    EXPECT_EQ(server.connections(), 0);
}

TEST(BridgeTransportTest, HelloGivesTheThreeLengths)
{
    const std::vector<Bytes> hellos
        = {{'H', 8, 8, 0}, {'H', 64, 64, 0}, {'H', 9, 33, 7}, {'H', 0, 0, 0}, {'H', 255, 255, 255}};
    for (const Bytes& hello : hellos) {
        SCOPED_TRACE(::testing::PrintToString(hello));
        BridgeServer server(hello);
        BridgeTransport t(server.path());
        ASSERT_TRUE(findStick(t));
        EXPECT_EQ(t.getInputReportLength(), hello[1]);
        EXPECT_EQ(t.getOutputReportLength(), hello[2]);
        EXPECT_EQ(t.getFeatureReportLength(), hello[3]);
    }
}

TEST(BridgeTransportTest, FoundOnceServerAcceptsAndNoReconnectWhileConnected)
{
    BridgeServer server;
    BridgeTransport t(server.path());
    ASSERT_TRUE(findStick(t));
    EXPECT_EQ(server.connections(), 1);
    ASSERT_GE(server.takeConnection(), 0);
    // A second and third find use the same connection.
    EXPECT_TRUE(findStick(t));
    EXPECT_TRUE(findStick(t));
    EXPECT_EQ(server.connections(), 1);
}

TEST(BridgeTransportTest, FalseBeforeTheServerStartsTrueAfter)
{
    char pattern[] = "/tmp/ormid-bridge-late-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string path = std::string(pattern) + "/late.sock";
    auto t = std::make_unique<BridgeTransport>(path);
    EXPECT_FALSE(findStick(*t));

    // A server on that path (the simulator started late).
    const int listenFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listenFd, 1), 0);
    std::thread accepter([listenFd] {
        const int fd = ::accept(listenFd, nullptr, nullptr);
        const Byte hello[] = {'H', 64, 64, 0};
        (void)!::send(fd, hello, sizeof hello, MSG_NOSIGNAL);
        Byte b;
        (void)!::recv(fd, &b, 1, 0); // until the client goes
        ::close(fd);
    });
    EXPECT_TRUE(findStick(*t));
    EXPECT_EQ(t->getOutputReportLength(), 64);
    t.reset(); // the client goes: the accepter ends
    accepter.join();
    ::close(listenFd);
    ::unlink(path.c_str());
    ::rmdir(pattern);
}

TEST(BridgeTransportTest, OtherIdsAreNotFound)
{
    BridgeServer server;
    BridgeTransport t(server.path());
    EXPECT_FALSE(t.findHidDevice(0x046D, 0xC52B));
    EXPECT_EQ(server.connections(), 0);
    ASSERT_TRUE(findStick(t));
    EXPECT_FALSE(t.findHidDevice(kStickVendorId, 0x2014));
    EXPECT_TRUE(findStick(t)); // the connection is untouched
    EXPECT_EQ(server.connections(), 1);
}

TEST(BridgeTransportTest, BadHelloIsNotFoundAndTheSocketIsClosed)
{
    struct Case {
        const char* name;
        Bytes hello;
        bool closeAfterHello;
    };
    const std::vector<Case> cases = {
        {"wrong tag", {'X', 8, 8, 0}, false},
        {"lower-case tag", {'h', 8, 8, 0}, false},
        {"a memory reply instead", {0xC0, 0x22, 0x5A, 0x79, 0xA5}, false},
        {"closes at once", {}, true},
        {"short hello, then closes", {'H', 8}, true},
        {"short hello, then silence", {'H', 8, 8}, false},
        {"silence", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BridgeServer server;
        server.setHello(c.hello, c.closeAfterHello);
        BridgeTransport t(server.path(), 200ms);
        EXPECT_FALSE(findStick(t));
        EXPECT_EQ(server.connections(), 1);
        if (!c.closeAfterHello) {
            const int fd = server.takeConnection();
            ASSERT_GE(fd, 0);
            EXPECT_TRUE(peerClosed(fd)) << "the client must close a connection it rejects";
        }
        // The server comes right: the next find connects again and is found.
        server.setHello(kMemoryModeHello);
        EXPECT_TRUE(findStick(t));
        EXPECT_EQ(server.connections(), 2);
        EXPECT_EQ(t.getInputReportLength(), 8);
    }
}

TEST(BridgeTransportTest, ReportsSentWithTheHelloAreKept)
{
    BridgeServer server({'H', 8, 8, 0, 2, 0xC0, 0x22, 0});
    BridgeTransport t(server.path());
    ASSERT_TRUE(findStick(t));
    const auto first = t.readData();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->bytes(), padded({0xC0, 0x22}, 8));
    const auto second = t.readData();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->bytes(), Bytes(8, 0));
    EXPECT_FALSE(t.readData().has_value());
}

// --- write ---

TEST(BridgeTransportTest, WriteFramesOneMessagePaddedOrCutToTheOutputLength)
{
    struct Case {
        const char* name;
        Byte outputLength;
        Bytes data;
        Bytes expected;
    };
    Bytes longFrame(33);
    for (std::size_t i = 0; i < longFrame.size(); ++i) {
        longFrame[i] = static_cast<Byte>(i + 1);
    }
    const std::vector<Case> cases = {
        {"mode query padded", 8, {0xAA, 0x55, 0xF8}, {8, 0xAA, 0x55, 0xF8, 0, 0, 0, 0, 0}},
        {"exactly the length", 8, {1, 2, 3, 4, 5, 6, 7, 8}, {8, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"longer data cut", 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {8, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"empty data", 8, {}, {8, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"link frame into 64", 64, longFrame,
         [&] {
             Bytes m = padded(message(longFrame), 65);
             m[0] = 64;
             return m;
         }()},
        {"output length 0", 0, {1, 2, 3}, {0}},
        {"output length 255", 255, {7}, padded({255, 7}, 256)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BridgeServer server({'H', 8, c.outputLength, 0});
        BridgeTransport t(server.path());
        ASSERT_TRUE(findStick(t));
        const int fd = server.takeConnection();
        ASSERT_GE(fd, 0);
        t.writeData(c.data);
        EXPECT_EQ(receiveBytes(fd, c.expected.size()), c.expected);
        EXPECT_TRUE(nothingToRead(fd));
        // Two writes are two messages.
        t.writeData(c.data);
        t.writeData(c.data);
        Bytes twice = c.expected;
        twice.insert(twice.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(receiveBytes(fd, twice.size()), twice);
    }
}

TEST(BridgeTransportTest, WriteWithoutConnectionDoesNothing)
{
    BridgeTransport t("/tmp/ormid-no-such-folder/stick.sock");
    t.writeData(Bytes{0xAA, 0x55, 0xF8});
    EXPECT_FALSE(findStick(t));
}

TEST(BridgeTransportTest, WriteAfterTheServerClosedRaisesNoSigpipe)
{
    // SIGPIPE keeps its default action here: were it raised, this test process would die.
    BridgeServer server;
    BridgeTransport t(server.path());
    ASSERT_TRUE(findStick(t));
    server.hangUp(server.takeConnection());
    for (int i = 0; i < 3; ++i) {
        t.writeData(Bytes{0xAA, 0x55, 0xF8});
    }
    EXPECT_FALSE(findStick(t));
    EXPECT_TRUE(findStick(t));
    EXPECT_EQ(server.connections(), 2);
}

// --- read ---

TEST(BridgeTransportTest, ReadReturnsNothingAtOnceWhenNothingIsPending)
{
    BridgeServer server;
    BridgeTransport t(server.path());
    EXPECT_FALSE(t.readData().has_value()); // not even connected
    ASSERT_TRUE(findStick(t));
    ASSERT_GE(server.takeConnection(), 0);
    // A read that waited for a report would hang here until the test times out.
    for (int i = 0; i < 100; ++i) {
        EXPECT_FALSE(t.readData().has_value());
    }
}

TEST(BridgeTransportTest, SeveralMessagesInOneChunkComeOneAtATime)
{
    BridgeServer server({'H', 2, 8, 0});
    BridgeTransport t(server.path());
    ASSERT_TRUE(findStick(t));
    const int fd = server.takeConnection();
    ASSERT_GE(fd, 0);
    Bytes chunk;
    for (const Bytes& m : {message({0xC0, 0x44, 0x00}), message({}), message({0xB2, 0x50})}) {
        chunk.insert(chunk.end(), m.begin(), m.end());
    }
    sendBytes(fd, chunk);

    const std::vector<Bytes> expected = {{0xC0, 0x44, 0x00}, {0, 0}, {0xB2, 0x50}};
    for (const Bytes& e : expected) {
        const auto report = t.readData();
        ASSERT_TRUE(report.has_value());
        EXPECT_EQ(report->bytes(), e);
    }
    EXPECT_FALSE(t.readData().has_value());
}

TEST(BridgeTransportTest, SplitMessageWaitsUntilComplete)
{
    BridgeServer server({'H', 8, 8, 0});
    BridgeTransport t(server.path());
    ASSERT_TRUE(findStick(t));
    const int fd = server.takeConnection();
    ASSERT_GE(fd, 0);
    const Bytes m = message({0xC0, 0x33, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x00});
    for (std::size_t cut = 0; cut <= m.size(); ++cut) {
        SCOPED_TRACE(cut);
        sendBytes(fd, Bytes(m.begin(), m.begin() + static_cast<std::ptrdiff_t>(cut)));
        if (cut < m.size()) {
            EXPECT_FALSE(t.readData().has_value());
            EXPECT_TRUE(findStick(t)); // a find in between keeps the partial bytes
            EXPECT_FALSE(t.readData().has_value());
        }
        sendBytes(fd, Bytes(m.begin() + static_cast<std::ptrdiff_t>(cut), m.end()));
        const auto report = t.readData();
        ASSERT_TRUE(report.has_value());
        EXPECT_EQ(report->bytes(), Bytes(m.begin() + 1, m.end()));
        EXPECT_FALSE(t.readData().has_value());
    }
}

TEST(BridgeTransportTest, ReportHoldsAtLeastOneInputReport)
{
    // Every report read fills a buffer of at least one input report, whatever the
    // lengths say (0 and 255 included); bytes past the message read 0.
    for (const Byte inputLength : {Byte{0}, Byte{1}, Byte{8}, Byte{64}, Byte{255}}) {
        BridgeServer server({'H', inputLength, 8, 0});
        BridgeTransport t(server.path());
        ASSERT_TRUE(findStick(t));
        const int fd = server.takeConnection();
        ASSERT_GE(fd, 0);
        for (const std::size_t messageLength : {0u, 1u, 8u, 64u, 255u}) {
            SCOPED_TRACE(::testing::Message()
                         << "input length " << int{inputLength} << ", message length " << messageLength);
            Bytes payload(messageLength);
            for (std::size_t i = 0; i < messageLength; ++i) {
                payload[i] = static_cast<Byte>(0xFF - i);
            }
            sendBytes(fd, message(payload));
            const auto report = t.readData();
            ASSERT_TRUE(report.has_value());
            EXPECT_EQ(report->size(), std::max<std::size_t>(messageLength, inputLength));
            EXPECT_EQ(report->bytes(), padded(payload, inputLength));
            EXPECT_EQ((*report)[report->size()], 0);
            EXPECT_EQ((*report)[100000], 0);
        }
    }
}

TEST(BridgeTransportTest, FindDoesNotConsumeReports)
{
    BridgeServer server;
    BridgeTransport t(server.path());
    ASSERT_TRUE(findStick(t));
    const int fd = server.takeConnection();
    ASSERT_GE(fd, 0);
    sendBytes(fd, message({0xC0, 0x22, 0x5A, 0x79, 0xA5, 0, 0, 0}));
    EXPECT_TRUE(findStick(t));
    EXPECT_TRUE(findStick(t));
    const auto report = t.readData();
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ((*report)[3], 0x79);
}

TEST(BridgeTransportTest, ManyLargeMessagesArriveIntactAndInOrder)
{
    // More than the internal buffer holds, sent while the client reads.
    BridgeServer server({'H', 255, 255, 0});
    BridgeTransport t(server.path());
    ASSERT_TRUE(findStick(t));
    const int fd = server.takeConnection();
    ASSERT_GE(fd, 0);
    constexpr int kCount = 1200; // about 300 KB
    std::thread sender([fd] {
        for (int i = 0; i < kCount; ++i) {
            Bytes m = message(Bytes(255, static_cast<Byte>(i)));
            std::size_t sent = 0;
            while (sent < m.size()) {
                const ssize_t n = ::send(fd, m.data() + sent, m.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    return;
                }
                sent += static_cast<std::size_t>(n);
            }
        }
    });
    int received = 0;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (received < kCount && std::chrono::steady_clock::now() < deadline) {
        const auto report = t.readData();
        if (!report) {
            std::this_thread::sleep_for(1ms);
            continue;
        }
        ASSERT_EQ(report->bytes(), Bytes(255, static_cast<Byte>(received)));
        ++received;
    }
    sender.join();
    EXPECT_EQ(received, kCount);
    EXPECT_TRUE(findStick(t));
}

// --- the stick pulled out and plugged in again ---

TEST(BridgeTransportTest, ServerCloseIsNotFoundThenANewConnectionIsFound)
{
    BridgeServer server;
    BridgeTransport t(server.path());
    ASSERT_TRUE(findStick(t));
    const int fd = server.takeConnection();
    ASSERT_GE(fd, 0);
    // Two whole reports, the start of a third, then the stick goes.
    Bytes chunk = message({1, 1, 1, 1, 1, 1, 1, 1});
    const Bytes second = message({2, 2, 2, 2, 2, 2, 2, 2});
    chunk.insert(chunk.end(), second.begin(), second.end());
    chunk.insert(chunk.end(), {8, 3, 3});
    sendBytes(fd, chunk);
    server.hangUp(fd);

    EXPECT_FALSE(findStick(t)) << "a closed connection is a pulled-out stick";
    // Reports that arrived whole before the close are still delivered; the cut-off one is not.
    const auto first = t.readData();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->bytes(), Bytes(8, 1));
    const auto next = t.readData();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->bytes(), Bytes(8, 2));
    EXPECT_FALSE(t.readData().has_value());
    t.writeData(Bytes{0xAA}); // no connection: nothing happens
    EXPECT_EQ(server.connections(), 1);

    // Plugged in again: the next find connects anew and starts with an empty buffer.
    server.setHello({'H', 64, 64, 0});
    EXPECT_TRUE(findStick(t));
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(t.getInputReportLength(), 64);
    EXPECT_FALSE(t.readData().has_value());
    const int fd2 = server.takeConnection();
    ASSERT_GE(fd2, 0);
    t.writeData(Bytes{0xCA, 0xC5});
    EXPECT_EQ(receiveBytes(fd2, 65), padded({64, 0xCA, 0xC5}, 65));
}

TEST(BridgeTransportTest, CloseNoticedByReadIsReportedByTheNextFind)
{
    BridgeServer server;
    BridgeTransport t(server.path());
    ASSERT_TRUE(findStick(t));
    const int fd = server.takeConnection();
    ASSERT_GE(fd, 0);
    sendBytes(fd, message({5}));
    server.hangUp(fd);
    const auto report = t.readData(); // notices the close, keeps the report
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ((*report)[0], 5);
    EXPECT_FALSE(t.readData().has_value());
    EXPECT_FALSE(findStick(t)); // reported once ...
    EXPECT_TRUE(findStick(t));  // ... then the running server is found again
    EXPECT_EQ(server.connections(), 2);
}

TEST(BridgeTransportTest, ReportsOfAnOldConnectionDoNotLeakIntoANewOne)
{
    BridgeServer server;
    BridgeTransport t(server.path());
    ASSERT_TRUE(findStick(t));
    const int fd = server.takeConnection();
    ASSERT_GE(fd, 0);
    sendBytes(fd, message({9, 9}));
    server.hangUp(fd);
    EXPECT_FALSE(findStick(t));
    EXPECT_TRUE(findStick(t)); // not read before the new connection: dropped
    EXPECT_FALSE(t.readData().has_value());
}

TEST(BridgeTransportTest, DestroyingTheTransportClosesTheConnection)
{
    BridgeServer server;
    int fd = -1;
    {
        BridgeTransport t(server.path());
        ASSERT_TRUE(findStick(t));
        fd = server.takeConnection();
        ASSERT_GE(fd, 0);
    }
    EXPECT_TRUE(peerClosed(fd));
}

// --- the factory ---

TEST(TransportFactoryTest, BridgeWhenTheVariableNamesASocketElseHidapi)
{
    const char* saved = std::getenv("ORMID_HID_BRIDGE");
    const std::string savedValue = saved != nullptr ? saved : "";

    ::setenv("ORMID_HID_BRIDGE", "/tmp/ormid-test.sock", 1);
    auto bridge = makeDefaultTransport();
    auto* asBridge = dynamic_cast<BridgeTransport*>(bridge.get());
    ASSERT_NE(asBridge, nullptr);
    EXPECT_EQ(asBridge->socketPath(), "/tmp/ormid-test.sock");
    EXPECT_EQ(defaultTransportProblem(), "");

    // A path no socket address holds is named instead of looking like a missing stick.
    const std::string longest = "/" + std::string(106, 'p');
    ::setenv("ORMID_HID_BRIDGE", longest.c_str(), 1);
    EXPECT_EQ(defaultTransportProblem(), "");
    ::setenv("ORMID_HID_BRIDGE", (longest + "p").c_str(), 1);
    EXPECT_EQ(defaultTransportProblem(),
              "ORMID_HID_BRIDGE cannot be used: the socket path has 108 characters, a "
              "socket address holds at most 107.");

    ::setenv("ORMID_HID_BRIDGE", "", 1);
    EXPECT_NE(dynamic_cast<HidapiTransport*>(makeDefaultTransport().get()), nullptr);
    ::unsetenv("ORMID_HID_BRIDGE");
    EXPECT_NE(dynamic_cast<HidapiTransport*>(makeDefaultTransport().get()), nullptr);
    EXPECT_EQ(defaultTransportProblem(), "");

    if (saved != nullptr) {
        ::setenv("ORMID_HID_BRIDGE", savedValue.c_str(), 1);
    }
}

} // namespace
} // namespace ormid
