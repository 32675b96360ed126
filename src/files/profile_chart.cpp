#include "files/profile_chart.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "core/encodings.h"
#include "files/cairo_drawing.h"

namespace ormid {

namespace {

constexpr double kFullOutput = kLevelMaximum;

using namespace cairoDrawing;

constexpr Rgb kInk{0.1, 0.1, 0.1};
constexpr Rgb kGrid{0.82, 0.84, 0.86};
constexpr Rgb kLine{0x2F / 255.0, 0x4A / 255.0, 0x63 / 255.0};
constexpr Rgb kFill{0xFF / 255.0, 0xD6 / 255.0, 0x78 / 255.0};
constexpr Rgb kMark{0xB0 / 255.0, 0x3A / 255.0, 0x2E / 255.0};

void setFont(cairo_t* cr, double size, bool bold = false)
{
    cairo_select_font_face(cr, kFontFamily, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

void showText(cairo_t* cr, double x, double y, const std::string& text)
{
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

// A line broken at spaces into lines no wider than `width`; a word wider than that
// stands on a line of its own.
std::vector<std::string> wrapped(cairo_t* cr, const std::string& text, double width)
{
    std::vector<std::string> lines;
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t space = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, space - at);
        const std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && textWidth(cr, longer) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = longer;
        }
        at = space + 1;
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// The chart's proportions follow its width: text sizes and margins in user units.
struct Metrics {
    double font;
    double captionFont;
    double lineHeight;
    double captionLineHeight;
};

Metrics metricsFor(double width)
{
    const double font = std::clamp(width / 60, 7.0, 13.0);
    const double caption = font * 0.85;
    return {font, caption, font * 1.4, caption * 1.3};
}

// The plot's box and its scales: x in clock minutes, y in percent.
struct Plot {
    double left, top, right, bottom;
    double firstMinute, lastMinute;

    double x(double minute) const
    {
        return left + (minute - firstMinute) / (lastMinute - firstMinute) * (right - left);
    }
    double y(double percent) const { return bottom - percent / kFullOutput * (bottom - top); }
};

void drawGrid(cairo_t* cr, const Plot& plot, const Metrics& m)
{
    setFont(cr, m.font * 0.85);
    cairo_set_line_width(cr, 0.5);
    for (int percent = 0; percent <= 100; percent += 25) {
        setColour(cr, kGrid);
        cairo_move_to(cr, plot.left, plot.y(percent));
        cairo_line_to(cr, plot.right, plot.y(percent));
        cairo_stroke(cr);
        setColour(cr, kInk);
        const std::string label = std::to_string(percent) + " %";
        showText(cr, plot.left - textWidth(cr, label) - m.font * 0.4, plot.y(percent) + m.font * 0.3, label);
    }
    // Full hours, labelled as often as their texts leave room.
    const double hourWidth = plot.x(plot.firstMinute + 60) - plot.x(plot.firstMinute);
    const int every = std::max(1, static_cast<int>(std::ceil(textWidth(cr, "00:00") * 1.6 / hourWidth)));
    const int firstHour = static_cast<int>(std::ceil(plot.firstMinute / 60));
    for (int hour = firstHour; hour * 60 <= plot.lastMinute; ++hour) {
        const double x = plot.x(hour * 60);
        setColour(cr, kGrid);
        cairo_move_to(cr, x, plot.top);
        cairo_line_to(cr, x, plot.bottom);
        cairo_stroke(cr);
        if ((hour % every) != 0)
            continue;
        setColour(cr, kInk);
        const std::string label = clockText(hour * 60);
        showText(cr, x - textWidth(cr, label) / 2, plot.bottom + m.font * 1.2, label);
    }
}

void drawLevels(cairo_t* cr, const Plot& plot, const NightProfile& profile)
{
    const auto& levels = profile.levels;
    const auto at = [&](std::size_t i) { return plot.x(profile.switchOn + static_cast<double>(i)); };
    cairo_move_to(cr, at(0), plot.y(0));
    for (std::size_t i = 0; i < levels.size(); ++i) {
        cairo_line_to(cr, at(i), plot.y(levels[i]));
        cairo_line_to(cr, at(i + 1), plot.y(levels[i]));
    }
    cairo_line_to(cr, at(levels.size()), plot.y(0));
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, kFill.red, kFill.green, kFill.blue, 0.55);
    cairo_fill(cr);

    setColour(cr, kLine);
    cairo_set_line_width(cr, 1.5);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, at(0), plot.y(levels.front()));
    for (std::size_t i = 0; i < levels.size(); ++i) {
        cairo_line_to(cr, at(i), plot.y(levels[i]));
        cairo_line_to(cr, at(i + 1), plot.y(levels[i]));
    }
    cairo_stroke(cr);
}

bool marksAStep(ProfileMarkKind kind)
{
    return kind != ProfileMarkKind::switchOn && kind != ProfileMarkKind::switchOff;
}

// Each step as a dashed line with its label at the top; a label that would run into
// the one before it goes a row lower.
void drawMarks(cairo_t* cr, const Plot& plot, const NightProfile& profile, const Metrics& m)
{
    setFont(cr, m.font * 0.8, true);
    const double dashes[] = {3, 2};
    std::vector<double> rowEnds;
    for (const ProfileMark& mark : profile.marks) {
        if (!marksAStep(mark.kind))
            continue;
        const double x = plot.x(mark.minute);
        setColour(cr, kMark);
        cairo_set_line_width(cr, 0.8);
        cairo_set_dash(cr, dashes, 2, 0);
        cairo_move_to(cr, x, plot.top);
        cairo_line_to(cr, x, plot.bottom);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);

        const std::string label = markLabel(mark);
        const double width = textWidth(cr, label);
        std::size_t row = 0;
        while (row < rowEnds.size() && rowEnds[row] > x)
            ++row;
        if (row == rowEnds.size())
            rowEnds.push_back(0);
        rowEnds[row] = x + width + m.font * 0.6;
        const double y = plot.top + m.font * (1.1 + 1.1 * static_cast<double>(row));
        cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
        cairo_rectangle(cr, x + 1, y - m.font * 0.85, width + 3, m.font * 1.05);
        cairo_fill(cr);
        setColour(cr, kMark);
        showText(cr, x + 2.5, y, label);
    }
}

void drawCaption(cairo_t* cr, double x, double y, const std::vector<std::string>& lines, const Metrics& m)
{
    setColour(cr, kInk);
    setFont(cr, m.captionFont);
    for (const std::string& line : lines) {
        y += m.captionLineHeight;
        showText(cr, x, y, line);
    }
}

// The largest picture a chart is drawn into.
constexpr int kMaxChartPixels = 8000;

bool chartSizeTaken(int width, int height)
{
    return width > 0 && height > 0 && width <= kMaxChartPixels && height <= kMaxChartPixels;
}

// White, then the chart inside a small margin.
cairo_status_t paintChart(cairo_surface_t* surface, const ProfileChart& chart, int width, int height)
{
    const Context cr(cairo_create(surface));
    cairo_set_source_rgb(cr.get(), 1, 1, 1);
    cairo_paint(cr.get());
    const double margin = std::min(width, height) * 0.02;
    drawProfileChart(cr.get(), margin, margin, width - 2 * margin, height - 2 * margin, chart);
    return cairo_status(cr.get());
}

} // namespace

