// The remote-control input's three-way switch.

#include "core/remote_input_block.h"

#include <gtest/gtest.h>

#include <vector>

namespace ormid {
namespace {

TEST(RemoteInputSwitch, CyclesOffMainsLstAndLeavesTheOtherBitsAndByte68)
{
    const struct {
        const char* name;
        Byte byte0;
        std::vector<Byte> byte0After; // after each of three clicks
    } cases[] = {
        {"default image", 0x0C, {0x2C, 0x4C, 0x0C}},
        {"every other bit set", 0x9F, {0xBF, 0xDF, 0x9F}},
        {"both bits set (an image from elsewhere) reads as mains", 0x60, {0x40, 0x00, 0x20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = makeDefaultImage();
        image[field::outputByte] = c.byte0;
        image[field::optionByte] = 0x31;
        std::vector<Byte> seen;
        for (int click = 0; click < 3; ++click) {
            stepRemoteInput(image);
            seen.push_back(image[field::outputByte]);
            EXPECT_EQ(image[field::optionByte], 0x31) << "click " << click;
        }
        EXPECT_EQ(seen, c.byte0After);
    }
}

TEST(RemoteInputSwitch, ReadsTheWayFromBits5And6)
{
    EeBlock image = makeDefaultImage();
    const std::vector<RemoteInput> expected{RemoteInput::viaMains, RemoteInput::viaLst, RemoteInput::off};
    for (const RemoteInput way : expected) {
        stepRemoteInput(image);
        EXPECT_EQ(remoteInput(image), way);
    }
}

} // namespace
} // namespace ormid
