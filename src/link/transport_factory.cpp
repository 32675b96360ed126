// The transport the program uses: the bridge when ORMID_HID_BRIDGE names a socket,
// else hidapi.

#include <cstdlib>
#include <memory>
#include <string>

#include "link/bridge_transport.h"
#include "link/hid_transport.h"
#include "link/hidapi_transport.h"

namespace ormid {

std::unique_ptr<HidTransport> makeDefaultTransport()
{
    const char* socketPath = std::getenv("ORMID_HID_BRIDGE");
    if (socketPath != nullptr && *socketPath != '\0') {
        return std::make_unique<BridgeTransport>(socketPath);
    }
    return std::make_unique<HidapiTransport>();
}

} // namespace ormid
