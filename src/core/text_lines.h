#pragma once
// Line and hexadecimal helpers for the text files the program reads and writes
// (configuration files, firmware containers, dimming curves).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/image.h"

namespace ormid {

// The text after a leading UTF-8 byte-order mark (an editor may put one before "MMN",
// "FWX" or a curve's first value); the text itself when it has none.
std::string_view withoutByteOrderMark(std::string_view text);

// Splits at CR LF, LF or CR, after a leading byte-order mark. A line break at the very
// end closes the last line and starts no further one; an empty line anywhere else is a
// line. With `maxLines`, splitting stops after that many lines: a reader that needs
// only the first few lines of a file does not pay for every line of a huge one.
std::vector<std::string_view> splitTextLines(std::string_view text, std::size_t maxLines = SIZE_MAX);

// The text without the `blanks` at its start and end.
std::string_view trimmed(std::string_view text, std::string_view blanks = " \t");

// Removes the empty lines at the end (a file saved with extra line breaks).
void dropTrailingEmptyLines(std::vector<std::string_view>& lines);

// The items of a list such as "M1,M3": every piece between separators, empty ones
// included; an empty text has no items.
std::vector<std::string_view> splitList(std::string_view text, char separator = ',');

// A whole decimal number ("42", "-3"); nullopt when empty, out of range or not all digits.
std::optional<int> parseDecimal(std::string_view text);

// Text from outside (a command-line argument) as a message may repeat it: control
// characters shown as '?', and beyond `maxBytes` cut at a character boundary, with
// "... (N bytes)" after it, so a huge argument is never printed back whole.
std::string textForMessage(std::string_view text, std::size_t maxBytes = 60);

// Digits of either case; nullopt when empty, longer than 8 digits or not all hexadecimal.
std::optional<std::uint32_t> parseHexNumber(std::string_view digits);

// Two digits per byte, either case; nullopt when the count is odd or a character is not hexadecimal.
std::optional<std::vector<Byte>> parseHexBytes(std::string_view digits);

// Uppercase, zero-padded to `digits` digits.
std::string hexNumber(std::uint32_t value, int digits);

// A byte as two uppercase digits ("0A"), as log lines and files write it.
std::string hexByte(Byte value);

// Every byte as two uppercase digits, without separators ("12345678").
std::string hexBytes(ByteSpan bytes);

} // namespace ormid
