#pragma once
// The remote-control frames of a memory on a remote stick: the parameter groups the six
// "Tx" boxes choose, as value frames (3 bytes) and switch frames (1 byte), at most 66
// bytes; and the estimate of how long their transmission takes.

#include <string>
#include <vector>

#include "core/image.h"

namespace ormid {

// The Tx boxes as the bits of a memory's status byte.
namespace txBit {
constexpr Byte powerOn = 0;   // `cbTxPOL`: the power-on settings
constexpr Byte dst = 1;       // `cbTxISD`: daylight-saving time
constexpr Byte isdSwitch = 2; // `cbTxISDen`: ISD on or off
constexpr Byte engine1 = 3;   // `cbTxISDEngine`: dimming engine 1's steps
constexpr Byte lstSwitch = 4; // `cbTxLstEn`: LSt input on or off
constexpr Byte engine2 = 5;   // `cbTXLstEngine`: dimming engine 2's steps
} // namespace txBit

constexpr std::size_t kRemoteFramesLimit = 66;

// `generateRemote`: the frames, from byte 0 without gaps.
std::vector<Byte> generateRemote(const EeBlock& image, Byte txStatus);

// `txDuration`: the estimate in seconds; 0 when no box is ticked.
int txDuration(const EeBlock& image, Byte txStatus);
// The estimate as the duration box shows it, HH:MM:SS.
std::string durationText(int seconds);

} // namespace ormid
