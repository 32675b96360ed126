// The relay's zero-crossing option: byte 88 bit 0, nothing else.

#include "core/relay_block.h"

#include <gtest/gtest.h>

namespace ormid {
namespace {

TEST(RelayBlock, OkWritesBit0OfByte88Only)
{
    const struct {
        Byte before;
        bool ticked;
        Byte after;
    } cases[] = {{0x03, false, 0x02}, {0x02, true, 0x03}, {0x01, true, 0x01}, {0xFE, false, 0xFE}};
    for (const auto& c : cases) {
        EeBlock image = makeDefaultImage();
        image[88] = c.before;
        EXPECT_EQ(zeroCrossSwitch(image), (c.before & 1) != 0);
        applyZeroCrossSwitch(image, c.ticked);
        EXPECT_EQ(image[88], c.after) << int(c.before) << " " << c.ticked;
    }
    EXPECT_TRUE(zeroCrossSwitch(makeDefaultImage())) << "the default image switches at zero crossing";
}

} // namespace
} // namespace ormid
