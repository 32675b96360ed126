#include "core/relay_block.h"

#include "core/encodings.h"

namespace ormid {

bool zeroCrossSwitch(const EeBlock& image)
{
    return TestBit(image[field::relayByte], bit::zeroCrossSwitch);
}

void applyZeroCrossSwitch(EeBlock& image, bool zeroCross)
{
    Byte& byte = image[field::relayByte];
    byte = zeroCross ? SetBit(byte, bit::zeroCrossSwitch) : ClearBit(byte, bit::zeroCrossSwitch);
}

} // namespace ormid
