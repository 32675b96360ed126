#include "files/dimming_curve_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "core/text_lines.h"

namespace ormid {

std::string_view curveFileMessage(CurveFileStatus status)
{
    switch (status) {
    case CurveFileStatus::WrongPointCount:
        return "Error: Nr. of points is not 101!";
    case CurveFileStatus::WrongData:
        return "Error: Wrong Data!";
    case CurveFileStatus::Valid:
        break;
    }
    return {};
}

std::optional<int> parseCurveValue(std::string_view line)
{
    // Blanks around the number, as spreadsheets and editors may leave them, are no fault.
    constexpr std::string_view blanks = " \t";
    const std::size_t first = line.find_first_not_of(blanks);
    line = first == std::string_view::npos ? std::string_view{} : line.substr(first);
    line = line.substr(0, line.find_last_not_of(blanks) + 1);
    if (line.empty())
        return std::nullopt;
    int value = 0;
    const char* end = line.data() + line.size();
    const auto [ptr, ec] = std::from_chars(line.data(), end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

CurveFileLoad readDimmingCurve(std::string_view text, const std::vector<Byte>& currentCurve)
{
    CurveFileLoad result;
    result.points = currentCurve;
    result.points.resize(kCurvePoints, 0);

    // One line more than a curve has is enough to tell that the count is wrong.
    const auto lines = splitTextLines(text, kCurvePoints + 1);
    if (lines.size() != kCurvePoints) {
        result.status = CurveFileStatus::WrongPointCount;
        return result;
    }
    for (std::size_t i = 0; i < kCurvePoints; ++i) {
        const auto value = parseCurveValue(lines[i]);
        if (value)
            result.points[i] = static_cast<Byte>(*value & 0xFF);
        if (!value || *value < 0 || *value > kCurveMaxLevel)
            result.status = CurveFileStatus::WrongData;
    }
    return result;
}

bool hasCurveExtension(std::string_view fileName)
{
    constexpr std::string_view extension = ".dc";
    return fileName.size() >= extension.size()
        && std::equal(extension.begin(), extension.end(), fileName.end() - extension.size(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

} // namespace ormid
