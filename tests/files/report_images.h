#pragma once
// Parameter images the report tests print.

#include "core/encodings.h"
#include "core/image.h"

namespace ormid::test {

// Every function on: DALI linear with Store POL and zero-cross switching, remote control
// over the mains (Midnight), power-on delay and fade, a blocking time, MFF with burn-in,
// ISD with an offset and automatic DST, LSt (High->Low) with a hold time, T-management
// with three thresholds (relay off at T1), and both dimming engines with ten steps each.
inline EeBlock fullReportImage()
{
    EeBlock image = makeDefaultImage();
    Byte output = 0;
    for (const Byte b : {bit::outputDali, bit::outputVariant, bit::isdEnable, bit::lstEnable, bit::lstPolarity,
                         bit::remoteViaMains, bit::tmEnable})
        output = SetBit(output, b);
    image[field::outputByte] = output;
    image[field::blockTime] = 12; // 60 s
    image[field::minLevel] = 10;
    image[field::powerOnLevel] = 80;
    image[field::powerOnDelay] = 0x46; // 60 s
    image[field::powerOnFade] = 0x94;  // 1,2 s per %
    image[field::holdTime] = 0x85;     // 5 min
    image[field::isdOffset] = 0xF1;    // -30 min
    for (std::size_t k = 1; k <= field::stepCount; ++k) {
        const auto step = static_cast<Byte>(k);
        image[engine1Step(k)] = static_cast<Byte>(0x40 + 2 * step);
        image[engine1Step(k) + 1] = 0x4A;
        image[engine1Step(k) + 2] = static_cast<Byte>(100 - 5 * step);
        image[engine2Step(k)] = static_cast<Byte>(0x40 + step); // 10 s times k
        image[engine2Step(k) + 1] = 0x4A;
        image[engine2Step(k) + 2] = static_cast<Byte>((k % 2 ? 0x80 : 0) + 10 * step);
    }
    image[field::optionByte] = SetBit(0x10, bit::storePol); // Midnight, DST on
    image[field::mffStartLevel] = 70;
    image[field::mffLevel1] = 75;
    image[field::mffLevel2] = 80;
    image[field::mffLevel3] = 90;
    image[field::mffStopLevel] = 100;
    image[field::burnInHours] = 12;
    image[field::mffLifetime] = 4;
    image[field::autoDstStart] = 60;
    image[field::autoDstEnd] = 216;
    image[field::relayByte] = SetBit(0, bit::zeroCrossSwitch);
    image[field::tmT1] = 85;
    image[field::tmLevel1] = 0x80 + 30;
    image[field::tmT2] = 70;
    image[field::tmLevel2] = 50;
    image[field::tmT3] = 60;
    image[field::tmLevel3] = 70;
    return image;
}

// `image` with engine 2 ending after `steps` used steps.
inline EeBlock withEngine2Steps(EeBlock image, std::size_t steps)
{
    for (std::size_t k = steps + 1; k <= field::stepCount; ++k)
        image[engine2Step(k) + 2] = kFreeLevel;
    return image;
}

} // namespace ormid::test
