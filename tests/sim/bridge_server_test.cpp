#include "sim/bridge_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "link/block_collector.h"
#include "link/bridge_transport.h"
#include "link/stick_frames.h"

namespace ormid::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<Byte>;
namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/ormid-server-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// One model served on a socket by a server thread, as ormid-stick-sim serves it.
class ServedStick {
public:
    explicit ServedStick(StickConfig config = {}, Faults faults = {}, StickState state = {})
        : model_(config, faults, std::move(state)), socket_((folder_.path() / "stick.sock").string())
    {
        std::string error;
        server_ = BridgeServer::open(model_, socket_, error);
        if (!server_)
            throw std::runtime_error(error);
        thread_ = std::thread([this] { server_->run(); });
    }
    ~ServedStick() { stop(); }

    void stop()
    {
        if (thread_.joinable()) {
            server_->stop();
            thread_.join();
        }
    }
    const std::string& socket() const { return socket_; }
    const fs::path& folder() const { return folder_.path(); }
    // Only after stop(): the server thread owns the model while it runs.
    const StickModel& model() const { return model_; }

private:
    TempFolder folder_;
    StickModel model_;
    std::string socket_;
    std::unique_ptr<BridgeServer> server_;
    std::thread thread_;
};

// The next input report, waiting up to `timeout` for it.
std::optional<Report> awaitReport(HidTransport& transport, std::chrono::milliseconds timeout = 2s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (auto report = transport.readData())
            return report;
        std::this_thread::sleep_for(1ms);
    }
    return std::nullopt;
}

// The next report whose first bytes are `leading`; others are skipped.
std::optional<Report> awaitReportStarting(HidTransport& transport, const Bytes& leading)
{
    while (const std::optional<Report> report = awaitReport(transport)) {
        bool match = true;
        for (std::size_t i = 0; i < leading.size(); ++i)
            match = match && (*report)[i] == leading[i];
        if (match)
            return report;
    }
    return std::nullopt;
}

// True once `find` reports the stick gone, within the timeout.
bool awaitGone(BridgeTransport& transport)
{
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!findStick(transport))
            return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

// The control block as the program reads it: the collector ticked until it is done.
std::optional<Block> readControlBlock(HidTransport& transport)
{
    Block control{};
    Block data{};
    BlockCollector collector(control, data);
    collector.readControlBlock(transport);
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (collector.tick(transport) == CollectorTick::blockComplete)
            return control;
        std::this_thread::sleep_for(1ms);
    }
    return std::nullopt;
}

StickConfig configFor(StickMode mode)
{
    StickConfig config;
    config.mode = mode;
    return config;
}

Bytes modeAnswer(const Report& report)
{
    return Bytes(report.bytes().begin(), report.bytes().begin() + 5);
}

TEST(BridgeServer, HelloGivesTheModelsReportLengths)
{
    const struct {
        StickMode mode;
        Byte length;
    } cases[] = {{StickMode::memory, 8}, {StickMode::usb, 64}};
    for (const auto& c : cases) {
        ServedStick stick(configFor(c.mode));
        BridgeTransport client(stick.socket());
        ASSERT_TRUE(findStick(client));
        EXPECT_EQ(client.getInputReportLength(), c.length);
        EXPECT_EQ(client.getOutputReportLength(), c.length);
        EXPECT_EQ(client.getFeatureReportLength(), 0);
    }
}

TEST(BridgeServer, ModeQueryIsAnswered)
{
    for (const bool remote : {false, true}) {
        StickState state;
        state.remote = remote;
        ServedStick stick({}, {}, state);
        BridgeTransport client(stick.socket());
        ASSERT_TRUE(findStick(client));
        client.writeData(modeQueryCommand());
        const std::optional<Report> answer = awaitReport(client);
        ASSERT_TRUE(answer);
        EXPECT_EQ(modeAnswer(*answer),
                  (remote ? Bytes{0xC0, 0x22, 0x5A, 0x79, 0xA5} : Bytes{0xC0, 0x22, 0x5A, 0x00, 0x00}));
    }
}

