#include "core/text_lines.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace ormid {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

std::optional<unsigned> hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    return std::nullopt;
}

} // namespace

std::string_view withoutByteOrderMark(std::string_view text)
{
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    return text;
}

std::string_view trimmed(std::string_view text, std::string_view blanks)
{
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::vector<std::string_view> splitTextLines(std::string_view text, std::size_t maxLines)
{
    text = withoutByteOrderMark(text);
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size() && lines.size() < maxLines) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        start = end + (crLf ? 2 : 1);
    }
    return lines;
}

void dropTrailingEmptyLines(std::vector<std::string_view>& lines)
{
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
}

std::vector<std::string_view> splitList(std::string_view text, char separator)
{
    std::vector<std::string_view> items;
    if (text.empty())
        return items;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        items.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return items;
        start = end + 1;
    }
}

std::optional<int> parseDecimal(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string textForMessage(std::string_view text, std::size_t maxBytes)
{
    std::size_t kept = std::min(text.size(), maxBytes);
    // A UTF-8 sequence is cut before its first byte, never inside.
    while (kept < text.size() && kept > 0 && (static_cast<unsigned char>(text[kept]) & 0xC0) == 0x80)
        --kept;
    std::string shown(text.substr(0, kept));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    if (kept < text.size())
        shown += "... (" + std::to_string(text.size()) + " bytes)";
    return shown;
}

std::optional<std::uint32_t> parseHexNumber(std::string_view digits)
{
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : digits) {
        const auto digit = hexDigit(c);
        if (!digit)
            return std::nullopt;
        value = (value << 4) | *digit;
    }
    return value;
}

std::optional<std::vector<Byte>> parseHexBytes(std::string_view digits)
{
    if (digits.size() % 2 != 0)
        return std::nullopt;
    std::vector<Byte> bytes;
    bytes.reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const auto value = parseHexNumber(digits.substr(i, 2));
        if (!value)
            return std::nullopt;
        bytes.push_back(static_cast<Byte>(*value));
    }
    return bytes;
}

std::string hexNumber(std::uint32_t value, int digits)
{
    std::string text(static_cast<std::size_t>(digits), '0');
    for (auto it = text.rbegin(); it != text.rend(); ++it, value >>= 4)
        *it = kDigits[value & 0xF];
    return text;
}

std::string hexByte(Byte value)
{
    return hexNumber(value, 2);
}

std::string hexBytes(ByteSpan bytes)
{
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const Byte b : bytes)
        text += hexByte(b);
    return text;
}

} // namespace ormid
