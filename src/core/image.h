#pragma once
// The parameter image: the Ormid's whole configuration as one block of bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ormid {

using Byte = std::uint8_t;
using ByteSpan = std::span<const Byte>;

// `eeBlock`: 128 bytes; the first device read in USB Stick mode enlarges it to 256.
using EeBlock = std::vector<Byte>;

constexpr std::size_t kImageSize = 128;
constexpr std::size_t kDeviceImageSize = 256;
// Bytes 0..95 travel in memories and files; 96..127 stay behind.
constexpr std::size_t kStoredImageBytes = 96;

// Byte positions of the image fields.
namespace field {
constexpr std::size_t outputByte = 0; // outputType, isdEnable, lstEnable, lstPolarity, remote*, tmEnable
constexpr std::size_t blockTime = 1;
constexpr std::size_t minLevel = 2;
constexpr std::size_t powerOnLevel = 3;
constexpr std::size_t powerOnDelay = 4;
constexpr std::size_t powerOnFade = 5;
constexpr std::size_t holdTime = 6;
constexpr std::size_t isdOffset = 7;
constexpr std::size_t engine2Steps = 8;  // 10 steps of delay, fade, level
constexpr std::size_t engine1Steps = 38; // 10 steps of time, fade, level
constexpr std::size_t stepCount = 10;
constexpr std::size_t stepSize = 3;
constexpr std::size_t optionByte = 68; // dstOff, dpcEnable, storePol, resetOperatingHours, remoteFunction
constexpr std::size_t mffStartLevel = 69;
constexpr std::size_t mffLevel1 = 70;
constexpr std::size_t mffLevel2 = 71;
constexpr std::size_t mffLevel3 = 72;
constexpr std::size_t mffStopLevel = 73;
constexpr std::size_t burnInHours = 74;
constexpr std::size_t mffLifetime = 75;
constexpr std::size_t astroDataFirst = 76;
constexpr std::size_t astroDataLast = 84;
constexpr std::size_t autoDstReserved = 85;
constexpr std::size_t autoDstStart = 86;
constexpr std::size_t autoDstEnd = 87;
constexpr std::size_t relayByte = 88; // zeroCrossSwitch
constexpr std::size_t tmT1 = 89;
constexpr std::size_t tmLevel1 = 90;
constexpr std::size_t tmT2 = 91;
constexpr std::size_t tmLevel2 = 92;
constexpr std::size_t tmT3 = 93;
constexpr std::size_t tmLevel3 = 94;
constexpr std::size_t tmReserved = 95;
constexpr std::size_t operatingMinutes = 247; // 24-bit
constexpr std::size_t switchCount = 250;      // 16-bit
constexpr std::size_t overTempTime = 252;     // 16-bit, 15-minute units
constexpr std::size_t maxTemperature = 254;
} // namespace field

// Bit numbers inside the shared bytes 0, 68 and 88.
namespace bit {
constexpr Byte outputDali = 0;    // byte 0: 1 DALI, 0 analog/PWM
constexpr Byte outputVariant = 1; // byte 0: DALI linear / PWM
constexpr Byte isdEnable = 2;
constexpr Byte lstEnable = 3;
constexpr Byte lstPolarity = 4;
constexpr Byte remoteViaMains = 5;
constexpr Byte remoteViaLst = 6;
constexpr Byte tmEnable = 7;
constexpr Byte dstOff = 0; // byte 68
constexpr Byte dpcEnable = 1;
constexpr Byte storePol = 2;
constexpr Byte resetOperatingHours = 3;
constexpr Byte zeroCrossSwitch = 0; // byte 88
} // namespace bit

constexpr Byte kFreeLevel = 0xFF;   // a level byte that is not in use
constexpr Byte kRelayOff = 0x80;    // a level byte's bit 7: the relay switches the lamp off
constexpr int kLevelMaximum = 100;  // levels in percent
constexpr Byte kRandomDelay = 0xFF; // byte 4: power-on delay "Random"
constexpr Byte kRemoteFunctionMask = 0xF0;

// Offsets of step k (1..10) of the two dimming engines.
constexpr std::size_t engine2Step(std::size_t k)
{
    return field::engine2Steps + field::stepSize * (k - 1);
}
constexpr std::size_t engine1Step(std::size_t k)
{
    return field::engine1Steps + field::stepSize * (k - 1);
}

// The built-in default image: demo mode, an empty memory and "Default" start from it.
const std::array<Byte, kImageSize>& defaultImage();

// A fresh 128-byte image holding the default image.
EeBlock makeDefaultImage();

// Enlarges the image to the device size; bytes already there are kept.
void enlargeToDeviceImage(EeBlock& eeBlock);

// Sets the astro-clock bytes 76..84 to 0 (done on every load unless "-copyAstro").
void clearAstroData(EeBlock& eeBlock);

} // namespace ormid
