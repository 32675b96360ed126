#include "files/cairo_drawing.h"

#include <new>

namespace ormid::cairoDrawing {

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length)
{
    try {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        return CAIRO_STATUS_NO_MEMORY;
    }
    return CAIRO_STATUS_SUCCESS;
}

void setColour(cairo_t* cr, const Rgb& colour)
{
    cairo_set_source_rgb(cr, colour.red, colour.green, colour.blue);
}

double textWidth(cairo_t* cr, const std::string& text)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.x_advance;
}

} // namespace ormid::cairoDrawing
