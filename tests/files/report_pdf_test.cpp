#include "files/report_pdf.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "files/pdf_text.h"
#include "files/report_images.h"

namespace ormid {
namespace {

using Lines = std::vector<std::string>;
using test::PdfPhrase;
using test::reportLine;

const ReportHeader kHeader{"Keldor Deutschland GmbH", "Musterstraße 1, 12345 Musterstadt"};
constexpr std::time_t kCreated = 1738400000; // 2025-02-01

ReportProject project(std::string name, std::string luminaire = "LED 40W", std::string driver = "D-1")
{
    return {std::move(name), std::move(luminaire), std::move(driver), "01.02.2025"};
}

// The report of `image` drawn and read back by poppler.
test::PdfReadBack printed(const EeBlock& image, const ReportProject* p, const ReportHeader& header = kHeader)
{
    const RenderResult pdf = renderReportPdf(layoutReport(buildReportModel(image, p), header), kCreated);
    EXPECT_TRUE(pdf.ok()) << pdf.error;
    const auto read = test::readPdf(pdf.bytes);
    EXPECT_TRUE(read.has_value()) << "poppler cannot open the document";
    return read.value_or(test::PdfReadBack{});
}

bool anywhere(const test::PdfReadBack& pdf, const std::string& part)
{
    for (const auto& page : pdf.pages) {
        for (const PdfPhrase& phrase : page) {
            if (phrase.text.find(part) != std::string::npos)
                return true;
        }
    }
    return false;
}

TEST(ReportPdf, TheFullImageReadsBackAtItsPlacesOnTwoPages)
{
    const ReportProject p = project("Park");
    const auto pdf = printed(test::fullReportImage(), &p);
    ASSERT_EQ(pdf.pages.size(), 2u);
    const auto& first = pdf.pages[0];
    const auto& second = pdf.pages[1];
    for (const auto& page : pdf.pages) {
        const auto line1 = test::phraseAt(page, 200, 795);
        ASSERT_TRUE(line1);
        EXPECT_EQ(line1->text, "Keldor Deutschland GmbH");
        EXPECT_TRUE(line1->bold);
        const auto line2 = test::phraseAt(page, 200, 780);
        ASSERT_TRUE(line2);
        EXPECT_EQ(line2->text, "Musterstraße 1, 12345 Musterstadt");
        EXPECT_FALSE(line2->bold);
    }
    EXPECT_EQ(reportLine(first, 0), (Lines{"50:Project Name:", "160:Park", "450:Date:", "480:01.02.2025"}));
    EXPECT_EQ(reportLine(first, 2), (Lines{"50:Output:", "160:DALI linear", "300:Relay zero-cross switching: ON"}));
    EXPECT_EQ(reportLine(first, 3), (Lines{"160:Min. level= 10%", "300:Store POL"}));
    EXPECT_EQ(reportLine(first, 4), (Lines{"50:Remote Control:", "160:Midnight", "300:Input= Mains"}));
    EXPECT_EQ(reportLine(first, 5),
              (Lines{"50:Power On:", "160:Delay= 00:01:00", "280:Fade= 01,200 s/%", "400:Level= 80 %"}));
    EXPECT_EQ(reportLine(first, 11), (Lines{"160:Auto DST: ON", "280:DST Start: 05:00", "400:DST Stop: 18:00"}));
    EXPECT_EQ(reportLine(first, 24), (Lines{"50:LSt:", "160:Input polarity: High->Low", "400:Hold time: 00:05:00"}));
    EXPECT_EQ(reportLine(first, 28), (Lines{"170:00:00:30", "290:00,100", "410:30", "483:OFF"}));
    EXPECT_EQ(test::phraseAt(first, 300, 25).value_or(PdfPhrase{}).text, "Page 1");

    EXPECT_TRUE(reportLine(second, 0).empty());
    EXPECT_EQ(reportLine(second, 1), (Lines{"170:Delay", "290:Fade", "410:Level", "480:Relay"}));
    EXPECT_EQ(reportLine(second, 2), (Lines{"170:00:00:40", "290:00,100", "410:40", "483:ON"}));
    EXPECT_EQ(reportLine(second, 8), (Lines{"170:00:01:40", "290:00,100", "410:100", "483:ON"}));
    const Lines t1 = reportLine(second, 10);
    ASSERT_EQ(t1.size(), 4u) << "label, T1, level and the relay note";
    EXPECT_EQ(Lines(t1.begin(), t1.begin() + 3), (Lines{"50:T-management:", "160:T1= 85°C", "280:Level= 30%"}));
    EXPECT_TRUE(t1[3].ends_with(":Relay OFF")) << t1[3];
    EXPECT_EQ(reportLine(second, 12), (Lines{"160:T3= 60°C", "280:Level= 70%"}));
    EXPECT_EQ(test::phraseAt(second, 300, 25).value_or(PdfPhrase{}).text, "Page 2");

    for (const auto& page : pdf.pages) {
        for (const PdfPhrase& phrase : page) {
            if (phrase.x == 50 && phrase.y <= 750) {
                EXPECT_TRUE(phrase.bold) << phrase.text;
            }
        }
    }
}

TEST(ReportPdf, AnEmptyProjectNameStartsWithOutputAndPrintsNoProjectData)
{
    const ReportProject p = project("", "Luminaire L7", "Driver D9");
    const auto pdf = printed(makeDefaultImage(), &p);
    ASSERT_EQ(pdf.pages.size(), 1u);
    EXPECT_EQ(reportLine(pdf.pages[0], 0),
              (Lines{"50:Output:", "160:Analog 1-10V", "300:Relay zero-cross switching: ON"}));
    for (const char* absent : {"Project", "Luminaire", "L7", "Driver", "D9", "Date"})
        EXPECT_FALSE(anywhere(pdf, absent)) << absent;
}

TEST(ReportPdf, PowerOnDelayRandomAndT2ZeroEndingTManagement)
{
    EeBlock image = test::fullReportImage();
    image[field::powerOnDelay] = kRandomDelay;
    image[field::tmT2] = 0;
    const auto pdf = printed(image, nullptr);
    const auto& last = pdf.pages.back();
    EXPECT_EQ(reportLine(pdf.pages[0], 3),
              (Lines{"50:Power On:", "160:Delay= Random", "280:Fade= 01,200 s/%", "400:Level= 80 %"}));
    int tManagement = -1;
    for (int n = 0; n < 30; ++n) {
        const Lines texts = reportLine(last, n);
        if (!texts.empty() && texts.front() == "50:T-management:")
            tManagement = n;
    }
    ASSERT_GE(tManagement, 0);
    EXPECT_TRUE(reportLine(last, tManagement + 1).empty()) << "T3 is set, but T2 = 0 ends the list";
    EXPECT_FALSE(anywhere(pdf, "T3="));
}

// limitText: characters come off the end until the text fits (Arial: W 11.33 pt, Ä 8.0 pt at 12 pt).
TEST(ReportPdf, ProjectFieldsAreCutCharacterByCharacterToTheirWidths)
{
    const auto repeat = [](const std::string& s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i)
            r += s;
        return r;
    };
    const struct {
        const char* name;
        ReportProject project;
        int x, n;
        std::string printed;
    } cases[] = {
        {"name, 290 pt", project(repeat("W", 50)), 160, 0, repeat("W", 25)},
        {"name of two-byte characters, 290 pt", project(repeat("Ä", 50)), 160, 0, repeat("Ä", 36)},
        {"a name that fits stays whole", project("Park am See"), 160, 0, "Park am See"},
        {"luminaire, 130 pt", project("P", repeat("W", 25)), 160, 1, repeat("W", 11)},
        {"driver, 200 pt", project("P", "L", repeat("W", 25)), 350, 1, repeat("W", 17)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pdf = printed(makeDefaultImage(), &c.project);
        ASSERT_FALSE(pdf.pages.empty());
        EXPECT_EQ(test::phraseAt(pdf.pages[0], c.x, 750 - 25 * c.n).value_or(PdfPhrase{}).text, c.printed);
    }
}

// However long a header line is, it is cut where a line just too long for the header is.
TEST(ReportPdf, AHeaderLineOfAnyLengthIsCutAtTheHeadersWidth)
{
    const auto repeat = [](const std::string& s, std::size_t n) {
        std::string r;
        r.reserve(s.size() * n);
        for (std::size_t i = 0; i < n; ++i)
            r += s;
        return r;
    };
    const auto headerPhrases = [](const ReportHeader& header) {
        const auto pdf = printed(makeDefaultImage(), nullptr, header);
        EXPECT_FALSE(pdf.pages.empty());
        if (pdf.pages.empty())
            return std::pair<std::string, std::string>{};
        return std::pair{test::phraseAt(pdf.pages[0], 200, 795).value_or(PdfPhrase{}).text,
                         test::phraseAt(pdf.pages[0], 200, 780).value_or(PdfPhrase{}).text};
    };
    const auto justTooLong = headerPhrases({repeat("W", 40), repeat("xÄ", 60)});
    EXPECT_LT(justTooLong.first.size(), 40u) << "40 W do not fit";
    EXPECT_LT(justTooLong.second.size(), repeat("xÄ", 60).size()) << "60 xÄ do not fit";
    EXPECT_EQ(headerPhrases({repeat("W", 200'000), repeat("xÄ", 100'000)}), justTooLong);
}

TEST(ReportPdf, DocumentInformationAndEmbeddedFonts)
{
    const auto pdf = printed(makeDefaultImage(), nullptr);
    EXPECT_EQ(pdf.creator, "Keldor");
    EXPECT_EQ(pdf.author, std::optional<std::string>("")) << "an Author entry that is empty";
    EXPECT_EQ(pdf.created, kCreated);
    ASSERT_EQ(pdf.fonts.size(), 2u) << "Arial regular and bold";
    for (const std::string& font : pdf.fonts) {
        EXPECT_TRUE(font.find("Arial") != std::string::npos || font.find("LiberationSans") != std::string::npos)
            << font;
        EXPECT_TRUE(font.ends_with(" embedded subset")) << font;
    }
}

TEST(ReportPdf, TextThatIsNotUtf8IsReadAsWindows1252)
{
    const ReportHeader header{"Line\tone",
                              "Stra\xDF"
                              "e 1"};
    const ReportProject p = project("M\xFC"
                                    "hle \xE4\xF6\xFC \x80");
    const auto pdf = printed(makeDefaultImage(), &p, header);
    ASSERT_FALSE(pdf.pages.empty());
    EXPECT_EQ(test::phraseAt(pdf.pages[0], 200, 795).value_or(PdfPhrase{}).text, "Line one");
    EXPECT_EQ(test::phraseAt(pdf.pages[0], 200, 780).value_or(PdfPhrase{}).text, "Straße 1");
    EXPECT_EQ(test::phraseAt(pdf.pages[0], 160, 750).value_or(PdfPhrase{}).text, "Mühle äöü €");
}

// A PNG page decoded again by cairo, as gray levels (0 black .. 255 white).
class PngPage {
public:
    explicit PngPage(const std::string& png) : png_(png)
    {
        surface_ = cairo_image_surface_create_from_png_stream(&PngPage::read, this);
    }
    ~PngPage() { cairo_surface_destroy(surface_); }
    PngPage(const PngPage&) = delete;
    PngPage& operator=(const PngPage&) = delete;

