// The transport the program uses: the bridge when ORMID_HID_BRIDGE names a socket,
// else hidapi.

#include <cstdlib>
#include <memory>
#include <string>

#include "link/bridge_transport.h"
#include "link/hid_transport.h"
#include "link/hidapi_transport.h"

namespace ormid {

namespace {

// The socket ORMID_HID_BRIDGE names; nullptr when it is unset or empty.
const char* bridgeSocketPath()
{
    const char* socketPath = std::getenv("ORMID_HID_BRIDGE");
    return socketPath != nullptr && *socketPath != '\0' ? socketPath : nullptr;
}

} // namespace

std::unique_ptr<HidTransport> makeDefaultTransport()
{
    if (const char* socketPath = bridgeSocketPath()) {
        return std::make_unique<BridgeTransport>(socketPath);
    }
    return std::make_unique<HidapiTransport>();
}

std::string defaultTransportProblem()
{
    const char* socketPath = bridgeSocketPath();
    const std::string problem = socketPath != nullptr ? bridgePathProblem(socketPath) : std::string();
    return problem.empty() ? problem : "ORMID_HID_BRIDGE cannot be used: " + problem + ".";
}

} // namespace ormid
