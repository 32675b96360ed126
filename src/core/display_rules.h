#pragma once
// What a redraw of the main panel writes into the image before drawing it.

#include "core/image.h"

namespace ormid {

// A function whose dimming engine has no first step is off: byte 10 (engine 2, step 1)
// free clears the LSt input (byte 0 bit 3), byte 40 (engine 1, step 1) free clears the
// ISD function (byte 0 bit 2). In the remote layout the levels and fades that remote
// frames carry are brought into their form as well (normaliseForRemote). An image
// shorter than the stored bytes is left alone.
void applyDisplayRules(EeBlock& image, bool remoteLayout);

// Remote frames carry levels in steps of 5 % and fades as one of the device's 16 fade
// rates: byte 3 and every step level become multiples of 5 (bit 7 kept, FF kept), byte 5
// and every step fade the nearest fade-rate code.
void normaliseForRemote(EeBlock& image);

} // namespace ormid
