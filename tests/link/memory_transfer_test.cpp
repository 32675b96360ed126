#include "link/memory_transfer.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/crc16.h"
#include "fake_transport.h"
#include "waiter_double.h"

namespace ormid {
namespace {

using test::FakeTransport;

TEST(RemoteFrameBlock, FramesThenTheirCrcThenZeros)
{
    const std::vector<Byte> frames = {0x11, 0x22, 0x33, 0x44, 0x55};
    const auto block = buildRemoteFrameBlock(frames);
    ASSERT_TRUE(block);
    std::vector<Byte> covered(kRemoteFramesSize, 0);
    std::copy(frames.begin(), frames.end(), covered.begin());
    const std::uint16_t crc = crc16(covered);
    ASSERT_NE(crc, 0);
    EXPECT_TRUE(std::equal(covered.begin(), covered.end(), block->begin()));
    EXPECT_EQ((*block)[66], crc & 0xFF);
    EXPECT_EQ((*block)[67], crc >> 8);
    EXPECT_TRUE(std::all_of(block->begin() + 68, block->end(), [](Byte b) { return b == 0; }));
}

TEST(RemoteFrameBlock, FramesLongerThanTheirSpaceAreRefused)
{
    EXPECT_TRUE(buildRemoteFrameBlock(std::vector<Byte>(kRemoteFramesSize, 1)));
    EXPECT_FALSE(buildRemoteFrameBlock(std::vector<Byte>(kRemoteFramesSize + 1, 1)));
}

TEST(TransferMemory, StepsCarryTheirCodesAndAddresses)
{
    const struct {
        TransferStep step;
        const char* code;
        std::uint16_t addressOfM3;
    } cases[] = {
        {TransferStep::dataBlock, "CF", 0x8000},
        {TransferStep::remoteFrameBlock, "CF", 0x8080},
        {TransferStep::controlBlock, "CB", 0xFF80},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(transferErrorCode(c.step), c.code) << describe(c.step);
        EXPECT_EQ(stepAddress(c.step, 3), c.addressOfM3) << describe(c.step);
    }
}

TEST(TransferMemory, AnInvalidRequestSendsNothing)
{
    const struct {
        const char* name;
        int memory;
        std::size_t imageSize;
    } cases[] = {
        {"memory 0", 0, kImageSize},
        {"memory 5", 5, kImageSize},
        {"image too short", 1, 95},
    };
    for (const auto& c : cases) {
        FakeTransport stick;
        test::TestWaiter waiter;
        MemoryTransferRequest request;
        request.memory = c.memory;
        request.image = EeBlock(c.imageSize, 0x01);
        const auto result = transferMemory(stick, waiter, request);
        EXPECT_EQ(result.status, MemoryTransferResult::Status::invalidRequest) << c.name;
        EXPECT_TRUE(stick.written.empty()) << c.name;
    }
}

TEST(EraseStick, SendsTheEraseOrGoRemoteCommand)
{
    for (const bool remote : {false, true}) {
        FakeTransport stick;
        eraseStick(stick, remote);
        ASSERT_EQ(stick.written.size(), 1u);
        const MemoryCommand expected = remote ? goRemoteCommand() : eraseCommand();
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), stick.written[0].begin())) << remote;
        EXPECT_EQ(stick.readCalls, 0) << "no answer is awaited";
    }
}

} // namespace
} // namespace ormid
