#pragma once
// What the report's pages and the profile chart share when they draw with cairo: owned
// surfaces and contexts, a stream into a string, colours and text widths.

#include <cairo.h>

#include <memory>
#include <string>

namespace ormid::cairoDrawing {

// The font of the report's pages and of the chart.
inline constexpr const char* kFontFamily = "Arial";

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

// A cairo write function that appends to the std::string `closure` points to.
cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length);

struct Rgb {
    double red, green, blue;
};
void setColour(cairo_t* cr, const Rgb& colour);

// The advance of `text` in the current font.
double textWidth(cairo_t* cr, const std::string& text);

} // namespace ormid::cairoDrawing
