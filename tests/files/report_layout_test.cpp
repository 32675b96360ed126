#include "files/report_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "files/report_images.h"

namespace ormid {
namespace {

using reportPage::baseline;
using reportPage::ruleAbove;
using Lines = std::vector<std::string>;

const ReportHeader kHeader{"Line one", "Line two"};
constexpr std::array kColumnLines = {160, 280, 400, 470, 520};

ReportProject project(std::string name, std::string luminaire = "LED 40W", std::string driver = "D-1")
{
    return {std::move(name), std::move(luminaire), std::move(driver), "01.02.2025"};
}

std::vector<ReportPage> pagesOf(const EeBlock& image, const ReportProject* p)
{
    return layoutReport(buildReportModel(image, p), kHeader);
}

// The texts on baseline y as "x:text", left to right as placed.
Lines textsAt(const ReportPage& page, int y)
{
    Lines texts;
    for (const PlacedText& t : page.texts) {
        if (t.y == y)
            texts.push_back(std::to_string(t.x) + ":" + t.text);
    }
    return texts;
}
Lines line(const ReportPage& page, int n)
{
    return textsAt(page, baseline(n));
}

long rulesLike(const ReportPage& page, const PlacedRule& rule)
{
    return std::count(page.rules.begin(), page.rules.end(), rule);
}
PlacedRule sectionRule(int y)
{
    return {50, y, 550, y};
}
PlacedRule tableRule(int y)
{
    return {160, y, 520, y};
}
// The five column lines of a table from its top rule down to its bottom rule.
bool framed(const ReportPage& page, int top, int bottom)
{
    return std::all_of(kColumnLines.begin(), kColumnLines.end(), [&](int x) {
        return rulesLike(page, {x, top, x, bottom}) == 1;
    });
}

// Page and line of the first text starting with `label`; {-1, -1} when none does.
std::pair<int, int> whereIs(const std::vector<ReportPage>& pages, const std::string& label)
{
    for (std::size_t p = 0; p < pages.size(); ++p) {
        for (int n = 0; n < 30; ++n) {
            const Lines texts = line(pages[p], n);
            if (!texts.empty() && texts.front() == "50:" + label)
                return {static_cast<int>(p), n};
        }
    }
    return {-1, -1};
}

TEST(ReportLayout, EveryPageHasTheHeaderAndOnlyTheFirstTheDoubleRule)
{
    const ReportProject p = project("Park");
    const auto pages = pagesOf(test::fullReportImage(), &p);
    ASSERT_EQ(pages.size(), 2u);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i);
        const ReportPage& page = pages[i];
        EXPECT_EQ(textsAt(page, 795), (Lines{"200:Line one"}));
        EXPECT_EQ(textsAt(page, 780), (Lines{"200:Line two"}));
        for (const PlacedText& t : page.texts) {
            if (t.y == 795 || t.y == 780) {
                EXPECT_EQ(t.bold, t.y == 795);
                EXPECT_EQ(t.maxWidth, 350) << "the address lines end where the rules end";
            }
        }
        EXPECT_EQ(rulesLike(page, sectionRule(770)), 1);
        EXPECT_EQ(rulesLike(page, sectionRule(771)), i == 0 ? 1 : 0);
        EXPECT_EQ(textsAt(page, 25), (Lines{"300:Page " + std::to_string(i + 1)}));
    }
}

TEST(ReportLayout, AOnePageReportHasNoPageNumberAndNoRuleAfterTManagement)
{
    const auto pages = pagesOf(makeDefaultImage(), nullptr);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(textsAt(pages[0], 25).empty());
    const auto [page, n] = whereIs(pages, "T-management:");
    ASSERT_EQ(page, 0);
    EXPECT_EQ(rulesLike(pages[0], sectionRule(ruleAbove(n))), 1) << "LSt is closed above it";
    EXPECT_EQ(rulesLike(pages[0], sectionRule(ruleAbove(n + 1))), 0) << "the report ends without a rule";
}

