#include "files/config_diff.h"

#include <algorithm>

#include "core/text_lines.h"
#include "files/report_model.h"

namespace ormid {

namespace {

constexpr std::string_view kArrow = " \u2192 ";
constexpr std::string_view kNone = "(none)";
constexpr std::string_view kColumnGap = "  ";

// A line's texts; the section's bold label is left out of the first line.
using Row = std::vector<std::string>;

struct SectionRows {
    std::string label;
    std::vector<Row> lines;     // compared text by text
    std::vector<Row> tableRows; // compared row by row (the table header included)
};

// The report pads some texts for its columns; a change is said without the padding.
std::string withoutPadding(std::string_view text)
{
    return std::string(trimmed(text, " "));
}

Row textsOf(const ReportLine& line, bool skipLabel)
{
    Row row;
    for (std::size_t i = skipLabel ? 1 : 0; i < line.texts.size(); ++i)
        row.push_back(withoutPadding(line.texts[i].text));
    return row;
}

SectionRows rowsOf(const ReportSection& section)
{
    SectionRows rows;
    for (std::size_t i = 0; i < section.lines.size(); ++i) {
        const bool labelled = i == 0 && !section.lines[i].texts.empty() && section.lines[i].texts.front().bold;
        if (labelled)
            rows.label = withoutPadding(section.lines[i].texts.front().text);
        rows.lines.push_back(textsOf(section.lines[i], labelled));
    }
    if (section.table) {
        rows.tableRows.push_back(textsOf(section.table->header, false));
        for (const ReportLine& row : section.table->rows)
            rows.tableRows.push_back(textsOf(row, false));
    }
    return rows;
}

std::string joined(const Row& row)
{
    std::string text;
    for (const std::string& part : row) {
        if (part.empty())
            continue;
        if (!text.empty())
            text += kColumnGap;
        text += part;
    }
    return text.empty() ? std::string(kNone) : text;
}

// Row i of each side; a side without it reads "(none)".
void compareRows(const std::string& label, const std::vector<Row>& before, const std::vector<Row>& after,
                 bool textByText, std::vector<ConfigChange>& changes)
{
    for (std::size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
        const Row none;
        const Row& a = i < before.size() ? before[i] : none;
        const Row& b = i < after.size() ? after[i] : none;
        if (a == b)
            continue;
        if (textByText && a.size() == b.size()) {
            for (std::size_t j = 0; j < a.size(); ++j)
                if (a[j] != b[j])
                    changes.push_back({label, a[j], b[j]});
        } else {
            changes.push_back({label, joined(a), joined(b)});
        }
    }
}

std::string byteLabel(std::size_t offset)
{
    return "Byte 0x" + hexByte(static_cast<Byte>(offset)) + " (" + std::to_string(offset) + "):";
}

} // namespace

std::vector<ConfigChange> diffConfigurations(const EeBlock& before, std::string_view infoBefore, const EeBlock& after,
                                             std::string_view infoAfter)
{
    EeBlock a = makeDefaultImage();
    EeBlock b = a;
    std::copy_n(before.begin(), std::min(before.size(), kStoredImageBytes), a.begin());
    std::copy_n(after.begin(), std::min(after.size(), kStoredImageBytes), b.begin());

    std::vector<ConfigChange> changes;
    const ReportModel modelA = buildReportModel(a, nullptr);
    const ReportModel modelB = buildReportModel(b, nullptr);
    for (const ReportSection& sectionA : modelA.sections) {
        const auto sectionB = std::find_if(modelB.sections.begin(), modelB.sections.end(),
                                           [&](const ReportSection& s) { return s.id == sectionA.id; });
        if (sectionB == modelB.sections.end())
            continue;
        const SectionRows rowsA = rowsOf(sectionA);
        const SectionRows rowsB = rowsOf(*sectionB);
        compareRows(rowsA.label, rowsA.lines, rowsB.lines, true, changes);
        compareRows(rowsA.label, rowsA.tableRows, rowsB.tableRows, false, changes);
    }
    if (infoBefore != infoAfter)
        changes.push_back({"Info:", std::string(infoBefore), std::string(infoAfter)});

    // A byte that neither report shows is listed as itself: taken over alone from the
    // other side, it changes neither configuration's report text. Judged from both
    // sides, "diff A B" and "diff B A" list the same bytes.
    const std::string textA = formatReportText(modelA);
    const std::string textB = formatReportText(modelB);
    const auto unshown = [](const EeBlock& image, std::size_t offset, Byte value, const std::string& text) {
        EeBlock changed = image;
        changed[offset] = value;
        return formatReportText(buildReportModel(changed, nullptr)) == text;
    };
    for (std::size_t offset = 0; offset < kStoredImageBytes; ++offset) {
        if (a[offset] != b[offset] && unshown(a, offset, b[offset], textA) && unshown(b, offset, a[offset], textB))
            changes.push_back({byteLabel(offset), "0x" + hexByte(a[offset]), "0x" + hexByte(b[offset])});
    }
    return changes;
}

std::string formatConfigChanges(const std::vector<ConfigChange>& changes)
{
    std::string text;
    for (const ConfigChange& change : changes)
        text += change.label + " " + change.before + std::string(kArrow) + change.after + "\n";
    return text;
}

} // namespace ormid
