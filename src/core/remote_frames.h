#pragma once
// The remote-control frames of a memory on a remote stick: the parameter groups the six
// "Tx" boxes choose, as value frames (3 bytes) and switch frames (1 byte), at most 66
// bytes; and the estimate of how long their transmission takes.

#include <optional>
#include <string>
#include <string_view>
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

// The frames of the ticked boxes, from byte 0 without gaps.
std::vector<Byte> encodeRemoteFrames(const EeBlock& image, Byte txStatus);

// One frame of a list, read back.
struct RemoteFrame {
    int address = 0;
    bool isValue = false; // a value frame; else a switch frame
    Byte value = 0;
    Byte fade = 0; // device fade code 0..15
    int level = 0; // 5 % units; 31 in an engine's end frame
    bool on = false;
};
// The frames of a list up to its end (a byte with bit 0 clear) or its 66 bytes.
std::vector<RemoteFrame> decodeRemoteFrames(ByteSpan frames);
// A frame in words, e.g. "29 ISD: on", "1 engine 1 step 1: value 232, fade 0, level 10 (50 %)".
std::string describeFrame(const RemoteFrame& frame);

// The Tx boxes named on a command line: "pol,isd,isden,isdengine,lsten,lstengine" in any
// order and number; nullopt when a name is unknown.
std::optional<Byte> parseTxSelection(std::string_view names);
// The ticked boxes of `status` by those names, in that order, comma-separated.
std::string txSelectionText(Byte status);

// How long the frames take to send, in seconds; 0 when no box is ticked.
int transmissionSeconds(const EeBlock& image, Byte txStatus);
// The estimate as the duration box shows it, HH:MM:SS.
std::string durationText(int seconds);

} // namespace ormid
