// The profile chart drawn into the caller's pixels (the window's Profile panel) and as a
// PNG (ormid-cli profile): one drawing, the same picture both ways.

#include "files/profile_chart.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace ormid {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 200;

ProfileChart winterChart()
{
    const ProfileRequest request{.date = {21, 12, 2026}, .latitude = 50};
    const std::optional<NightProfile> night = nightProfile(makeDefaultImage(), request);
    EXPECT_TRUE(night.has_value());
    return makeProfileChart(night.value_or(NightProfile{}), request, std::nullopt);
}

// The PNG's pixels, read back by cairo, as 0xRRGGBB.
std::vector<std::uint32_t> pngPixels(const std::string& png)
{
    struct Reader {
        const std::string& bytes;
        std::size_t at = 0;
    } reader{png};
    const auto read = [](void* closure, unsigned char* data, unsigned int length) {
        auto* r = static_cast<Reader*>(closure);
        if (r->bytes.size() - r->at < length)
            return CAIRO_STATUS_READ_ERROR;
        std::copy_n(r->bytes.data() + r->at, length, data);
        r->at += length;
        return CAIRO_STATUS_SUCCESS;
    };
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(read, &reader);
    std::vector<std::uint32_t> pixels;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < cairo_image_surface_get_height(surface); ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
            for (int x = 0; x < cairo_image_surface_get_width(surface); ++x)
                pixels.push_back(row[x] & 0xFFFFFF);
        }
    }
    cairo_surface_destroy(surface);
    return pixels;
}

TEST(ProfileChart, DrawnIntoPixelsItIsThePngsPicture)
{
    const ProfileChart chart = winterChart();
    const RenderResult png = renderProfileChartPng(chart, kWidth, kHeight);
    ASSERT_TRUE(png.ok()) << png.error;

    std::vector<std::uint32_t> pixels(kWidth * kHeight);
    ASSERT_TRUE(
        renderProfileChartInto(chart, reinterpret_cast<unsigned char*>(pixels.data()), kWidth, kHeight, kWidth * 4));
    for (std::uint32_t& pixel : pixels) {
        EXPECT_EQ(pixel >> 24, 0xFFu) << "opaque, on white";
        pixel &= 0xFFFFFF;
    }
    EXPECT_EQ(pixels, pngPixels(png.bytes));
    EXPECT_NE(std::count(pixels.begin(), pixels.end(), 0xFFFFFFu), static_cast<long>(pixels.size()))
        << "the chart is drawn, not only its white";
}

TEST(ProfileChart, ASizeOutOfRangeOrAShortRowIsRefused)
{
    const ProfileChart chart = winterChart();
    std::vector<std::uint32_t> pixels(kWidth * kHeight);
    auto* data = reinterpret_cast<unsigned char*>(pixels.data());
    EXPECT_FALSE(renderProfileChartInto(chart, data, 0, kHeight, kWidth * 4));
    EXPECT_FALSE(renderProfileChartInto(chart, data, kWidth, -1, kWidth * 4));
    EXPECT_FALSE(renderProfileChartInto(chart, data, kWidth, kHeight, kWidth * 4 - 4)) << "rows too short";
    EXPECT_FALSE(renderProfileChartPng(chart, 9000, kHeight).ok());
}

} // namespace
} // namespace ormid