TEST(ReportLayout, TheProjectLinesAndTheirDoubleRuleComeOnlyWithAName)
{
    const struct {
        const char* name;
        std::optional<ReportProject> project;
        Lines line0;
        Lines line1;
        int outputLine;
    } cases[] = {
        {"no project",
         std::nullopt,
         {"50:Output: ", "160:Analog 1-10V", "300:Relay zero-cross switching: ON"},
         {"160:Min. level= 0%"},
         0},
        {"an empty name hides luminaire and driver",
         project(""),
         {"50:Output: ", "160:Analog 1-10V", "300:Relay zero-cross switching: ON"},
         {"160:Min. level= 0%"},
         0},
        {"a name",
         project("Park"),
         {"50:Project Name: ", "160:Park", "450:Date: ", "480:01.02.2025"},
         {"50:Luminaire : ", "160:LED 40W", "300:Driver : ", "350:D-1"},
         2},
        {"a name without luminaire and driver",
         project("Park", "", ""),
         {"50:Project Name: ", "160:Park", "450:Date: ", "480:01.02.2025"},
         {"50:Luminaire : ", "300:Driver : "},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pages = pagesOf(makeDefaultImage(), c.project ? &*c.project : nullptr);
        const ReportPage& page = pages.front();
        EXPECT_EQ(line(page, 0), c.line0);
        EXPECT_EQ(line(page, 1), c.line1);
        EXPECT_EQ(whereIs(pages, "Output: ").second, c.outputLine);
        const bool withProject = c.outputLine > 0;
        EXPECT_EQ(rulesLike(page, sectionRule(716)), 1);
        EXPECT_EQ(rulesLike(page, sectionRule(717)), withProject ? 1 : 0);
        if (!withProject)
            continue;
        for (const PlacedText& t : page.texts) {
            if (t.y == baseline(0) || t.y == baseline(1)) {
                EXPECT_EQ(t.maxWidth, t.x == 160 ? (t.y == baseline(0) ? 290 : 130) : t.x == 350 ? 200 : 0) << t.text;
            }
        }
    }
}

TEST(ReportLayout, AnEmptyEngineOneTableIsClosedRightBelowItsHeader)
{
    EeBlock image = makeDefaultImage();
    image[engine1Step(1) + 2] = kFreeLevel;
    const auto pages = pagesOf(image, nullptr);
    const ReportPage& page = pages.front();
    const int headerLine = whereIs(pages, "ISD:").second + 2; // after the Auto DST line
    EXPECT_EQ(line(page, headerLine), (Lines{"170:Time", "290:Fade", "410:Level", "480:Relay"}));
    const int top = ruleAbove(headerLine);
    const int bottom = ruleAbove(headerLine + 1);
    EXPECT_EQ(rulesLike(page, tableRule(top)), 1);
    EXPECT_EQ(rulesLike(page, tableRule(bottom)), 2) << "the rule below the header and the table's end";
    EXPECT_TRUE(framed(page, top, bottom));
    EXPECT_EQ(whereIs(pages, "LSt:").second, headerLine + 2);
    EXPECT_EQ(rulesLike(page, sectionRule(ruleAbove(headerLine + 2))), 1);
}

TEST(ReportLayout, TheFullImageBreaksTheEngineTwoTableAfterItsThirdRow)
{
    const ReportProject p = project("Park");
    const auto pages = pagesOf(test::fullReportImage(), &p);
    ASSERT_EQ(pages.size(), 2u);
    const ReportPage& first = pages[0];
    const ReportPage& second = pages[1];

    EXPECT_EQ(whereIs(pages, "LSt:"), std::make_pair(0, 24));
    EXPECT_EQ(line(first, 25), (Lines{"170:Delay", "290:Fade", "410:Level", "480:Relay"}));
    EXPECT_EQ(line(first, 26), (Lines{"170:00:00:10", "290:00,100", "410:10", "480: OFF"}));
    EXPECT_EQ(line(first, 28), (Lines{"170:00:00:30", "290:00,100", "410:30", "480: OFF"}));
    EXPECT_EQ(rulesLike(first, tableRule(41)), 1);
    EXPECT_TRUE(framed(first, ruleAbove(25), 41));
    for (const PlacedText& t : first.texts)
        EXPECT_TRUE(t.y >= baseline(28) || t.text == "Page 1") << t.text << " below the last row";

    EXPECT_TRUE(line(second, 0).empty());
    EXPECT_EQ(line(second, 1), (Lines{"170:Delay", "290:Fade", "410:Level", "480:Relay"}));
    EXPECT_EQ(rulesLike(second, tableRule(741)), 1);
    EXPECT_EQ(rulesLike(second, tableRule(716)), 1);
    for (int row = 4; row <= 10; ++row) {
        SCOPED_TRACE(row);
        const std::string delay
            = row < 6 ? "00:00:" + std::to_string(10 * row) : "00:01:" + std::to_string(row - 6) + "0";
        EXPECT_EQ(
            line(second, row - 2),
            (Lines{"170:" + delay, "290:00,100", "410:" + std::to_string(10 * row), row % 2 ? "480: OFF" : "480: ON"}));
    }
    EXPECT_EQ(rulesLike(second, tableRule(ruleAbove(9))), 1);
    EXPECT_TRUE(framed(second, 741, ruleAbove(9)));
    EXPECT_EQ(rulesLike(second, sectionRule(ruleAbove(10))), 1) << "LSt is closed on the new page";
    EXPECT_EQ(line(second, 10), (Lines{"50:T-management:", "160:T1= 85°C", "280:Level= 30%         Relay OFF"}));
    EXPECT_EQ(line(second, 11), (Lines{"160:T2= 70°C", "280:Level= 50%"}));
    EXPECT_EQ(line(second, 12), (Lines{"160:T3= 60°C", "280:Level= 70%"}));
}

// Where T-management starts: after the LSt section on page 1 while it ends on line 25 at
// the latest, else at the top of page 2; after a table that went on there, below it.
TEST(ReportLayout, TManagementStartsOnTheSecondPageWhenLStEndsBelowLine25)
{
    const struct {
        const char* name;
        bool withProject;
        std::size_t engine2Steps;
        bool lstOn;
        std::pair<int, int> tManagement; // page, line
        bool lstClosed;                  // LSt's section rule above T-management
    } cases[] = {
        {"LSt ends on line 25", false, 1, true, {0, 26}, true},
        {"LSt ends on line 26", false, 2, true, {1, 0}, false},
        {"LSt ends on line 28", true, 2, true, {1, 0}, false},
        {"the third row fills page 1", true, 3, true, {1, 0}, false},
        {"rows 6 to 10 go on on page 2", false, 10, true, {1, 8}, true},
        {"LSt off on line 24", true, 10, false, {0, 25}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = test::withEngine2Steps(test::fullReportImage(), c.engine2Steps);
        if (!c.lstOn)
            image[field::outputByte] = ClearBit(image[field::outputByte], bit::lstEnable);
        const ReportProject p = project("Park");
        const auto pages = pagesOf(image, c.withProject ? &p : nullptr);
        const auto [page, n] = whereIs(pages, "T-management:");
        EXPECT_EQ(std::make_pair(page, n), c.tManagement);
        ASSERT_GE(page, 0);
        EXPECT_EQ(rulesLike(pages[static_cast<std::size_t>(page)], sectionRule(ruleAbove(n))), c.lstClosed ? 1 : 0);
        EXPECT_EQ(pages.size(), static_cast<std::size_t>(page + 1));
    }
}

} // namespace
} // namespace ormid
