#pragma once
// The report's pages: the report model placed on A4 pages as texts and rules, with
// the page header, the section rules, the engine tables' frames, the page break and
// the page numbers. Plain data in PDF points with the origin at the bottom left;
// report_pdf.h draws it.

#include <optional>
#include <string>
#include <vector>

#include "files/profile_chart.h"
#include "files/report_header.h"
#include "files/report_model.h"

namespace ormid {

struct PlacedText {
    int x = 0;
    int y = 0; // baseline
    std::string text;
    bool bold = false;
    int maxWidth = 0; // points the text is cut to when drawn; 0 = not cut
};

// A straight rule from (x1, y1) to (x2, y2).
struct PlacedRule {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    bool operator==(const PlacedRule&) const = default;
};

// A profile chart in the box whose bottom left corner is (x, y).
struct PlacedChart {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    ProfileChart chart;
};

struct ReportPage {
    std::vector<PlacedText> texts;
    std::vector<PlacedRule> rules;
    std::optional<PlacedChart> chart;
};

// The profile page the report adds on request: a night's chart and the year's saving.
struct ReportProfile {
    ProfileChart chart;
    std::optional<double> yearEnergy;
};
// The profile page of `image` for the night `request` asks for; nullopt before the sun
// series holds.
std::optional<ReportProfile> buildReportProfile(const EeBlock& image, const ProfileRequest& request);

namespace reportPage {
// A4 portrait.
constexpr double width = 595.276;
constexpr double height = 841.89;
// The logo on every page: its bottom left corner and size.
constexpr int logoX = 50;
constexpr int logoY = 780;
constexpr int logoWidth = 136;
constexpr int logoHeight = 24;
// The baseline of report line n.
constexpr int baseline(int n)
{
    return 750 - 25 * n;
}
// The rule above report line n.
constexpr int ruleAbove(int n)
{
    return 766 - 25 * n;
}
} // namespace reportPage

// One or two pages, and with `profile` a page with its chart; each page's header lines
// carry `header`.
std::vector<ReportPage> layoutReport(const ReportModel& model, const ReportHeader& header,
                                     const ReportProfile* profile = nullptr);

} // namespace ormid
