#pragma once
// The chart of a night profile, drawn with cairo: the output over the night's clock
// hours, the steps marked, a title above and a caption of estimate lines below. One
// drawing for the PNG of `ormid-cli profile`, the report's profile page and the window's
// Profile panel.

#include <optional>
#include <string>
#include <vector>

#include "core/night_profile.h"
#include "files/render_result.h"

typedef struct _cairo cairo_t;

namespace ormid {

struct ProfileChart {
    NightProfile profile;
    std::string title;
    std::vector<std::string> caption; // lines under the chart, wrapped to its width
};

// The chart for a request: its title (date and site) and a caption that says it is an
// estimate, what the night and the year save, and every assumption of the model.
ProfileChart makeProfileChart(const NightProfile& profile, const ProfileRequest& request,
                              std::optional<double> yearEnergy);

// "21.12.2026, N 50°, twilight -3°".
std::string profileTitle(const ProfileRequest& request);
// "Estimate: 23.9 % saved tonight, 24.8 % over the year."
std::string savingLine(const NightProfile& profile, std::optional<double> yearEnergy);
// A short name of a mark for the chart: "E1.2", "LSt", "Light on".
std::string markLabel(const ProfileMark& mark);

// Draws the chart into the box at (x, y) of `width` × `height` user units, top left origin.
void drawProfileChart(cairo_t* cr, double x, double y, double width, double height, const ProfileChart& chart);

// The chart as a PNG picture on white, `width` × `height` pixels.
RenderResult renderProfileChartPng(const ProfileChart& chart, int width, int height);
// The same picture into the caller's pixels: 32-bit premultiplied ARGB in native byte
// order (a QImage of Format_ARGB32_Premultiplied), rows `stride` bytes apart. False when
// the size is out of range or cairo could not draw.
bool renderProfileChartInto(const ProfileChart& chart, unsigned char* pixels, int width, int height, int stride);

} // namespace ormid