    bool ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface_); }
    int height() const { return cairo_image_surface_get_height(surface_); }
    int gray(int x, int y) const
    {
        const unsigned char* row
            = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
        std::uint32_t pixel;
        std::memcpy(&pixel, row + 4 * x, 4);
        return static_cast<int>(((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF)) / 3;
    }
    // The darkest pixel of the rectangle, in report points at `scale` pixels per point.
    int darkest(double left, double bottom, double right, double top, double scale) const
    {
        int result = 255;
        for (int y = static_cast<int>((841.89 - top) * scale); y < static_cast<int>((841.89 - bottom) * scale); ++y) {
            for (int x = static_cast<int>(left * scale); x < static_cast<int>(right * scale); ++x)
                result = std::min(result, gray(x, y));
        }
        return result;
    }

private:
    static cairo_status_t read(void* closure, unsigned char* data, unsigned int length)
    {
        auto* self = static_cast<PngPage*>(closure);
        if (self->png_.size() - self->offset_ < length)
            return CAIRO_STATUS_READ_ERROR;
        std::memcpy(data, self->png_.data() + self->offset_, length);
        self->offset_ += length;
        return CAIRO_STATUS_SUCCESS;
    }

    const std::string& png_;
    std::size_t offset_ = 0;
    cairo_surface_t* surface_ = nullptr;
};

TEST(ReportPdf, PngPagesShowTheRulesAndTheLogoWhereThePageSaysTheyAre)
{
    constexpr double kScale = 4;
    const ReportProject p = project("Park");
    const auto pages = layoutReport(buildReportModel(test::fullReportImage(), &p), kHeader);
    ASSERT_EQ(pages.size(), 2u);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i);
        const RenderResult png = renderReportPng(pages[i], kScale);
        ASSERT_TRUE(png.ok()) << png.error;
        const PngPage picture(png.bytes);
        ASSERT_TRUE(picture.ok());
        EXPECT_EQ(picture.width(), 2382);
        EXPECT_EQ(picture.height(), 3368);
        // Rules 0.2 pt wide, looked at between the address lines' ends and the page edge.
        EXPECT_EQ(picture.darkest(551, 769.8, 590, 770.2, kScale), 255) << "the rule ends at 550";
        EXPECT_LT(picture.darkest(450, 769.8, 549, 770.2, kScale), 230) << "the rule at 770";
        EXPECT_EQ(picture.darkest(450, 770.4, 549, 770.6, kScale), 255) << "a gap above 770";
        if (i == 0)
            EXPECT_LT(picture.darkest(450, 770.8, 549, 771.2, kScale), 230) << "the rule at 771 on page 1";
        else
            EXPECT_EQ(picture.darkest(450, 770.8, 549, 771.2, kScale), 255) << "no rule at 771 on page 2";
        EXPECT_EQ(picture.darkest(450, 772, 549, 778, kScale), 255);
        // The logo fills its box's left end and stays inside it.
        EXPECT_LT(picture.darkest(51, 781, 73, 803, kScale), 128) << "the logo's mark";
        EXPECT_EQ(picture.darkest(0, 772, 49.5, 841, kScale), 255) << "left of the logo";
        EXPECT_EQ(picture.darkest(50, 804.5, 190, 841, kScale), 255) << "above the logo";
    }
}

TEST(ReportPdf, PngResolutionOutOfRangeIsRefused)
{
    const auto pages = layoutReport(buildReportModel(makeDefaultImage(), nullptr), kHeader);
    for (const double scale : {0.0, -1.0, kMaxPngPixelsPerPoint + 0.5})
        EXPECT_FALSE(renderReportPng(pages[0], scale).ok()) << scale;
}

} // namespace
} // namespace ormid
