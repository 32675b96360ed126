#pragma once
// The configuration in words, laid out as the report prints it: sections of
// lines, each line a few texts at their x positions (PDF points). The PDF report
// draws this model and `ormid-cli show` prints it, so both say the same.

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "core/image.h"

namespace ormid {

struct ReportText {
    int x = 0;
    std::string text; // UTF-8
    bool bold = false;
    int maxWidth = 0; // points the text is cut to when drawn; 0 = not cut
};

struct ReportLine {
    std::vector<ReportText> texts;
};

// A dimming-engine table: a bold header row and one row per used step.
struct ReportTable {
    ReportLine header;
    std::vector<ReportLine> rows;
};

enum class ReportSectionId { Project, Output, RemoteControl, PowerOn, BlockingTime, Mff, Isd, Lst, TManagement };

struct ReportSection {
    ReportSectionId id;
    std::vector<ReportLine> lines;    // the first line carries the bold label
    std::optional<ReportTable> table; // follows the lines
};

struct ReportModel {
    std::vector<ReportSection> sections;
};

// The most characters the project panel's fields take.
constexpr std::size_t kProjectNameLength = 50;
constexpr std::size_t kLuminaireLength = 25;
constexpr std::size_t kDriverLength = 25;

// The project panel's fields and today's date in the user's short form.
struct ReportProject {
    std::string name;
    std::string luminaire;
    std::string driver;
    std::string date;
};

// Text columns of the report, in points from the page's left edge.
namespace reportColumn {
constexpr int label = 50;
constexpr int value = 160;
constexpr int second = 280;
constexpr int relay = 300;
constexpr int third = 400;
constexpr int tableFirst = 170;
constexpr int tableFade = 290;
constexpr int tableLevel = 410;
constexpr int tableRelay = 480;
} // namespace reportColumn

// The project section appears only when the project's name is not empty.
ReportModel buildReportModel(const EeBlock& eeBlock, const ReportProject* project);

// `time`'s day in the short date form of the user's locale (LC_TIME, LANG), as the
// project line prints it; the C locale's form when the user's is not installed.
std::string shortDate(std::time_t time);

// Plain-text rendering: one text line per report line, texts placed in
// columns proportional to their x positions, sections separated by a blank line.
std::string formatReportText(const ReportModel& model);

} // namespace ormid
