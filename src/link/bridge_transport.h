#pragma once
// The HID bridge: the transport that talks to a stick over a Unix-domain stream socket
// (the simulator `ormid-stick-sim`, or a test's server), used when ORMID_HID_BRIDGE names
// the socket.
//
// Protocol:
//   - on connect the server sends 4 bytes: 'H' inputLen outputLen featureLen;
//   - every report, both ways, is one message: 1 length byte L followed by L bytes;
//     the messages we write have L = the output report length;
//   - the server closing the connection means the stick was pulled out; it accepts a
//     new connection at any time (that is how a plug-in is seen).
//
// How it behaves at the edges:
//   - findHidDevice while connected does not reconnect; it drains what the socket holds
//     into an internal buffer (no report is lost) and notices a close. The first find
//     after a close returns false; a later one tries to connect again.
//   - Reports whose whole message arrived before the close stay readable after it, until
//     the next connection is made; an incomplete message cut off by the close is dropped.
//     A new connection starts with an empty buffer (no report of the old stick leaks in).
//   - A server whose greeting is not 'H' plus three lengths within the hello timeout
//     (it sends something else, sends too little or closes) is "not found"; the socket
//     is closed.
//   - Only the stick's ids (kStickVendorId/kStickProductId) are served; other ids are
//     not found, and the connection is left as it is.
//   - Writing on a closed connection does nothing (no SIGPIPE); a write that cannot be
//     completed ends the connection, as a pulled-out stick would.

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "link/hid_transport.h"

namespace ormid {

// Why the bridge can never connect to `socketPath` (empty, or longer than a Unix-domain
// socket address holds); empty when the path may serve.
std::string bridgePathProblem(const std::string& socketPath);

class BridgeTransport final : public HidTransport {
public:
    static constexpr std::chrono::milliseconds kDefaultHelloTimeout{1000};
    // How long a write may wait for room in the socket before the connection is given up.
    static constexpr std::chrono::milliseconds kWriteTimeout{1000};
    // Received bytes held at most; beyond this the socket is left to hold them.
    static constexpr std::size_t kMaxBufferedBytes = 64 * 1024;

    explicit BridgeTransport(std::string socketPath, std::chrono::milliseconds helloTimeout = kDefaultHelloTimeout);
    ~BridgeTransport() override;
    BridgeTransport(const BridgeTransport&) = delete;
    BridgeTransport& operator=(const BridgeTransport&) = delete;

    bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) override;
    Byte getInputReportLength() const override { return inputLength_; }
    Byte getOutputReportLength() const override { return outputLength_; }
    Byte getFeatureReportLength() const override { return featureLength_; }
    void writeData(ByteSpan report) override;
    std::optional<Report> readData() override;

    const std::string& socketPath() const { return socketPath_; }

private:
    enum class State { disconnected, connected, peerClosed };

    bool connectAndGreet();
    // Moves every byte the socket holds now into buffer_; notices a close.
    void drainSocket();
    // The connection is over: keep what arrived, drop a cut-off message, close our side.
    void endConnection();
    bool sendAll(const std::vector<Byte>& message);
    void closeSocket();

    std::string socketPath_;
    std::chrono::milliseconds helloTimeout_;
    int fd_ = -1;
    State state_ = State::disconnected;
    Byte inputLength_ = 0;
    Byte outputLength_ = 0;
    Byte featureLength_ = 0;
    std::vector<Byte> buffer_; // received messages not yet read
};

} // namespace ormid
