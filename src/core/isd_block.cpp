#include "core/isd_block.h"

#include <algorithm>
#include <cstdlib>

#include "core/encodings.h"

namespace ormid {

namespace {

constexpr int kSecondsPerUnit = 120;           // an offset unit is 2 minutes
constexpr int kSecondsPerNightUnit = 300;      // a night-length unit is 5 minutes
constexpr std::size_t kShortestOffsetText = 8; // HH:MM:SS; a longer one carries a "-"

bool validNight(int units)
{
    return units >= kShortestNight && units <= kLongestNight;
}

int nightUnits(std::string_view text)
{
    return parseMinutes(text).value_or(0) / 5;
}

} // namespace

bool isdOn(const EeBlock& image)
{
    return TestBit(image[field::outputByte], bit::isdEnable);
}

void switchIsdOn(EeBlock& image)
{
    image[field::outputByte] = SetBit(image[field::outputByte], bit::isdEnable);
}

void switchIsdOff(EeBlock& image)
{
    image[field::outputByte] = ClearBit(image[field::outputByte], bit::isdEnable);
}

int isdOffsetMinutes(const EeBlock& image)
{
    return 2 * static_cast<std::int8_t>(image[field::isdOffset]);
}

bool dstInForce(const EeBlock& image)
{
    return !TestBit(image[field::optionByte], bit::dstOff);
}

std::optional<AutoDstNights> autoDstNights(const EeBlock& image)
{
    const int start = image[field::autoDstStart];
    const int end = image[field::autoDstEnd];
    if (!validNight(start) || !validNight(end))
        return std::nullopt;
    constexpr int kMinutesPerNightUnit = kSecondsPerNightUnit / 60;
    return AutoDstNights{start * kMinutesPerNightUnit, end * kMinutesPerNightUnit};
}

IsdFields readIsd(const EeBlock& image)
{
    const auto nights = autoDstNights(image);
    return {
        .offset = offsetCodeText(isdOffsetMinutes(image)),
        .dst = dstInForce(image),
        .autoDst = nights.has_value(),
        .dstStart = nights ? hoursMinutesText(nights->startMinutes * 60) : "0",
        .dstEnd = nights ? hoursMinutesText(nights->endMinutes * 60) : "0",
    };
}

void applyIsd(EeBlock& image, const IsdFields& fields)
{
    std::string_view offset = fields.offset;
    const bool negative = offset.size() > kShortestOffsetText;
    if (negative)
        offset.remove_prefix(1);
    const int units = parseSeconds(offset).value_or(0) / kSecondsPerUnit;
    image[field::isdOffset] = static_cast<Byte>(negative ? 256 - units : units);

    Byte& options = image[field::optionByte];
    options = fields.dst ? ClearBit(options, bit::dstOff) : SetBit(options, bit::dstOff);

    const int start = nightUnits(fields.dstStart);
    const int end = nightUnits(fields.dstEnd);
    const bool autoDst = fields.autoDst && validNight(start) && validNight(end);
    image[field::autoDstReserved] = 0;
    image[field::autoDstStart] = static_cast<Byte>(autoDst ? start : 0);
    image[field::autoDstEnd] = static_cast<Byte>(autoDst ? end : 0);
}

int offsetPosition(std::string_view offsetText)
{
    return std::clamp(parseOffsetCode(offsetText).value_or(kNoOffset), 0, kOffsetPositions);
}

std::string offsetText(int position)
{
    return offsetCodeText(2 * position - 256);
}

int dstShifted(int position, bool dstTicked)
{
    return std::clamp(position + (dstTicked ? -kDstPositions : kDstPositions), 0, kOffsetPositions);
}

int thresholdPosition(std::string_view text)
{
    return std::clamp(nightUnits(text), kThresholdOff, kLongestNight);
}

std::string thresholdText(int position)
{
    return position <= kThresholdOff ? "0" : hoursMinutesText(position * kSecondsPerNightUnit);
}

std::string thresholdFromNightLength(std::string_view lengthText)
{
    return hoursMinutesText(nightUnits(lengthText) * kSecondsPerNightUnit);
}

std::optional<int> calculatedOffset(int longitudeHalfDegrees, int zone)
{
    // 4 minutes per degree; half degrees keep it even.
    const int offset = 2 * longitudeHalfDegrees - 60 * zone;
    if (offset <= -256 || offset >= 254)
        return std::nullopt;
    return offset;
}

std::string zoneText(int zone)
{
    return zone < 0 ? "UTC" + std::to_string(zone) : "UTC+" + std::to_string(zone);
}

std::string halfDegreesText(int halfDegrees, char decimalSeparator)
{
    std::string text = std::to_string(halfDegrees / 2);
    if (halfDegrees % 2 == 0)
        return text;
    if (halfDegrees < 0 && halfDegrees > -2)
        text = "-0";
    return text + decimalSeparator + "5";
}

std::string longitudeText(int halfDegrees, char decimalSeparator)
{
    const std::string degrees = halfDegreesText(std::abs(halfDegrees), decimalSeparator) + "\u00B0";
    if (halfDegrees == 0)
        return degrees;
    return (halfDegrees < 0 ? "W " : "E ") + degrees;
}

std::string latitudeText(int halfDegrees, char decimalSeparator)
{
    return (halfDegrees < 0 ? "S " : "N ") + halfDegreesText(std::abs(halfDegrees), decimalSeparator);
}

int calculatorPosition(int offsetMinutes, bool dstTicked)
{
    const int position = offsetMinutes / 2 + kNoOffset; // C++ division truncates toward zero
    return dstTicked ? dstShifted(position, true) : position;
}

} // namespace ormid
