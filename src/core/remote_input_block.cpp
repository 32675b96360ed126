#include "core/remote_input_block.h"

#include <algorithm>
#include <iterator>

#include "core/encodings.h"

namespace ormid {

namespace {

struct RemoteStep {
    RemoteInput from;
    bool viaMains; // byte 0 bit 5 after the click
    bool viaLst;   // byte 0 bit 6 after the click
};

constexpr RemoteStep kSwitchCycle[] = {
    {RemoteInput::off, true, false},
    {RemoteInput::viaMains, false, true},
    {RemoteInput::viaLst, false, false},
};

} // namespace

RemoteInput remoteInput(const EeBlock& image)
{
    const Byte byte = image[field::outputByte];
    if (TestBit(byte, bit::remoteViaMains))
        return RemoteInput::viaMains;
    return TestBit(byte, bit::remoteViaLst) ? RemoteInput::viaLst : RemoteInput::off;
}

void stepRemoteInput(EeBlock& image)
{
    const RemoteInput from = remoteInput(image);
    const RemoteStep& step = *std::find_if(std::begin(kSwitchCycle), std::end(kSwitchCycle),
                                           [from](const RemoteStep& s) { return s.from == from; });
    Byte& byte = image[field::outputByte];
    byte = PutBit(byte, bit::remoteViaMains, step.viaMains);
    byte = PutBit(byte, bit::remoteViaLst, step.viaLst);
}

} // namespace ormid
