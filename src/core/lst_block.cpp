#include "core/lst_block.h"

#include <algorithm>

#include "core/encodings.h"

namespace ormid {

bool lstOn(const EeBlock& image)
{
    return TestBit(image[field::outputByte], bit::lstEnable);
}

void switchLstInputRemote(EeBlock& image)
{
    Byte& byte = image[field::outputByte];
    byte = PutBit(byte, bit::lstEnable, !lstOn(image));
}

void switchLstInput(EeBlock& image)
{
    if (!lstOn(image))
        switchHoldOff(image);
    switchLstInputRemote(image);
}

void toggleLstPolarity(EeBlock& image)
{
    Byte& byte = image[field::outputByte];
    byte = PutBit(byte, bit::lstPolarity, !TestBit(byte, bit::lstPolarity));
}

bool holdOn(const EeBlock& image)
{
    return image[field::holdTime] != 0;
}

void switchHoldOff(EeBlock& image)
{
    image[field::holdTime] = 0;
}

std::string holdTimeText(const EeBlock& image)
{
    return secondsText(decodeTimeCode(image[field::holdTime]));
}

void applyHoldTime(EeBlock& image, std::string_view text)
{
    // The slider gives at most 60 × 900 s; anything longer would not fit a time code.
    const int seconds = std::clamp(parseSeconds(text).value_or(0), 0, kLargestTime);
    image[field::holdTime] = static_cast<Byte>(encodeTimeCode(seconds));
}

} // namespace ormid