std::string profileTitle(const ProfileRequest& request)
{
    const auto degrees = [](double value) {
        std::string text = std::to_string(std::lround(std::fabs(value) * 10));
        if (text.size() < 2)
            text.insert(0, "0");
        text.insert(text.size() - 1, ".");
        if (text.ends_with(".0"))
            text.resize(text.size() - 2);
        return text;
    };
    const CalendarDay& d = request.date;
    return padded(d.day, 2) + "." + padded(d.month, 2) + "." + std::to_string(d.year) + ", "
        + (request.latitude < 0 ? "S " : "N ") + degrees(request.latitude) + "\u00B0, twilight "
        + (request.twilight < 0 ? "-" : "") + degrees(request.twilight) + "\u00B0";
}

std::string savingLine(const NightProfile& profile, std::optional<double> yearEnergy)
{
    const auto energy = profile.energy();
    std::string line = "Estimate: ";
    line += energy ? savedText(*energy) + " saved tonight" : std::string("no night, the light stays off");
    if (yearEnergy)
        line += ", " + savedText(*yearEnergy) + " over the year";
    return line + ".";
}

std::string markLabel(const ProfileMark& mark)
{
    switch (mark.kind) {
    case ProfileMarkKind::engine1Step:
        return "E1." + std::to_string(mark.step);
    case ProfileMarkKind::engine2Step:
        return "E2." + std::to_string(mark.step);
    case ProfileMarkKind::lstEvent:
        return "LSt";
    case ProfileMarkKind::lightOn:
        return "Light on";
    case ProfileMarkKind::blockEnd:
        return "Block end";
    case ProfileMarkKind::switchOn:
        return "On";
    case ProfileMarkKind::switchOff:
        break;
    }
    return "Off";
}

