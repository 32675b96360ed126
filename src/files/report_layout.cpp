#include "files/report_layout.h"

#include <array>
#include <cstddef>
#include <utility>

namespace ormid {

namespace {

using reportPage::baseline;
using reportPage::ruleAbove;

// Section rules and the page header's rules span the text width.
constexpr int kRuleLeft = 50;
constexpr int kRuleRight = 550;
constexpr int kHeaderRule = 770;
// An engine table's frame: its rules and column lines.
constexpr int kTableLeft = 160;
constexpr int kTableRight = 520;
constexpr std::array kTableColumnLines = {160, 280, 400, 470, 520};
// The address lines; cut where the header rule ends.
constexpr int kHeaderTextX = 200;
constexpr int kLine1Y = 795;
constexpr int kLine2Y = 780;
constexpr int kHeaderTextWidth = kRuleRight - kHeaderTextX;
constexpr int kPageNumberX = 300;
constexpr int kPageNumberY = 25;
// An engine table whose rows reach this line goes on on the next page.
constexpr int kTableBreakLine = 29;
// T-management starts on the next page when the LSt section ends below this line.
constexpr int kLastLineBeforeTManagement = 25;
// The profile chart ends above the page number.
constexpr int kChartBottom = 45;

// How an engine table ended: on the page it is on, or filling its page exactly, so that
// the next section starts at the top of the new page.
enum class TableEnd { onPage, filledPage };

class PageWriter {
public:
    explicit PageWriter(const ReportHeader& header) : header_(header) { startPage(); }

    void add(const ReportSection& section)
    {
        putLines(section.lines);
        if (section.id == ReportSectionId::Project) {
            closeSection();
            rule(kRuleLeft, ruleAbove(n_) + 1, kRuleRight, ruleAbove(n_) + 1);
            return;
        }
        TableEnd end = TableEnd::onPage;
        if (section.table) {
            ++n_;
            end = table(*section.table);
        }
        if (section.id == ReportSectionId::TManagement || end == TableEnd::filledPage)
            return;
        if (section.id == ReportSectionId::Lst && n_ > kLastLineBeforeTManagement)
            nextPage();
        else
            closeSection();
    }

    // The profile starts a page of its own: a bold heading, the year's saving and the
    // chart down to the page number.
    void addProfile(const ReportProfile& profile)
    {
        nextPage();
        text(kRuleLeft, baseline(0), "Tonight's light (an estimate)", true, 0);
        const std::string year = profile.yearEnergy ? savedText(*profile.yearEnergy) : std::string("nothing");
        text(kRuleLeft, baseline(1), "Yearly saving: " + year + " against full output over 365 nights", false, 0);
        const int top = ruleAbove(2);
        page().chart = PlacedChart{kRuleLeft, kChartBottom, kRuleRight - kRuleLeft, top - kChartBottom, profile.chart};
    }

    std::vector<ReportPage> pages() && { return std::move(pages_); }

private:
    ReportPage& page() { return pages_.back(); }

    void text(int x, int y, const std::string& text, bool bold, int maxWidth)
    {
        if (!text.empty())
            page().texts.push_back({x, y, text, bold, maxWidth});
    }
    void rule(int x1, int y1, int x2, int y2) { page().rules.push_back({x1, y1, x2, y2}); }

    void startPage()
    {
        pages_.emplace_back();
        n_ = 0;
        text(kHeaderTextX, kLine1Y, header_.line1, true, kHeaderTextWidth);
        text(kHeaderTextX, kLine2Y, header_.line2, false, kHeaderTextWidth);
        rule(kRuleLeft, kHeaderRule, kRuleRight, kHeaderRule);
        if (pages_.size() == 1)
            rule(kRuleLeft, kHeaderRule + 1, kRuleRight, kHeaderRule + 1);
        else
            pageNumber();
    }
    void pageNumber() { text(kPageNumberX, kPageNumberY, "Page " + std::to_string(pages_.size()), false, 0); }
    void nextPage()
    {
        pageNumber();
        startPage();
    }

    void putLine(const ReportLine& line)
    {
        for (const ReportText& t : line.texts)
            text(t.x, baseline(n_), t.text, t.bold, t.maxWidth);
    }
    // The first line on the current line, each further one on the next.
    void putLines(const std::vector<ReportLine>& lines)
    {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i > 0)
                ++n_;
            putLine(lines[i]);
        }
    }
    void closeSection()
    {
        ++n_;
        rule(kRuleLeft, ruleAbove(n_), kRuleRight, ruleAbove(n_));
    }

    // The top rule, the header row and the rule below it; the top rule's y.
    int tableHead(const ReportLine& header)
    {
        const int top = ruleAbove(n_);
        rule(kTableLeft, top, kTableRight, top);
        putLine(header);
        ++n_;
        rule(kTableLeft, ruleAbove(n_), kTableRight, ruleAbove(n_));
        return top;
    }
    // The bottom rule above the next free line and the column lines down to it.
    void frameTable(int top)
    {
        const int bottom = ruleAbove(n_);
        rule(kTableLeft, bottom, kTableRight, bottom);
        for (const int x : kTableColumnLines)
            rule(x, top, x, bottom);
    }
    TableEnd table(const ReportTable& table)
    {
        int top = tableHead(table.header);
        for (std::size_t i = 0; i < table.rows.size(); ++i) {
            putLine(table.rows[i]);
            ++n_;
            if (n_ < kTableBreakLine)
                continue;
            frameTable(top);
            nextPage();
            if (i + 1 == table.rows.size())
                return TableEnd::filledPage;
            n_ = 1;
            top = tableHead(table.header);
        }
        frameTable(top);
        return TableEnd::onPage;
    }

    const ReportHeader& header_;
    std::vector<ReportPage> pages_;
    int n_ = 0; // the current report line of the page
};

} // namespace

std::optional<ReportProfile> buildReportProfile(const EeBlock& image, const ProfileRequest& request)
{
    const auto night = nightProfile(image, request);
    if (!night)
        return std::nullopt;
    const std::optional<double> year = yearEnergy(image, request);
    return ReportProfile{makeProfileChart(*night, request, year), year};
}

std::vector<ReportPage> layoutReport(const ReportModel& model, const ReportHeader& header, const ReportProfile* profile)
{
    PageWriter writer(header);
    for (const ReportSection& section : model.sections)
        writer.add(section);
    if (profile)
        writer.addProfile(*profile);
    return std::move(writer).pages();
}

} // namespace ormid
