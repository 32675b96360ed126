#include "core/image.h"

#include <gtest/gtest.h>

namespace ormid {
namespace {

TEST(DefaultImage, ReadsAsDocumented)
{
    const auto& image = defaultImage();
    EXPECT_EQ(image[field::outputByte], 0x0C); // ISD and LSt on, 1-10V
    EXPECT_EQ(image[field::powerOnLevel], 100);
    EXPECT_EQ(image[field::powerOnDelay], kRandomDelay);
    EXPECT_EQ(image[engine2Step(1) + 2], 50);
    EXPECT_EQ(image[engine2Step(2) + 2], kFreeLevel);
    EXPECT_EQ(image[engine1Step(1)], 0xE8); // 22:00
    EXPECT_EQ(image[engine1Step(2)], 0x3C); // 05:00
    EXPECT_EQ(image[engine1Step(2) + 2], 100);
    EXPECT_EQ(image[engine1Step(3) + 2], kFreeLevel);
    EXPECT_EQ(image[field::optionByte], 0x01); // DST not active
    EXPECT_EQ(image[field::mffStartLevel], kFreeLevel);
    EXPECT_EQ(image[field::relayByte], 0x01);
    EXPECT_EQ(image[field::tmReserved], 0xFF);
    EXPECT_EQ(image[96], 0x00);
    EXPECT_EQ(image[98], 0xFF);
    EXPECT_EQ(image[127], 0xFF);
}

TEST(ImageSize, EnlargingKeepsContentAndNeverShrinks)
{
    EeBlock image = makeDefaultImage();
    ASSERT_EQ(image.size(), kImageSize);
    enlargeToDeviceImage(image);
    ASSERT_EQ(image.size(), kDeviceImageSize);
    EXPECT_TRUE(std::equal(defaultImage().begin(), defaultImage().end(), image.begin()));
    image[200] = 0x42;
    enlargeToDeviceImage(image);
    EXPECT_EQ(image[200], 0x42);
}

TEST(ImageSize, ClearAstroDataTouchesOnlyBytes76To84)
{
    EeBlock image(kImageSize, 0xAA);
    clearAstroData(image);
    for (std::size_t i = 0; i < image.size(); ++i)
        EXPECT_EQ(image[i], (i >= 76 && i <= 84) ? 0 : 0xAA) << i;

    EeBlock shortImage(80, 0xAA); // never writes past a short image
    clearAstroData(shortImage);
    EXPECT_EQ(shortImage[79], 0);
}

} // namespace
} // namespace ormid