TEST(BridgeServer, ControlBlockArrivesThroughTheCollector)
{
    StickState state;
    Block written{};
    for (std::size_t i = 0; i < written.size(); ++i)
        written[i] = static_cast<Byte>(3 * i + 1);
    writeStickBlock(state, kControlBlockAddress, written);

    ServedStick stick({}, {}, state);
    BridgeTransport client(stick.socket());
    ASSERT_TRUE(findStick(client));
    EXPECT_EQ(readControlBlock(client), written);
}

TEST(BridgeServer, TimedReportsAreSentWhenDue)
{
    // The connected device identifies itself on its own a while after the stick's answer.
    StickConfig config = configFor(StickMode::usb);
    config.deviceId = {0xA1, 0xB2, 0xC3, 0xD4};
    config.deviceFirmware = 70;
    config.identifyDelay = 30;
    config.identifyPeriod = 0;
    ServedStick stick(config);
    BridgeTransport client(stick.socket());
    ASSERT_TRUE(findStick(client));
    client.writeData(readBlockCommand(kControlBlockAddress));
    const std::optional<Report> link = awaitReport(client);
    ASSERT_TRUE(link);
    EXPECT_TRUE(isUsbStickSwitch(*link));

    const std::optional<Report> identification = awaitReport(client);
    ASSERT_TRUE(identification);
    const auto id = parseIdentification(*identification);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->deviceNumber(), "A1B2C3D4");
    EXPECT_EQ(id->firmware, 70);
}

TEST(BridgeServer, ClientReconnectsAfterClosingAndFindsTheSameStick)
{
    ServedStick stick;
    Block block{};
    block.fill(0x5A);
    {
        BridgeTransport first(stick.socket());
        ASSERT_TRUE(findStick(first));
        first.writeData(writeBlockCommand(kControlBlockAddress));
        for (std::size_t at = 0; at < block.size(); at += kDataReportSize)
            first.writeData(ByteSpan(block).subspan(at, kDataReportSize));
        const auto ack = awaitReportStarting(first, {0xC0, 0x33});
        ASSERT_TRUE(ack);
        EXPECT_TRUE(parseWriteAcknowledgement(*ack)->confirms(kControlBlockAddress));
        first.writeData(modeQueryCommand()); // its answer is never read: it must not reach the next client
    }
    BridgeTransport second(stick.socket());
    ASSERT_TRUE(findStick(second));
    EXPECT_EQ(readControlBlock(second), block);
}

TEST(BridgeServer, NewConnectionReplacesTheCurrentOne)
{
    ServedStick stick;
    BridgeTransport old(stick.socket());
    ASSERT_TRUE(findStick(old));
    BridgeTransport restarted(stick.socket());
    ASSERT_TRUE(findStick(restarted));
    EXPECT_TRUE(awaitGone(old));

    restarted.writeData(modeQueryCommand());
    EXPECT_TRUE(awaitReport(restarted));
}

TEST(BridgeServer, DropFaultClosesTheConnectionOnce)
{
    Faults faults;
    faults.dropAfterReports = 2;
    ServedStick stick({}, faults);
    BridgeTransport client(stick.socket());
    ASSERT_TRUE(findStick(client));
    client.writeData(modeQueryCommand()); // report 1 in, the answer is report 2 out: then the stick is gone
    EXPECT_TRUE(awaitReport(client)) << "what was sent before the drop arrives";
    EXPECT_TRUE(awaitGone(client));
    EXPECT_TRUE(findStick(client)) << "plugged in again";

    for (int i = 0; i < 3; ++i) {
        client.writeData(modeQueryCommand());
        EXPECT_TRUE(awaitReport(client)) << i;
    }
    EXPECT_TRUE(findStick(client));
}

// A raw client: connects, takes the hello and sends whatever it is given.
class RawClient {
public:
    explicit RawClient(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof(address.sun_path) - 1);
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(fd_); }

    bool connected() const { return connected_; }
    void send(const Bytes& bytes) { (void)!::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Bytes that come within `timeout`.
    Bytes receive(std::chrono::milliseconds timeout = 300ms)
    {
        Bytes out;
        pollfd p{fd_, POLLIN, 0};
        while (::poll(&p, 1, static_cast<int>(timeout.count())) > 0) {
            Byte chunk[256];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            out.insert(out.end(), chunk, chunk + n);
        }
        return out;
    }

private:
    int fd_;
    bool connected_ = false;
};

