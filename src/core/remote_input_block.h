#pragma once
// The remote-control input: through which input the configuration may be changed from
// outside (byte 0 bits 5 and 6). The function itself (byte 68 high nibble) belongs to
// no editor and passes through untouched.

#include "core/image.h"

namespace ormid {

enum class RemoteInput { off, viaMains, viaLst };

// Via mains when bit 5 is set, else via LSt when bit 6 is set, else off.
RemoteInput remoteInput(const EeBlock& image);

// One click on the three-way switch: off → via mains → via LSt → off. Only bits 5 and 6
// of byte 0 change; never both are left set.
void stepRemoteInput(EeBlock& image);

} // namespace ormid
