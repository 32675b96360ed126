#include "files/report_pdf.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <cmath>
#include <memory>
#include <new>
#include <numbers>
#include <string_view>
#include <vector>

#include "core/text_codec.h"
#include "files/cairo_drawing.h"
#include "files/profile_chart.h"

namespace ormid {

namespace {

constexpr double kFontSize = 12;
constexpr double kRuleWidth = 0.2;
constexpr const char* kCreator = "Keldor";
constexpr const char* kAuthor = "";

using namespace cairoDrawing;

// The report's y (origin at the bottom left) in cairo's (origin at the top left).
double cairoY(double y)
{
    return reportPage::height - y;
}

// The length of the UTF-8 sequence at the start of `rest` (not empty), or 0 when it is
// malformed (cut short, overlong, a surrogate, beyond U+10FFFF).
std::size_t sequenceLength(std::string_view rest)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(rest[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    struct Form {
        unsigned char leadMin, leadMax, secondMin, secondMax;
        std::size_t length;
    };
    constexpr Form kForms[] = {
        {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3}, {0xE1, 0xEC, 0x80, 0xBF, 3},
        {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3}, {0xF0, 0xF0, 0x90, 0xBF, 4},
        {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
    };
    for (const Form& form : kForms) {
        if (lead < form.leadMin || lead > form.leadMax)
            continue;
        if (rest.size() < form.length || byte(1) < form.secondMin || byte(1) > form.secondMax)
            return 0;
        for (std::size_t i = 2; i < form.length; ++i) {
            if ((byte(i) & 0xC0) != 0x80)
                return 0;
        }
        return form.length;
    }
    return 0;
}

bool isUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceLength(text.substr(i));
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

// Text as cairo takes it: UTF-8 stays, anything else (a pdf.ini saved in the Windows
// code page, a command-line argument in a Latin-1 terminal) is read as Windows-1252;
// control characters become spaces.
std::string drawableText(std::string_view text)
{
    std::string result = isUtf8(text) ? std::string(text) : cp1252ToUtf8(text);
    for (char& c : result) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return result;
}

void selectFont(cairo_t* cr, bool bold)
{
    cairo_select_font_face(cr, kFontFamily, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kFontSize);
}

bool startsACharacter(const std::string& text, std::size_t at)
{
    return at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
}

// Characters come off the end until the text is at most `width` points wide, that is the
// longest start of the text, cut between characters, that fits. A start is never narrower
// than a shorter one, so the cut is searched for: lengths double until one does not fit,
// then halving finds the cut between the last two. However long the text, it takes a few
// dozen measurements of about the printed length. Only whole characters are measured:
// cairo takes nothing else.
std::string limitText(cairo_t* cr, std::string text, double width)
{
    const auto fits = [&](std::size_t length) { return textWidth(cr, text.substr(0, length)) <= width; };
    const auto cutBefore = [&](std::size_t at) {
        while (!startsACharacter(text, at))
            --at;
        return at;
    };
    if (fits(text.size()))
        return text;
    std::size_t fitting = 0;           // a cut that fits
    std::size_t tooWide = text.size(); // a cut that does not
    for (std::size_t length = 16; length < text.size(); length *= 2) {
        const std::size_t cut = cutBefore(length);
        if (!fits(cut)) {
            tooWide = cut;
            break;
        }
        fitting = cut;
    }
    std::vector<std::size_t> cuts; // from `fitting` to `tooWide`
    for (std::size_t at = fitting; at <= tooWide; ++at)
        if (startsACharacter(text, at))
            cuts.push_back(at);
    std::size_t low = 0;                // fits
    std::size_t high = cuts.size() - 1; // does not
    while (high - low > 1) {
        const std::size_t middle = low + (high - low) / 2;
        (fits(cuts[middle]) ? low : high) = middle;
    }
    text.erase(cuts[low]);
    return text;
}

// The colours of the program's icon.
constexpr Rgb kNight{0x1D / 255.0, 0x2B / 255.0, 0x3A / 255.0};
constexpr Rgb kDusk{0x2F / 255.0, 0x4A / 255.0, 0x63 / 255.0};
constexpr Rgb kLamp{0xFF / 255.0, 0xD6 / 255.0, 0x78 / 255.0};
constexpr Rgb kPost{0xCF / 255.0, 0xD8 / 255.0, 0xDC / 255.0};
constexpr Rgb kCaption{0x2F / 255.0, 0x5F / 255.0, 0x7A / 255.0};

// Fills the current path with a vertical gradient from y0 to y1.
void fillGradient(cairo_t* cr, double y0, const Rgb& from, double fromAlpha, double y1, const Rgb& to, double toAlpha)
{
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(gradient, 0, from.red, from.green, from.blue, fromAlpha);
    cairo_pattern_add_color_stop_rgba(gradient, 1, to.red, to.green, to.blue, toAlpha);
    cairo_set_source(cr, gradient);
    cairo_fill(cr);
    cairo_pattern_destroy(gradient);
}

// The program's icon, a street light shining on the road, on its 256 grid scaled to
// `size` points square with its top left corner at the origin.
void drawIcon(cairo_t* cr, double size)
{
    constexpr double kSquare = 224; // the icon's rounded square, 16..240 on its grid
    constexpr double kCorner = 44;
    constexpr double pi = std::numbers::pi;
    cairo_save(cr);
    cairo_scale(cr, size / kSquare, size / kSquare);
    cairo_translate(cr, -16, -16);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 240 - kCorner, 16 + kCorner, kCorner, -pi / 2, 0);
    cairo_arc(cr, 240 - kCorner, 240 - kCorner, kCorner, 0, pi / 2);
    cairo_arc(cr, 16 + kCorner, 240 - kCorner, kCorner, pi / 2, pi);
    cairo_arc(cr, 16 + kCorner, 16 + kCorner, kCorner, pi, 3 * pi / 2);
    cairo_close_path(cr);
    fillGradient(cr, 16, kNight, 1, 240, kDusk, 1);

    cairo_move_to(cr, 128, 63);
    cairo_line_to(cr, 176, 63);
    cairo_line_to(cr, 224, 216);
    cairo_line_to(cr, 80, 216);
    cairo_close_path(cr);
    fillGradient(cr, 60, kLamp, 0.7, 216, kLamp, 0);

    setColour(cr, kPost);
    cairo_set_line_width(cr, 9);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 92, 216);
    cairo_line_to(cr, 92, 72);
    cairo_curve_to(cr, 92, 60, 104, 54, 128, 54);
    cairo_stroke(cr);
    cairo_rectangle(cr, 72, 212, 40, 8);
    cairo_fill(cr);
    setColour(cr, kLamp);
    cairo_rectangle(cr, 122, 48, 60, 16);
    cairo_fill(cr);
    cairo_restore(cr);
}

// A word of the logo as outlines: part of the picture, not text a reader finds or copies.
void fillWord(cairo_t* cr, const char* word, double x, double y, double size, cairo_font_weight_t weight,
              const Rgb& colour)
{
    setColour(cr, colour);
    cairo_select_font_face(cr, kFontFamily, CAIRO_FONT_SLANT_NORMAL, weight);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_text_path(cr, word);
    cairo_fill(cr);
}

// The logo in the page header's 136 x 24 box: the icon and the program's name beside it.
void drawLogo(cairo_t* cr)
{
    using namespace reportPage;
    cairo_save(cr);
    cairo_translate(cr, logoX, cairoY(logoY + logoHeight));
    drawIcon(cr, logoHeight);
    fillWord(cr, "ORMID", 31, 14, 17, CAIRO_FONT_WEIGHT_BOLD, kNight);
    fillWord(cr, "P R O G R A M M E R", 31.5, 23, 6.4, CAIRO_FONT_WEIGHT_NORMAL, kCaption);
    cairo_restore(cr);
}

void drawPage(cairo_t* cr, const ReportPage& page)
{
    drawLogo(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (const PlacedText& placed : page.texts) {
        selectFont(cr, placed.bold);
        std::string text = drawableText(placed.text);
        if (placed.maxWidth > 0)
            text = limitText(cr, std::move(text), placed.maxWidth);
        cairo_move_to(cr, placed.x, cairoY(placed.y));
        cairo_show_text(cr, text.c_str());
    }
    cairo_set_line_width(cr, kRuleWidth);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    for (const PlacedRule& rule : page.rules) {
        cairo_move_to(cr, rule.x1, cairoY(rule.y1));
        cairo_line_to(cr, rule.x2, cairoY(rule.y2));
    }
    cairo_stroke(cr);
    if (page.chart) {
        const PlacedChart& placed = *page.chart;
        drawProfileChart(cr, placed.x, cairoY(placed.y + placed.height), placed.width, placed.height, placed.chart);
    }
}

// ISO 8601 with the local time zone, as cairo takes a creation date.
std::string isoDate(std::time_t time)
{
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string date(text);
    date.insert(date.size() - 2, ":"); // +0100 -> +01:00
    return date;
}

RenderResult failure(cairo_status_t status)
{
    return {{}, std::string("The report could not be drawn: ") + cairo_status_to_string(status)};
}

} // namespace

RenderResult renderReportPdf(const std::vector<ReportPage>& pages, std::time_t creationTime)
{
    RenderResult result;
    {
        const Surface surface(
            cairo_pdf_surface_create_for_stream(appendToString, &result.bytes, reportPage::width, reportPage::height));
        cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, kCreator);
        cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_AUTHOR, kAuthor);
        cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATE_DATE, isoDate(creationTime).c_str());
        const Context cr(cairo_create(surface.get()));
        for (const ReportPage& page : pages) {
            drawPage(cr.get(), page);
            cairo_show_page(cr.get());
        }
        if (const cairo_status_t status = cairo_status(cr.get()); status != CAIRO_STATUS_SUCCESS)
            return failure(status);
        cairo_surface_finish(surface.get());
        if (const cairo_status_t status = cairo_surface_status(surface.get()); status != CAIRO_STATUS_SUCCESS)
            return failure(status);
    }
    return result;
}

RenderResult renderReportPng(const ReportPage& page, double pixelsPerPoint)
{
    if (!(pixelsPerPoint > 0 && pixelsPerPoint <= kMaxPngPixelsPerPoint))
        return {{}, "The picture's resolution is out of range."};
    const Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24,
                                                     static_cast<int>(std::ceil(reportPage::width * pixelsPerPoint)),
                                                     static_cast<int>(std::ceil(reportPage::height * pixelsPerPoint))));
    const Context cr(cairo_create(surface.get()));
    cairo_set_source_rgb(cr.get(), 1, 1, 1);
    cairo_paint(cr.get());
    cairo_scale(cr.get(), pixelsPerPoint, pixelsPerPoint);
    drawPage(cr.get(), page);
    if (const cairo_status_t status = cairo_status(cr.get()); status != CAIRO_STATUS_SUCCESS)
        return failure(status);
    RenderResult result;
    if (const cairo_status_t status = cairo_surface_write_to_png_stream(surface.get(), appendToString, &result.bytes);
        status != CAIRO_STATUS_SUCCESS)
        return failure(status);
    return result;
}

} // namespace ormid
