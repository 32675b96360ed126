#include "core/encodings.h"

#include <cstdlib>

namespace ormid {

bool TestBit(std::uint32_t value, Byte bit)
{
    return (value >> (bit % 32)) & 1u;
}

Byte SetBit(std::uint32_t value, Byte bit)
{
    return static_cast<Byte>(value | (1u << (bit % 32)));
}

Byte ClearBit(std::uint32_t value, Byte bit)
{
    return static_cast<Byte>(value & ~(1u << (bit % 32)));
}

Byte PutBit(std::uint32_t value, Byte bit, bool set)
{
    return set ? SetBit(value, bit) : ClearBit(value, bit);
}

namespace {

// Unit multipliers of a time code, indexed by bits 7-6.
constexpr std::array<int, 4> kTimeUnits = {1, 10, 60, 900};

// Upper bounds (inclusive) of the values each unit encodes, finest first.
struct UnitRange {
    int last;
    int base;
    int unit;
};
constexpr std::array<UnitRange, 3> kEncodeRanges = {{
    {63, 0, 1},
    {630, 64, 10},
    {3780, 128, 60},
}};

// Reads the decimal number at 1-based positions [first, first + count).
Parsed digitsAt(std::string_view text, std::size_t first, std::size_t count)
{
    int value = 0;
    for (std::size_t i = first - 1; i < first - 1 + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// HH, MM and SS of an "HH:MM:SS" text (separators are not checked).
Parsed secondsOfHms(std::string_view text)
{
    const Parsed h = digitsAt(text, 1, 2);
    const Parsed m = digitsAt(text, 4, 2);
    const Parsed s = digitsAt(text, 7, 2);
    if (!h || !m || !s)
        return std::nullopt;
    return *h * 3600 + *m * 60 + *s;
}

} // namespace

std::string padded(int value, std::size_t width)
{
    std::string text = std::to_string(value);
    if (text.size() < width)
        text.insert(0, width - text.size(), '0');
    return text;
}

int decodeTimeCode(int code)
{
    const int low = code & 0xFF;
    const int unit = kTimeUnits[static_cast<std::size_t>(low >> 6)];
    if (unit == 1)
        return code;
    return (low & 0x3F) * unit;
}

int encodeTimeCode(int t)
{
    for (const UnitRange& range : kEncodeRanges) {
        if (t <= range.last)
            return range.base + t / range.unit;
    }
    return 192 + t / 900;
}

// clang-format off
const std::array<std::string_view, kFadeCount> fadeTexts = {
    "0", "00,100", "00,200", "00,300", "00,400", "00,500", "00,600", "01,200",
    "01,800", "02,400", "03,000", "03,600", "07,200", "10,800", "20,700", "36,000",
};
// clang-format on

// clang-format off
const std::array<int, kFadeCount> fadeTimesMs = {
    0, 100, 200, 300, 400, 500, 600, 1200, 1800, 2400, 3000, 3600, 7200, 10800, 20700, 36000,
};
// clang-format on

// clang-format off
const std::array<Byte, kFadeCount> fadeCodes = {
    0x00, 0x4A, 0x54, 0x5E, 0x68, 0x72, 0x7C, 0x94, 0x9E, 0xA8, 0xB2, 0xBC, 0xC8, 0xCC, 0xD7, 0xE8,
};
// clang-format on

Parsed parseSeconds(std::string_view text)
{
    if (text.size() != 8)
        return 0;
    return secondsOfHms(text);
}

Parsed parseMinutes(std::string_view text)
{
    if (text.size() != 5)
        return 0;
    const Parsed h = digitsAt(text, 1, 2);
    const Parsed m = digitsAt(text, 4, 2);
    if (!h || !m)
        return std::nullopt;
    return *h * 60 + *m;
}

Parsed parseMilliseconds(std::string_view text)
{
    if (text.size() < 6)
        return 0;
    const Parsed s = digitsAt(text, 1, 2);
    const Parsed ms = digitsAt(text, 4, 3);
    if (!s || !ms)
        return std::nullopt;
    return *s * 1000 + *ms;
}

Parsed parseTimeOfDayCode(std::string_view text)
{
    if (text.size() != 8)
        return 128;
    const Parsed h = digitsAt(text, 1, 2);
    const Parsed m = digitsAt(text, 4, 2);
    if (!h || !m)
        return std::nullopt;
    int minutes = *h * 60 + *m;
    if (minutes > 720)
        minutes -= 1440;
    return 256 + minutes / 5; // C++ division truncates toward zero, as the device expects
}

Parsed parseOffsetCode(std::string_view text)
{
    if (text.size() < 8)
        return 128;
    const bool negative = text.size() == 9;
    if (negative)
        text.remove_prefix(1);
    const Parsed seconds = secondsOfHms(text);
    if (!seconds)
        return std::nullopt;
    const int v = *seconds / 120;
    return negative ? 128 - v : 128 + v;
}

Parsed parseFadeRate(std::string_view text)
{
    const Parsed ms = parseMilliseconds(text);
    if (!ms)
        return std::nullopt;
    for (std::size_t i = 0; i < kFadeCount; ++i) {
        if (fadeTimesMs[i] == *ms)
            return static_cast<int>(i);
    }
    return static_cast<int>(kFadeCount);
}

Byte nearestFadeRate(Byte code)
{
    if (code == 0)
        return 0;
    if (code >= fadeCodes.back())
        return kFadeCount - 1;
    const int ms = decodeTimeCode(code);
    for (std::size_t i = 0; i + 1 < kFadeCount; ++i) {
        const int mid = (fadeTimesMs[i] + fadeTimesMs[i + 1]) / 2;
        if (ms <= mid)
            return static_cast<Byte>(i);
        if (fadeTimesMs[i + 1] >= ms)
            return static_cast<Byte>(i + 1);
    }
    return kFadeCount - 1; // unreachable for codes below E8 (at most 35100 ms)
}

Byte levelInFiveSteps(Byte level)
{
    if (level == kFreeLevel)
        return kFreeLevel;
    const int percent = level & 0x7F;
    const int rounded = 5 * ((percent + 2) / 5); // percent / 5 is never exactly halfway
    return static_cast<Byte>((level & 0x80) + rounded);
}

std::string secondsText(int seconds)
{
    if (seconds == 0)
        return "0";
    return padded(seconds / 3600, 2) + ":" + padded(seconds % 3600 / 60, 2) + ":" + padded(seconds % 60, 2);
}

std::string hoursMinutesText(int seconds)
{
    if (seconds == 0)
        return "0";
    return padded(seconds / 3600, 2) + ":" + padded(seconds % 3600 / 60, 2);
}

std::string millisecondsText(int ms)
{
    if (ms == 0)
        return "0";
    return padded(ms / 1000, 2) + "," + padded(ms % 1000, 3);
}

std::string offsetCodeText(int minutes)
{
    if (minutes == 0)
        return "0";
    const std::string text = secondsText(std::abs(minutes) * 60);
    return minutes < 0 ? "-" + text : text;
}

std::string timeOfDayText(int code)
{
    code &= 0xFF;
    if (code == 128)
        return "00:00:00";
    const int minutes = code < 128 ? code * 5 : (code - 256) * 5 + 1440;
    return padded(minutes / 60, 2) + ":" + padded(minutes % 60, 2) + ":00";
}

} // namespace ormid
