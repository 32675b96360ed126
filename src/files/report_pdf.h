#pragma once
// Draws the report's pages (report_layout.h) with cairo: as a PDF document to save, and
// page by page as PNG pictures for previews and tests. The same drawing serves both.
// Text is Arial 12 pt as fontconfig finds it (Liberation Sans where Arial is missing);
// the PDF embeds subsets of the fonts with a ToUnicode map, so its text can be searched.

#include <ctime>
#include <string>
#include <vector>

#include "files/render_result.h"
#include "files/report_layout.h"

namespace ormid {

// The pages as one PDF document: creator "Keldor", an empty author, created at `creationTime`.
RenderResult renderReportPdf(const std::vector<ReportPage>& pages, std::time_t creationTime);

// Pixels per point of a PNG page from renderReportPng (0 < pixels per point <= this).
constexpr double kMaxPngPixelsPerPoint = 8.0;

// One page as a PNG picture, white, `pixelsPerPoint` pixels per point (2 gives 144 dpi).
RenderResult renderReportPng(const ReportPage& page, double pixelsPerPoint);

} // namespace ormid
