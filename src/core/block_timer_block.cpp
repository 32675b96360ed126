#include "core/block_timer_block.h"

#include <algorithm>

#include "core/encodings.h"

namespace ormid {

std::string blockTimeText(int units)
{
    return secondsText(units * kBlockTimeUnit);
}

int blockTimePosition(std::string_view text)
{
    return std::clamp(parseSeconds(text).value_or(0) / kBlockTimeUnit, 0, kLargestBlockTime);
}

void applyBlockTime(EeBlock& image, std::string_view text)
{
    image[field::blockTime] = static_cast<Byte>(parseSeconds(text).value_or(0) / kBlockTimeUnit);
}

void switchBlockTimerOff(EeBlock& image)
{
    image[field::blockTime] = 0;
}

bool blockTimerOn(const EeBlock& image)
{
    return blockTimeSeconds(image) != 0;
}

int blockTimeSeconds(const EeBlock& image)
{
    return image[field::blockTime] * kBlockTimeUnit;
}

} // namespace ormid
