#include "link/block_transfer.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_transport.h"
#include "waiter_double.h"

namespace ormid {
namespace {

using Bytes = std::vector<Byte>;
using test::FakeTransport;

Bytes ack(std::uint16_t address, Byte status)
{
    return {0xC0, 0x33, static_cast<Byte>(address & 0xFF), static_cast<Byte>(address >> 8), status, 0, 0, 0};
}

Block numberedBlock()
{
    Block block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<Byte>(i);
    return block;
}

TEST(WriteBlock, SendsTheCommandAndTheBlockInSixteenReports)
{
    FakeTransport stick;
    stick.queue({0x00}); // taken by the discarded read
    stick.queue(ack(0x8000, 1));
    test::TestWaiter waiter;
    EXPECT_EQ(writeBlock(stick, waiter, 0x8000, numberedBlock()), BlockWriteResult::written);

    ASSERT_EQ(stick.written.size(), 17u);
    EXPECT_EQ(stick.written[0], (Bytes{0xAA, 0x55, 0xF1, 0x10, 0x00, 0x80, 0x00, 0x00}));
    for (std::size_t k = 0; k < 16; ++k)
        for (std::size_t i = 0; i < 8; ++i)
            EXPECT_EQ(stick.written[1 + k][i], 8 * k + i) << "report " << k << " byte " << i;
}

TEST(WriteBlock, AnAcknowledgementPendingBeforeTheDataIsNotTakenForThisBlock)
{
    FakeTransport stick;
    stick.queue(ack(0x4000, 1)); // left over from an earlier write
    test::TestWaiter waiter;
    EXPECT_EQ(writeBlock(stick, waiter, 0x4000, numberedBlock()), BlockWriteResult::noAcknowledgement);
}

TEST(WriteAcknowledgement, TheFirstAcknowledgementDecidesAtOnce)
{
    const struct {
        const char* name;
        std::vector<Bytes> reports;
        BlockWriteResult result;
        int sleeps;
    } cases[] = {
        {"confirmed", {ack(0xFF80, 1)}, BlockWriteResult::written, 1},
        {"other reports skipped",
         {{0xC0, 0x44, 0, 0, 0x80}, {0x12, 0x34}, ack(0xFF80, 1)},
         BlockWriteResult::written,
         3},
        {"status 0", {ack(0xFF80, 0)}, BlockWriteResult::refused, 1},
        {"other address", {ack(0x0000, 1)}, BlockWriteResult::wrongAddress, 1},
        {"other address decides before a good one",
         {ack(0xFF00, 1), ack(0xFF80, 1)},
         BlockWriteResult::wrongAddress,
         1},
        {"nothing", {}, BlockWriteResult::noAcknowledgement, kAcknowledgementCycles},
        {"no acknowledgement among other reports",
         {{0x01}, {0x02}},
         BlockWriteResult::noAcknowledgement,
         kAcknowledgementCycles},
    };
    for (const auto& c : cases) {
        FakeTransport stick;
        for (const auto& report : c.reports)
            stick.queue(report);
        test::TestWaiter waiter;
        EXPECT_EQ(waitForWriteAcknowledgement(stick, waiter, 0xFF80), c.result) << c.name;
        EXPECT_EQ(waiter.sleeps, c.sleeps) << c.name;
        EXPECT_EQ(stick.readCalls, c.sleeps) << c.name << ": one read per cycle";
    }
}

TEST(ReadBlock, CollectsTheAnnouncedBlock)
{
    FakeTransport stick;
    stick.queue({0xC0, 0x44, 0x00, 0x00, 0x80});
    const Block expected = numberedBlock();
    for (std::size_t at = 0; at < expected.size(); at += 8)
        stick.queue(Bytes(expected.begin() + static_cast<std::ptrdiff_t>(at),
                          expected.begin() + static_cast<std::ptrdiff_t>(at + 8)));
    test::TestWaiter waiter;
    std::vector<int> cycles;
    const BlockRead read = readBlock(stick, waiter, 0x4000, [&](int cycle) { cycles.push_back(cycle); });

    EXPECT_EQ(read.status, BlockReadStatus::read);
    EXPECT_EQ(read.block, expected);
    EXPECT_EQ(stick.written.front(), (Bytes{0xAA, 0x55, 0xF2, 0x10, 0x00, 0x40, 0x00, 0x00}));
    EXPECT_EQ(cycles.size(), 17u) << "one report per collector tick";
    EXPECT_EQ(cycles.front(), 0);
}

TEST(ReadBlock, EndsWithoutTheBlock)
{
    const struct {
        const char* name;
        std::vector<Bytes> reports;
        BlockReadStatus status;
        int cycles;
    } cases[] = {
        {"silent stick", {}, BlockReadStatus::didNotArrive, kBlockReadCycles},
        {"half a block",
         {{0xC0, 0x44, 0, 0, 0x80}, {1, 2, 3, 4, 5, 6, 7, 8}},
         BlockReadStatus::didNotArrive,
         kBlockReadCycles},
        {"USB Stick mode", {{0xB2, 0x50}}, BlockReadStatus::usbStickSwitch, 1},
    };
    for (const auto& c : cases) {
        FakeTransport stick;
        for (const auto& report : c.reports)
            stick.queue(report);
        test::TestWaiter waiter;
        int lastCycle = -1;
        const BlockRead read = readBlock(stick, waiter, 0x0000, [&](int cycle) { lastCycle = cycle; });
        EXPECT_EQ(read.status, c.status) << c.name;
        EXPECT_EQ(waiter.sleeps, c.cycles) << c.name;
        EXPECT_EQ(lastCycle, c.cycles - 1) << c.name;
    }
}

} // namespace
} // namespace ormid
