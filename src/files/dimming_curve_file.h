#pragma once
// Dimming-curve files (*.dc): 101 lines, line i the output level in percent for the
// input level i %. Pure functions: the caller lists and reads the curve folder.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/image.h"

namespace ormid {

constexpr std::size_t kCurvePoints = 101;
constexpr int kCurveMaxLevel = 100;
// 101 short lines make a curve file of a few hundred bytes; a file far larger is none.
constexpr std::size_t kMaxCurveFileSize = 64 * 1024;

enum class CurveFileStatus { Valid, WrongPointCount, WrongData };

// "Error: Nr. of points is not 101!" / "Error: Wrong Data!"; empty for a valid file.
std::string_view curveFileMessage(CurveFileStatus status);

struct CurveFileLoad {
    CurveFileStatus status = CurveFileStatus::Valid;
    std::vector<Byte> points; // always kCurvePoints entries
    bool valid() const { return status == CurveFileStatus::Valid; }
};

// Loads a curve over `currentCurve` (`dimmingCurve`): with a wrong number of lines the
// points stay as they were; a line that is not an integer leaves its point as it was;
// an integer keeps its low 8 bits even when it lies outside 0..100.
CurveFileLoad readDimmingCurve(std::string_view text, const std::vector<Byte>& currentCurve);

// A decimal integer with an optional leading '-', blanks or tabs around it, nothing else on the line.
std::optional<int> parseCurveValue(std::string_view line);

// Files of 100 bytes or less are not offered in the curve list.
constexpr bool isListableCurveFileSize(std::uintmax_t size)
{
    return size > 100;
}

// The extension ".dc" in any case.
bool hasCurveExtension(std::string_view fileName);

} // namespace ormid
