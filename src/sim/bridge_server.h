#pragma once
// Serves one StickModel on a Unix-domain stream socket with the HID bridge protocol
// (see link/bridge_transport.h): on every new connection the model is connected and
// the hello 'H' inputLen outputLen featureLen is sent; then every report, both ways,
// is one message of a length byte L and L bytes.
//
// A new connection replaces the current one (the old one is closed): that is how the
// program reconnects after restarting itself. When the model's drop fault fires the
// connection is closed, as a stick pulled out would end it. A client that sends
// garbage or disappears never ends the server.

#include <atomic>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

#include "core/image.h"
#include "sim/stick_model.h"

namespace ormid::sim {

// The --log line of one report: "IN  AA 55 F8 00 00 00 00 00" (PC to stick) or
// "OUT C0 22 5A 79 A5 00 00 00" (stick to PC), uppercase hexadecimal.
std::string reportLogLine(Direction direction, ByteSpan report);

class BridgeServer {
public:
    // The longest socket path a Unix-domain address holds.
    static std::size_t maxSocketPathLength();

    // Listens on `socketPath`. A stale socket file there is replaced; a path that is not
    // a socket, or a socket another server still answers on, is left alone: nullptr and
    // `error` says why.
    static std::unique_ptr<BridgeServer> open(StickModel& model, const std::string& socketPath, std::string& error);

    // Closes every connection and removes the socket file (when it is still ours).
    ~BridgeServer();
    BridgeServer(const BridgeServer&) = delete;
    BridgeServer& operator=(const BridgeServer&) = delete;

    // Serves until stop(); the model is only touched from the thread that runs this.
    void run();
    // Ends run() soon. Safe from any thread and from a signal handler.
    void stop();

    const std::string& socketPath() const { return socketPath_; }

private:
    BridgeServer(StickModel& model, std::string socketPath, int listenFd, int wakeRead, int wakeWrite, dev_t device,
                 ino_t inode);

    void acceptClient();
    // Takes what the client sent; whole messages go to the model. Closes on end or error.
    void readClient();
    void serveModel();
    void queueMessage(ByteSpan payload);
    void flushOutput();
    void closeClient();
    int pollTimeoutMs() const;

    StickModel& model_;
    std::string socketPath_;
    int listenFd_;
    int wakeRead_;
    int wakeWrite_;
    dev_t socketDevice_;
    ino_t socketInode_;
    std::atomic<bool> stopRequested_{false};

    int clientFd_ = -1;
    std::vector<Byte> input_;  // bytes of a message not yet complete
    std::vector<Byte> output_; // messages not yet taken by the client
};

} // namespace ormid::sim
