// The remote-control frames a remote stick's memory carries, and the duration estimate.

#include "core/remote_frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/encodings.h"

namespace ormid {
namespace {

constexpr Byte kAllBoxes = 0x3F;

Byte boxes(std::initializer_list<Byte> bits)
{
    Byte status = 0;
    for (const Byte b : bits)
        status = SetBit(status, b);
    return status;
}

// ISD and LSt on; engine steps used as `used1` / `used2` say (true = used, level 50).
EeBlock imageWith(std::vector<bool> used1, std::vector<bool> used2)
{
    EeBlock image = makeDefaultImage();
    image[field::outputByte] |= (1 << bit::isdEnable) | (1 << bit::lstEnable);
    for (std::size_t k = 1; k <= field::stepCount; ++k) {
        const bool step1 = k <= used1.size() && used1[k - 1];
        const bool step2 = k <= used2.size() && used2[k - 1];
        image[engine1Step(k)] = step1 ? static_cast<Byte>(k) : 0;
        image[engine1Step(k) + 2] = step1 ? 50 : kFreeLevel;
        image[engine2Step(k)] = step2 ? static_cast<Byte>(k) : 0;
        image[engine2Step(k) + 2] = step2 ? 50 : kFreeLevel;
    }
    return image;
}

TEST(RemoteFrames, AllBoxesWithBothEnginesFullFill66Bytes)
{
    const std::vector<bool> full(10, true);
    const std::vector<Byte> frames = encodeRemoteFrames(imageWith(full, full), kAllBoxes);
    EXPECT_EQ(frames.size(), 66u);
    EXPECT_EQ(frames[3], 0x01 | (29 << 2) | 0x80) << "ISD on";
    EXPECT_EQ(frames[4] & 0x7F, 0x01 | (31 << 2)) << "then DST";
    EXPECT_EQ(frames[35], 0x01 | (30 << 2) | 0x80) << "LSt on, after engine 1";
}

TEST(RemoteFrames, ValueFramesCarryValueFadeAndLevelBitForBit)
{
    EeBlock image = imageWith({}, {});
    image[field::powerOnDelay] = 0xA5;
    image[field::powerOnFade] = 0x7C; // the rate 00,600: code 6
    image[field::powerOnLevel] = 0x80 | 55;
    EXPECT_EQ(encodeRemoteFrames(image, boxes({txBit::powerOn})),
              (std::vector<Byte>{0x03 | 0x80, 0x52 | 0x00, 0x03 | (11 << 3)}));
}

TEST(RemoteFrames, EnginesEndAtTheirFirstEmptyStepAndStopAtTheSecond)
{
    const auto engine1
        = [](std::vector<bool> used) { return encodeRemoteFrames(imageWith(used, {}), boxes({txBit::engine1})); };
    const std::vector<Byte> end{0x03 | (1 << 2), 0x00, 31 << 3};
    EXPECT_EQ(engine1({}), end) << "step 1 empty: only the end frame";

    const std::vector<Byte> gapped = engine1({true, false, true, false, true});
    ASSERT_EQ(gapped.size(), 9u) << "frames for steps 1 and 3, the end frame at 2, nothing from 4";
    EXPECT_EQ(gapped[0], 0x03 | (1 << 2) | 0x80);
    EXPECT_EQ(gapped[5], 31 << 3) << "the end frame's level";
    EXPECT_EQ(gapped[6], 0x03 | (3 << 2) | 0x80) << "step 3 is sent after the end frame";
}

TEST(RemoteFrames, IsdOffSendsOnlyItsSwitchState)
{
    EeBlock image = imageWith({true}, {});
    image[field::outputByte] = ClearBit(image[field::outputByte], bit::isdEnable);
    EXPECT_EQ(encodeRemoteFrames(image, boxes({txBit::dst, txBit::engine1})), std::vector<Byte>{});
    EXPECT_EQ(encodeRemoteFrames(image, boxes({txBit::isdSwitch})), std::vector<Byte>{0x75});
    EXPECT_EQ(transmissionSeconds(image, boxes({txBit::isdSwitch})), 83);
    EXPECT_EQ(durationText(83), "00:01:23");
}

TEST(RemoteFrames, TheEstimateAddsEachFramesBits)
{
    const std::vector<bool> full(10, true);
    const EeBlock image = imageWith(full, full);
    EXPECT_EQ(transmissionSeconds(image, 0), 0);
    EXPECT_EQ(durationText(0), "00:00:00");
    // The power-on frame of the default image (Random, no fade, 100 %): 0x83 0x7F 0xA0,
    // 1 + 7 + 2 ones among its counted bits, made even: 10.
    EXPECT_EQ(transmissionSeconds(makeDefaultImage(), boxes({txBit::powerOn})), 4 + 11 + 8 * 10 + 5 * 13);
    EXPECT_EQ(durationText(3723), "01:02:03");

    // Steps full of 1 bits: a full list takes more than an hour.
    EeBlock heavy = image;
    for (std::size_t k = 1; k <= field::stepCount; ++k) {
        for (const std::size_t step : {engine1Step(k), engine2Step(k)}) {
            heavy[step] = 0xFF;
            heavy[step + 1] = 0xE8;
            heavy[step + 2] = 0x7F;
        }
    }
    const int all = transmissionSeconds(heavy, kAllBoxes);
    EXPECT_GT(all, 3600);
    EXPECT_EQ(durationText(all).substr(0, 3), "01:");
    EXPECT_GT(all, transmissionSeconds(image, kAllBoxes)) << "more 1 bits take longer";
}

TEST(RemoteFrames, ListsReadBackInWords)
{
    EeBlock image = imageWith({true, false}, {});
    image[field::powerOnDelay] = 0xFF;
    image[field::powerOnFade] = 0x7C;
    image[field::powerOnLevel] = 100;
    std::vector<std::string> lines;
    for (const RemoteFrame& frame :
         decodeRemoteFrames(encodeRemoteFrames(image, boxes({txBit::powerOn, txBit::isdSwitch, txBit::engine1}))))
        lines.push_back(describeFrame(frame));
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{"0 power-on: value 255, fade 6, level 20 (100 %)", "29 ISD: on",
                                  "1 engine 1 step 1: value 1, fade 0, level 10 (50 %)", "2 engine 1 step 2: end"}));
    EXPECT_TRUE(decodeRemoteFrames(std::vector<Byte>{0x00, 0x75}).empty()) << "bit 0 clear ends the list";
    EXPECT_EQ(decodeRemoteFrames(std::vector<Byte>{0x03, 0x00}).size(), 0u) << "a value frame cut off is no frame";
}

TEST(RemoteFrames, TxBoxesByName)
{
    EXPECT_EQ(parseTxSelection("pol,isd,isden,isdengine,lsten,lstengine"), 0x3F);
    EXPECT_EQ(parseTxSelection("isdengine,pol"), 0x09);
    EXPECT_EQ(parseTxSelection(""), 0x00);
    EXPECT_EQ(parseTxSelection("pol,radio"), std::nullopt);
    EXPECT_EQ(txSelectionText(0x09), "pol,isdengine");
    EXPECT_EQ(txSelectionText(0x00), "");
    for (const Byte status : {Byte{0x00}, Byte{0x15}, Byte{0x3F}})
        EXPECT_EQ(parseTxSelection(txSelectionText(status)), status) << "names and back";
}

} // namespace
} // namespace ormid
