// The configuration in words (the PDF report and `ormid-cli show`): any image of
// either size, with or without a project. Every text is UTF-8 and every section is
// there once.

#include <algorithm>
#include <string>
#include <string_view>

#include "core/text_codec.h"
#include "files/report_model.h"
#include "fuzz_input.h"

namespace ormid::fuzz {
namespace {

bool validUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1
            : (lead >> 5) == 0x06              ? 2
            : (lead >> 4) == 0x0E              ? 3
            : (lead >> 3) == 0x1E              ? 4
                                               : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

} // namespace
} // namespace ormid::fuzz

// Input: one byte of choices (bit 0 a 256-byte device image, bit 1 a project), the
// project's fields as code-page text when there is one, then the image bytes (the
// default image where the input ends).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    fuzz::FuzzInput input(data, size);
    const Byte choice = input.byte();
    std::optional<ReportProject> project;
    if (choice & 0x02) {
        project.emplace();
        for (std::string* field : {&project->name, &project->luminaire, &project->driver, &project->date})
            *field = cp1252ToUtf8(input.text(input.pick(64)));
    }
    EeBlock image = makeDefaultImage();
    if (choice & 0x01)
        enlargeToDeviceImage(image);
    const std::vector<Byte> bytes = input.bytes(image.size());
    std::copy(bytes.begin(), bytes.end(), image.begin());

    const ReportModel model = buildReportModel(image, project ? &*project : nullptr);
    std::vector<ReportSectionId> seen;
    for (const ReportSection& section : model.sections) {
        FUZZ_CHECK(std::find(seen.begin(), seen.end(), section.id) == seen.end());
        seen.push_back(section.id);
        FUZZ_CHECK(!section.lines.empty());
        for (const ReportLine& line : section.lines)
            for (const ReportText& text : line.texts)
                FUZZ_CHECK(fuzz::validUtf8(text.text));
    }
    const bool projectShown = std::find(seen.begin(), seen.end(), ReportSectionId::Project) != seen.end();
    FUZZ_CHECK(projectShown == (project && !project->name.empty()));
    FUZZ_CHECK(fuzz::validUtf8(formatReportText(model)));
    return 0;
}
