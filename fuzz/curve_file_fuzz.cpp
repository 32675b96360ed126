// Dimming-curve files (*.dc): the 101 lines read over the current curve, each line's
// value, and the file-name test of the curve list.

#include <algorithm>
#include <string>

#include "core/text_lines.h"
#include "files/dimming_curve_file.h"
#include "fuzz_input.h"

// Input: one byte that sets the current curve's points (and how many there are),
// then the file's text; the text's last 8 bytes are also tried as a file name.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    fuzz::FuzzInput input(data, size);
    const Byte choice = input.byte();
    const std::string text = input.restText();

    std::vector<Byte> current(choice % (kCurvePoints + 2));
    for (std::size_t i = 0; i < current.size(); ++i)
        current[i] = static_cast<Byte>(i ^ choice);

    const CurveFileLoad load = readDimmingCurve(text, current);
    FUZZ_CHECK(load.points.size() == kCurvePoints);
    FUZZ_CHECK(load.valid() == curveFileMessage(load.status).empty());
    std::vector<Byte> kept = current;
    kept.resize(kCurvePoints, 0);
    if (load.status == CurveFileStatus::WrongPointCount)
        FUZZ_CHECK(load.points == kept); // the curve stays as it was
    const std::vector<std::string_view> lines = splitTextLines(text);
    if (load.valid()) {
        FUZZ_CHECK(lines.size() == kCurvePoints);
        FUZZ_CHECK(std::all_of(load.points.begin(), load.points.end(), [](Byte p) { return p <= kCurveMaxLevel; }));
    }
    if (lines.size() == kCurvePoints) {
        // A line that is not an integer leaves its point as it was.
        for (std::size_t i = 0; i < kCurvePoints; ++i)
            if (!parseCurveValue(lines[i]))
                FUZZ_CHECK(load.points[i] == kept[i]);
    }

    const std::string name = text.substr(text.size() - std::min<std::size_t>(text.size(), 8));
    const bool extension = hasCurveExtension(name);
    FUZZ_CHECK(!extension || (name.size() >= 3 && name[name.size() - 3] == '.'));
    return 0;
}
