// The simulator's bridge server (ormid-stick-sim) against a client that sends whatever
// the script says: whole messages of stick commands, any bytes in any pieces, and new
// connections that replace the old one. The server greets every connection, frames
// every reply as one length byte and an input report, takes everything a client sent
// before leaving, and keeps serving.

#include <cerrno>
#include <chrono>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "fuzz_input.h"
#include "link/stick_frames.h"
#include "sim/bridge_server.h"
#include "sim/stick_model.h"
#include "socket_folder.h"
#include "stick_kind.h"

namespace ormid::fuzz {
namespace {

constexpr int kAnswerMs = 2000; // far beyond what a served model needs

// One connection of the client, and the checks on what the server sends it.
class Client {
public:
    Client(const std::string& path, Byte inputLength) : inputLength_(inputLength)
    {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        FUZZ_CHECK(fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
    }
    ~Client()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    void send(const std::vector<Byte>& bytes)
    {
        if (!bytes.empty())
            ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    // Takes what the server sent within `waitMs`; false once the server closed.
    bool receive(int waitMs)
    {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, waitMs) <= 0)
            return true;
        std::vector<Byte> chunk(4096);
        const ssize_t n = ::recv(fd_, chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (n <= 0)
            return n < 0 && errno == EAGAIN;
        for (ssize_t i = 0; i < n; ++i)
            take(chunk[static_cast<std::size_t>(i)]);
        return true;
    }

    // The client is done: the server takes what was sent, then ends the connection.
    void leave()
    {
        ::shutdown(fd_, SHUT_WR);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerMs);
        bool open = true;
        while (open && std::chrono::steady_clock::now() < deadline)
            open = receive(10);
        FUZZ_CHECK(!open); // the server ended the connection
    }

    bool greeted() const { return greeting_.size() == 4; }

private:
    // The greeting 'H' inputLen outputLen featureLen, then messages of L = the input
    // report length and L bytes.
    void take(Byte b)
    {
        if (greeting_.size() < 4) {
            greeting_.push_back(b);
            if (greeting_.size() == 1)
                FUZZ_CHECK(b == 'H');
            if (greeting_.size() == 2)
                FUZZ_CHECK(b == inputLength_);
            return;
        }
        if (messageLeft_ == 0) {
            FUZZ_CHECK(b == inputLength_);
            messageLeft_ = b;
            return;
        }
        --messageLeft_;
    }

    int fd_ = -1;
    Byte inputLength_;
    std::vector<Byte> greeting_;
    std::size_t messageLeft_ = 0;
};

// A message of a stick command, built by the program's own frame builders.
std::vector<Byte> commandMessage(FuzzInput& script, Byte outputLength)
{
    std::vector<Byte> report;
    switch (script.pick(4)) {
    case 0: {
        const MemoryCommand c = modeQueryCommand();
        report.assign(c.begin(), c.end());
        break;
    }
    case 1: {
        const MemoryCommand c = readBlockCommand(script.u16());
        report.assign(c.begin(), c.end());
        break;
    }
    case 2:
        report = buildLinkFrame(readMemoryCommand(script.byte()).bytes, outputLength).report;
        break;
    default:
        report = script.bytes(outputLength);
        break;
    }
    report.insert(report.begin(), static_cast<Byte>(report.size()));
    return report;
}

} // namespace
} // namespace ormid::fuzz

// Input: the stick's kind (one byte), then a script of steps: a command message, raw
// bytes, a wait for replies, a new connection.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    fuzz::FuzzInput script(data, size);
    const Byte setup = script.byte();
    sim::StickConfig config = fuzz::stickKind(setup);
    config.identifyDelay = 0;
    sim::StickModel model(config, {}, {});

    static const std::string path = (fuzz::socketFolder() / "server.sock").string();
    std::string error;
    const std::unique_ptr<sim::BridgeServer> server = sim::BridgeServer::open(model, path, error);
    FUZZ_CHECK(server != nullptr);
    std::thread serving([&] { server->run(); });

    std::optional<fuzz::Client> client;
    client.emplace(path, model.inputReportLength());
    while (!script.empty()) {
        switch (script.pick(4)) {
        case 0:
            client->send(fuzz::commandMessage(script, model.outputReportLength()));
            break;
        case 1:
            client->send(script.chunk(80));
            break;
        case 2:
            client->receive(script.pick(3));
            break;
        default:
            // The program restarted itself: the new connection takes the stick.
            client.emplace(path, model.inputReportLength());
            break;
        }
    }
    client->leave();
    FUZZ_CHECK(client->greeted());
    client.reset();
    server->stop();
    serving.join();
    FUZZ_CHECK(model.state().memory.size() == sim::kStickMemorySize);
    return 0;
}