TEST(BridgeServer, GarbageAndVanishingClientsLeaveTheStickIntact)
{
    StickState state;
    state.memory[0x1234] = 0x42;
    ServedStick stick({}, {}, state);
    {
        RawClient garbage(stick.socket());
        ASSERT_TRUE(garbage.connected());
        EXPECT_EQ(garbage.receive(100ms), (Bytes{'H', 8, 8, 0}));
        Bytes bytes = {0x00, 0x01, 0xAA, 0x03, 0xAA, 0x55, 0xF1, 0xFF};
        bytes.resize(bytes.size() + 255, 0xAA);
        garbage.send(bytes);
        garbage.send({0x08, 0xAA, 0x55, 0xFC, 0x00}); // half an erase command, then gone
    }
    {
        RawClient silent(stick.socket());
        ASSERT_TRUE(silent.connected());
        silent.send({0x08, 0xAA, 0x55, 0xF2, 0x10, 0x80, 0xFF, 0x00, 0x00}); // a read whose answer is never taken
    }

    BridgeTransport client(stick.socket());
    ASSERT_TRUE(findStick(client));
    client.writeData(modeQueryCommand());
    const std::optional<Report> answer = awaitReport(client);
    ASSERT_TRUE(answer);
    EXPECT_EQ(modeAnswer(*answer), (Bytes{0xC0, 0x22, 0x5A, 0x00, 0x00}));

    stick.stop();
    EXPECT_EQ(stick.model().state(), state);
}

TEST(BridgeServer, StaleSocketIsReplacedAndRemovedAtTheEnd)
{
    TempFolder folder;
    const std::string path = (folder.path() / "stick.sock").string();
    {
        // A socket nobody listens on any more, as a killed simulator leaves it.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof(address.sun_path) - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    ASSERT_TRUE(fs::is_socket(path));

    StickModel model({}, {}, {});
    std::string error;
    auto server = BridgeServer::open(model, path, error);
    ASSERT_TRUE(server) << error;
    std::thread serving([&] { server->run(); });
    BridgeTransport client(path);
    EXPECT_TRUE(findStick(client));
    server->stop();
    serving.join();
    EXPECT_TRUE(fs::is_socket(path));
    server.reset();
    EXPECT_FALSE(fs::exists(path));
}

TEST(BridgeServer, RefusesToTakeAPathThatIsInUse)
{
    ServedStick running;
    TempFolder folder;
    const std::string regularFile = (folder.path() / "notes.txt").string();
    std::ofstream(regularFile) << "keep me";
    const std::string tooLong = (folder.path() / std::string(BridgeServer::maxSocketPathLength(), 'x')).string();

    const struct {
        std::string path;
        std::string error;
    } cases[] = {
        {running.socket(), "another server is listening on " + running.socket()},
        {regularFile, regularFile + " exists and is not a socket"},
        {tooLong, "the socket path must have 1 to"},
        {"", "the socket path must have 1 to"},
        {(folder.path() / "missing" / "s.sock").string(), "cannot listen on"},
    };
    for (const auto& c : cases) {
        StickModel model({}, {}, {});
        std::string error;
        EXPECT_FALSE(BridgeServer::open(model, c.path, error)) << c.path;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    EXPECT_TRUE(fs::is_regular_file(regularFile));
    BridgeTransport client(running.socket());
    EXPECT_TRUE(findStick(client)) << "the running server still serves";
}

TEST(BridgeServer, LogLineShowsDirectionAndUppercaseHex)
{
    EXPECT_EQ(reportLogLine(Direction::in, Bytes{0xAA, 0x55, 0xF8, 0x00, 0x00, 0x00, 0x00, 0x00}),
              "IN  AA 55 F8 00 00 00 00 00");
    EXPECT_EQ(reportLogLine(Direction::out, Bytes{0xC0, 0x22, 0x5A, 0x79, 0xA5, 0x00, 0x00, 0x0b}),
              "OUT C0 22 5A 79 A5 00 00 0B");
    EXPECT_EQ(reportLogLine(Direction::in, Bytes{}), "IN ");
}

} // namespace
} // namespace ormid::sim