ProfileChart makeProfileChart(const NightProfile& profile, const ProfileRequest& request,
                              std::optional<double> yearEnergy)
{
    ProfileChart chart{profile, profileTitle(request), {savingLine(profile, yearEnergy)}};
    for (const std::string_view assumption : profileAssumptions())
        chart.caption.push_back("\u2013 " + std::string(assumption));
    return chart;
}

void drawProfileChart(cairo_t* cr, double x, double y, double width, double height, const ProfileChart& chart)
{
    const Metrics m = metricsFor(width);
    cairo_save(cr);
    setFont(cr, m.captionFont);
    std::vector<std::string> caption;
    for (const std::string& line : chart.caption)
        for (std::string& part : wrapped(cr, line, width))
            caption.push_back(std::move(part));
    const double captionHeight = static_cast<double>(caption.size()) * m.captionLineHeight + m.font * 0.5;

    setColour(cr, kInk);
    setFont(cr, m.font, true);
    showText(cr, x, y + m.font, chart.title);

    const NightProfile& profile = chart.profile;
    Plot plot{x + m.font * 3.2,
              y + m.lineHeight * 1.3,
              x + width - m.font * 0.5,
              y + height - captionHeight - m.lineHeight * 1.2,
              static_cast<double>(profile.switchOn),
              static_cast<double>(profile.switchOff)};
    if (profile.levels.empty()) {
        // No night: an empty frame says so.
        plot.lastMinute = plot.firstMinute + 60;
        setFont(cr, m.font);
        const std::string text = "No night: the light stays off.";
        showText(cr, (plot.left + plot.right - textWidth(cr, text)) / 2, (plot.top + plot.bottom) / 2, text);
    } else {
        drawGrid(cr, plot, m);
        drawLevels(cr, plot, profile);
        drawMarks(cr, plot, profile, m);
    }
    setColour(cr, kInk);
    cairo_set_line_width(cr, 0.8);
    cairo_rectangle(cr, plot.left, plot.top, plot.right - plot.left, plot.bottom - plot.top);
    cairo_stroke(cr);
    drawCaption(cr, x, plot.bottom + m.lineHeight * 1.1, caption, m);
    cairo_restore(cr);
}

bool renderProfileChartInto(const ProfileChart& chart, unsigned char* pixels, int width, int height, int stride)
{
    if (!chartSizeTaken(width, height) || stride < cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width))
        return false;
    const Surface surface(cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height, stride));
    const bool drawn = paintChart(surface.get(), chart, width, height) == CAIRO_STATUS_SUCCESS;
    cairo_surface_flush(surface.get());
    return drawn;
}

RenderResult renderProfileChartPng(const ProfileChart& chart, int width, int height)
{
    if (!chartSizeTaken(width, height))
        return {{}, "The chart's size is out of range."};
    const Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    RenderResult result;
    cairo_status_t status = paintChart(surface.get(), chart, width, height);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_write_to_png_stream(surface.get(), appendToString, &result.bytes);
    if (status != CAIRO_STATUS_SUCCESS)
        return {{}, std::string("The chart could not be drawn: ") + cairo_status_to_string(status)};
    return result;
}

} // namespace ormid
