// The HID bridge client (the transport behind ORMID_HID_BRIDGE) against a server that
// sends whatever the script says: any greeting, any bytes in any pieces, closes at any
// moment, new connections. The client hands out exactly the whole messages the server
// sent, in order, also those that came before a close and none of a cut-off one, and
// every message it writes is one length byte and an output report.

#include <atomic>
#include <cerrno>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "fuzz_input.h"
#include "link/bridge_transport.h"
#include "socket_folder.h"

namespace ormid::fuzz {
namespace {

constexpr Byte kHelloTag = 'H';
constexpr std::size_t kHelloSize = 4;

class Listener {
public:
    Listener()
    {
        path_ = (socketFolder() / "client.sock").string();
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.copy(address.sun_path, sizeof address.sun_path - 1);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
            || ::listen(fd_, 4) != 0)
            std::abort();
    }
    const std::string& path() const { return path_; }
    int fd() const { return fd_; }

private:
    std::string path_;
    int fd_ = -1;
};

// The server's side of one run: its connection, and the messages the client owes the
// reader as the bytes sent so far make them.
class Server {
public:
    Server(const Listener& listener, FuzzInput& script) : listener_(listener), script_(script) {}
    ~Server() { closeConnection(); }

    // The client looks for the stick; when it connects, the script's greeting goes out.
    void find(BridgeTransport& client)
    {
        std::atomic<bool> done{false};
        bool found = false;
        std::thread finder([&] {
            found = client.findHidDevice(kStickVendorId, kStickProductId);
            done = true;
        });
        std::optional<std::vector<Byte>> greeting;
        while (!done) {
            pollfd p{listener_.fd(), POLLIN, 0};
            if (::poll(&p, 1, 1) <= 0)
                continue;
            closeConnection(); // a new connection replaces the old one
            fd_ = ::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            greeting = this->greeting();
            if (!greeting->empty())
                ::send(fd_, greeting->data(), greeting->size(), MSG_NOSIGNAL);
            // A greeting too short would keep the client waiting for the rest: end it.
            if (greeting->size() < kHelloSize)
                closeConnection();
            break;
        }
        finder.join();
        const bool greeted = greeting && greeting->size() >= kHelloSize && (*greeting)[0] == kHelloTag;
        if (greeting) {
            FUZZ_CHECK(found == greeted);
            if (greeted) {
                // A new connection starts with the bytes after the greeting; nothing of the old one.
                sent_.assign(greeting->begin() + kHelloSize, greeting->end());
                inputLength_ = (*greeting)[1];
                outputLength_ = (*greeting)[2];
                FUZZ_CHECK(client.getInputReportLength() == inputLength_);
                FUZZ_CHECK(client.getOutputReportLength() == outputLength_);
            }
        }
    }

    void sendBytes() { send(script_.chunk(64)); }
    // One message of the bridge protocol: a length byte and that many bytes.
    void sendMessage()
    {
        std::vector<Byte> message = script_.chunk(64);
        message.insert(message.begin(), static_cast<Byte>(message.size()));
        send(message);
    }

    void closeConnection()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    // What the client hands out is the next whole message sent, padded to the input length.
    void read(BridgeTransport& client)
    {
        const std::optional<Report> report = client.readData();
        const bool whole = !sent_.empty() && sent_.size() - 1 >= sent_[0];
        FUZZ_CHECK(report.has_value() == whole);
        if (!report)
            return;
        const std::size_t length = sent_[0];
        FUZZ_CHECK(report->size() == std::max<std::size_t>(length, inputLength_));
        for (std::size_t i = 0; i < report->size(); ++i)
            FUZZ_CHECK((*report)[i] == (i < length ? sent_[1 + i] : 0));
        sent_.erase(sent_.begin(), sent_.begin() + 1 + static_cast<std::ptrdiff_t>(length));
    }

    // Every message the client writes is L = the output length, then the report cut or padded to it.
    void write(BridgeTransport& client)
    {
        const std::vector<Byte> report = script_.chunk(80);
        client.writeData(report);
        if (fd_ < 0)
            return;
        std::vector<Byte> received(1 + outputLength_ + 1);
        const ssize_t n = ::recv(fd_, received.data(), received.size(), 0);
        if (n <= 0)
            return; // the client no longer has this connection
        FUZZ_CHECK(static_cast<std::size_t>(n) == 1u + outputLength_ && received[0] == outputLength_);
        for (std::size_t i = 0; i < outputLength_; ++i)
            FUZZ_CHECK(received[1 + i] == (i < report.size() ? report[i] : 0));
    }

private:
    std::vector<Byte> greeting()
    {
        if (script_.flag()) // a bridge server's greeting, and maybe reports after it
            return {kHelloTag, static_cast<Byte>(script_.pick(65)), static_cast<Byte>(script_.pick(65)), 0};
        return script_.chunk(8);
    }

    void send(const std::vector<Byte>& bytes)
    {
        if (fd_ < 0 || bytes.empty())
            return;
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0)
            sent_.insert(sent_.end(), bytes.begin(), bytes.begin() + n);
    }

    const Listener& listener_;
    FuzzInput& script_;
    int fd_ = -1;
    std::vector<Byte> sent_; // bytes of this connection the client has not handed out
    Byte inputLength_ = 0;
    Byte outputLength_ = 0;
};

} // namespace
} // namespace ormid::fuzz

// Input: a script of steps: the client looks for the stick (the server greets it as the
// script says), the server sends raw bytes or a whole message, the server closes, the
// client reads, the client writes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    static const fuzz::Listener listener;
    fuzz::FuzzInput script(data, size);
    BridgeTransport client(listener.path());
    fuzz::Server server(listener, script);
    while (!script.empty()) {
        switch (script.pick(6)) {
        case 0:
            server.find(client);
            break;
        case 1:
            server.sendBytes();
            break;
        case 2:
            server.sendMessage();
            break;
        case 3:
            server.closeConnection();
            break;
        case 4:
            server.read(client);
            break;
        default:
            server.write(client);
            break;
        }
    }
    return 0;
}
