#pragma once
// Byte encodings of the image's values and their on-screen texts. All pure.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/image.h"

namespace ormid {

// Bit operations; the bit number is taken modulo 32.
bool TestBit(std::uint32_t value, Byte bit);
Byte SetBit(std::uint32_t value, Byte bit);
Byte ClearBit(std::uint32_t value, Byte bit);
// SetBit or ClearBit, as `set` says.
Byte PutBit(std::uint32_t value, Byte bit, bool set);

// Time codes: bits 7-6 a unit of 1, 10, 60 or 900, bits 5-0 a count.
int decodeTimeCode(int code);
// Finest unit whose range holds t; no upper clamp (callers keep t <= 56700).
int encodeTimeCode(int t);
constexpr int kLargestTime = 63 * 900;

// The 16 device fade rates: texts, milliseconds per percent and time codes.
constexpr std::size_t kFadeCount = 16;
extern const std::array<std::string_view, kFadeCount> fadeTexts;
extern const std::array<int, kFadeCount> fadeTimesMs;
extern const std::array<Byte, kFadeCount> fadeCodes;

// Text parsers read fixed character positions. A text of the wrong length
// gives the parser's fallback; a non-digit inside a number position gives
// std::nullopt, which the caller reports as invalid input.
using Parsed = std::optional<int>;

Parsed parseSeconds(std::string_view text);       // "HH:MM:SS" -> seconds, else 0
Parsed parseMinutes(std::string_view text);       // "HH:MM" -> minutes, else 0
Parsed parseMilliseconds(std::string_view text);  // "SS,mmm..." -> milliseconds, else 0
Parsed parseTimeOfDayCode(std::string_view text); // "HH:MM:SS" -> 256 + v (time-of-day), else 128
Parsed parseOffsetCode(std::string_view text);    // "[±]HH:MM:SS" -> offset position, else 128

// Index into the fade tables for a fade text; kFadeCount when none matches.
Parsed parseFadeRate(std::string_view text);
// Index of the fade rate nearest to the speed a fade time code stands for.
Byte nearestFadeRate(Byte code);
// Level rounded to a multiple of 5; bit 7 kept; FF stays FF.
Byte levelInFiveSteps(Byte level);

// `value` in decimal with leading zeros up to `width` digits.
std::string padded(int value, std::size_t width);

std::string secondsText(int seconds);      // "0" or HH:MM:SS
std::string hoursMinutesText(int seconds); // "0" or HH:MM
std::string millisecondsText(int ms);      // "0" or SS,mmm
std::string offsetCodeText(int minutes);   // "0" or [-]HH:MM:SS
std::string timeOfDayText(int code);       // time-of-day code -> HH:MM:00

} // namespace ormid
