#include "link/block_collector.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "fake_transport.h"

namespace ormid {
namespace {

using Bytes = std::vector<Byte>;
using test::FakeTransport;

Bytes header(Byte n)
{
    return {0xC0, 0x44, 0x00, 0x00, n, 0x00, 0x00, 0x00};
}

// Data report k of a block: bytes 8k .. 8k+7 of a recognisable pattern.
Bytes dataReport(std::size_t k, Byte salt = 0)
{
    Bytes r(8);
    for (std::size_t i = 0; i < 8; ++i)
        r[i] = static_cast<Byte>(((8 * k + i) ^ salt) & 0xFF);
    return r;
}

struct BlockCollectorTest : ::testing::Test {
    Block controlBlock{};
    Block sendBlock{};
    FakeTransport transport;
    BlockCollector collector{controlBlock, sendBlock};

    void SetUp() override
    {
        controlBlock.fill(0xCC);
        sendBlock.fill(0x55);
    }

    std::vector<CollectorTick> runTicks(int ticks)
    {
        std::vector<CollectorTick> results;
        for (int t = 0; t < ticks; ++t)
            results.push_back(collector.tick(transport));
        return results;
    }
};

TEST_F(BlockCollectorTest, ReadControlBlockSendsCommandAndSetsFlags)
{
    collector.readControlBlock(transport);
    ASSERT_EQ(transport.written.size(), 1u);
    EXPECT_EQ(transport.written[0], (Bytes{0xAA, 0x55, 0xF2, 0x10, 0x80, 0xFF, 0x00, 0x00}));
    EXPECT_TRUE(collector.controlFlag());
    EXPECT_FALSE(collector.dataFlag());
    EXPECT_TRUE(collector.running());
    EXPECT_EQ(collector.count(), 0);
}

TEST_F(BlockCollectorTest, ReadDataBlockSendsCommandAndSetsFlags)
{
    collector.readDataBlock(transport, 0x8000);
    ASSERT_EQ(transport.written.size(), 1u);
    EXPECT_EQ(transport.written[0], (Bytes{0xAA, 0x55, 0xF2, 0x10, 0x00, 0x80, 0x00, 0x00}));
    EXPECT_FALSE(collector.controlFlag());
    EXPECT_TRUE(collector.dataFlag());
    EXPECT_TRUE(collector.running());
    EXPECT_EQ(collector.count(), 0);
}

TEST_F(BlockCollectorTest, FullControlBlock)
{
    collector.readControlBlock(transport);
    transport.queue(header(0x80));
    for (std::size_t k = 0; k < 16; ++k)
        transport.queue(dataReport(k));

    EXPECT_EQ(collector.tick(transport), CollectorTick::header);
    EXPECT_EQ(collector.count(), 16);
    for (std::size_t k = 0; k < 15; ++k) {
        EXPECT_EQ(collector.tick(transport), CollectorTick::data) << k;
        EXPECT_EQ(collector.count(), static_cast<int>(15 - k));
    }
    EXPECT_EQ(collector.tick(transport), CollectorTick::blockComplete);
    EXPECT_FALSE(collector.running());
    EXPECT_FALSE(collector.controlFlag());
    EXPECT_FALSE(collector.dataFlag());
    EXPECT_EQ(collector.count(), 0);

    for (std::size_t i = 0; i < 128; ++i)
        EXPECT_EQ(controlBlock[i], i) << i;
    for (const Byte b : sendBlock)
        EXPECT_EQ(b, 0x55);

    // Stopped: a further tick reads nothing.
    transport.queue(dataReport(0, 0xFF));
    const int reads = transport.readCalls;
    EXPECT_EQ(collector.tick(transport), CollectorTick::notRunning);
    EXPECT_EQ(transport.readCalls, reads);
    EXPECT_EQ(controlBlock[0], 0);
}

TEST_F(BlockCollectorTest, DataBlockGoesToSendBlock)
{
    collector.readDataBlock(transport, 0x4000);
    transport.queue(header(0x80));
    for (std::size_t k = 0; k < 16; ++k)
        transport.queue(dataReport(k, 0xA5));
    const auto results = runTicks(17);
    EXPECT_EQ(results.back(), CollectorTick::blockComplete);
    for (std::size_t i = 0; i < 128; ++i)
        EXPECT_EQ(sendBlock[i], (i ^ 0xA5) & 0xFF) << i;
    for (const Byte b : controlBlock)
        EXPECT_EQ(b, 0xCC);
    EXPECT_FALSE(collector.dataFlag());
}

TEST_F(BlockCollectorTest, ControlThenDataTargets)
{
    collector.readControlBlock(transport);
    transport.queue(header(0x80));
    for (std::size_t k = 0; k < 16; ++k)
        transport.queue(dataReport(k, 0x11));
    runTicks(17);
    collector.readDataBlock(transport, 0x0000);
    transport.queue(header(0x80));
    for (std::size_t k = 0; k < 16; ++k)
        transport.queue(dataReport(k, 0x22));
    runTicks(17);
    for (std::size_t i = 0; i < 128; ++i) {
        EXPECT_EQ(controlBlock[i], (i ^ 0x11) & 0xFF) << i;
        EXPECT_EQ(sendBlock[i], (i ^ 0x22) & 0xFF) << i;
    }
}

TEST_F(BlockCollectorTest, HeaderOf0x40FillsOnlyBytes64To127)
{
    collector.readControlBlock(transport);
    transport.queue(header(0x40));
    for (std::size_t k = 0; k < 8; ++k)
        transport.queue(dataReport(k));
    EXPECT_EQ(collector.tick(transport), CollectorTick::header);
    EXPECT_EQ(collector.count(), 8);
    const auto results = runTicks(8);
    EXPECT_EQ(results.back(), CollectorTick::blockComplete);
    for (std::size_t i = 0; i < 64; ++i)
        EXPECT_EQ(controlBlock[i], 0xCC) << i;
    for (std::size_t i = 64; i < 128; ++i)
        EXPECT_EQ(controlBlock[i], i - 64) << i;
}

TEST_F(BlockCollectorTest, HeaderCounts)
{
    struct Case {
        Byte n;
        int count;
    };
    // n / 8 (integer division), clamped to the 16 reports of a block.
    const std::vector<Case> cases = {
        {0x80, 16}, {0x40, 8}, {0x08, 1}, {0x0F, 1}, {0x07, 0}, {0x00, 0}, {0x88, 16}, {0xFF, 16},
    };
    for (const auto& c : cases) {
        collector.readControlBlock(transport);
        transport.queue(header(c.n));
        EXPECT_EQ(collector.tick(transport), CollectorTick::header) << int(c.n);
        EXPECT_EQ(collector.count(), c.count) << int(c.n);
        EXPECT_TRUE(collector.running()) << int(c.n);
    }
}

TEST_F(BlockCollectorTest, HostileHeaderNeverWritesOutsideTheBlock)
{
    for (const Byte n : {Byte{0xFF}, Byte{0xF8}, Byte{0x88}}) {
        // Heap-backed blocks of exactly 128 bytes, so AddressSanitizer sees any overrun.
        auto control = std::make_unique<Block>();
        auto send = std::make_unique<Block>();
        control->fill(0xCC);
        BlockCollector hostile(*control, *send);
        FakeTransport t;
        hostile.readControlBlock(t);
        t.queue(header(n));
        for (std::size_t k = 0; k < 40; ++k)
            t.queue(dataReport(k));
        std::vector<CollectorTick> results;
        for (int tick = 0; tick < 41; ++tick)
            results.push_back(hostile.tick(t));
        EXPECT_EQ(results[16], CollectorTick::blockComplete) << int(n);
        for (std::size_t i = 0; i < 128; ++i)
            EXPECT_EQ((*control)[i], i) << int(n) << " byte " << i;
        EXPECT_EQ(results[17], CollectorTick::notRunning);
    }
}

TEST_F(BlockCollectorTest, NothingPending)
{
    collector.readControlBlock(transport);
    EXPECT_EQ(collector.tick(transport), CollectorTick::nothingPending);
    EXPECT_TRUE(collector.running());
    EXPECT_TRUE(collector.controlFlag());
}

TEST_F(BlockCollectorTest, ReportsBeforeHeaderAreIgnored)
{
    collector.readControlBlock(transport);
    transport.queue(dataReport(0, 0xEE));
    transport.queue(Bytes{0xC0, 0x22, 0x5A, 0x79, 0xA5, 0, 0, 0}); // a late mode answer
    transport.queue(Bytes{0xB2, 0x5F, 1, 2, 3, 4, 5, 6});          // a link reply that is no switch
    transport.queue(header(0x80));
    for (std::size_t k = 0; k < 16; ++k)
        transport.queue(dataReport(k));
    const auto results = runTicks(20);
    EXPECT_EQ(results[0], CollectorTick::ignored);
    EXPECT_EQ(results[1], CollectorTick::ignored);
    EXPECT_EQ(results[2], CollectorTick::ignored);
    EXPECT_EQ(results[3], CollectorTick::header);
    EXPECT_EQ(results[19], CollectorTick::blockComplete);
    for (std::size_t i = 0; i < 128; ++i)
        EXPECT_EQ(controlBlock[i], i) << i;
}

TEST_F(BlockCollectorTest, LinkReplySwitchStops)
{
    for (const Byte code : {Byte{0x50}, Byte{0x51}}) {
        collector.readControlBlock(transport);
        transport.queue(Bytes{0xB2, code, 0, 0, 0, 0, 0, 0});
        EXPECT_EQ(collector.tick(transport), CollectorTick::usbStickSwitch) << int(code);
        EXPECT_FALSE(collector.running());
        EXPECT_EQ(collector.tick(transport), CollectorTick::notRunning);
    }
    for (const Byte b : controlBlock)
        EXPECT_EQ(b, 0xCC);
}

TEST_F(BlockCollectorTest, LinkReplySwitchMidBlockStops)
{
    collector.readControlBlock(transport);
    transport.queue(header(0x80));
    transport.queue(dataReport(0));
    Bytes linkSwitch(64, 0x00); // a USB Stick mode report is 64 bytes long
    linkSwitch[0] = 0xB2;
    linkSwitch[1] = 0x50;
    transport.queue(linkSwitch);
    transport.queue(dataReport(1));
    const auto results = runTicks(4);
    EXPECT_EQ(results[0], CollectorTick::header);
    EXPECT_EQ(results[1], CollectorTick::data);
    EXPECT_EQ(results[2], CollectorTick::usbStickSwitch);
    EXPECT_EQ(results[3], CollectorTick::notRunning);
    EXPECT_EQ(controlBlock[8], 0xCC); // the report after the switch was not taken
}

TEST_F(BlockCollectorTest, NewHeaderMidBlockRestartsCount)
{
    collector.readControlBlock(transport);
    transport.queue(header(0x80));
    for (std::size_t k = 0; k < 5; ++k)
        transport.queue(dataReport(k, 0xF0));
    transport.queue(header(0x80));
    for (std::size_t k = 0; k < 16; ++k)
        transport.queue(dataReport(k));
    const auto results = runTicks(23);
    EXPECT_EQ(results[0], CollectorTick::header);
    EXPECT_EQ(results[6], CollectorTick::header);
    EXPECT_EQ(results[22], CollectorTick::blockComplete);
    for (std::size_t i = 0; i < 128; ++i)
        EXPECT_EQ(controlBlock[i], i) << i; // the second block overwrote the first five reports
}

TEST_F(BlockCollectorTest, ShorterHeaderMidBlockWritesTheTail)
{
    collector.readControlBlock(transport);
    transport.queue(header(0x80));
    for (std::size_t k = 0; k < 3; ++k)
        transport.queue(dataReport(k, 0xF0));
    transport.queue(header(0x10)); // two reports: bytes 112..127
    transport.queue(dataReport(0, 0x0F));
    transport.queue(dataReport(1, 0x0F));
    const auto results = runTicks(7);
    EXPECT_EQ(results[6], CollectorTick::blockComplete);
    for (std::size_t i = 0; i < 24; ++i)
        EXPECT_EQ(controlBlock[i], i ^ 0xF0) << i;
    for (std::size_t i = 24; i < 112; ++i)
        EXPECT_EQ(controlBlock[i], 0xCC) << i;
    for (std::size_t i = 112; i < 128; ++i)
        EXPECT_EQ(controlBlock[i], (i - 112) ^ 0x0F) << i;
}

TEST_F(BlockCollectorTest, DataRecognisedByPositionNotContent)
{
    collector.readDataBlock(transport, 0x0000);
    transport.queue(header(0x10));
    transport.queue(Bytes{0xC0, 0x33, 0x00, 0x00, 0x01, 0, 0, 0}); // looks like a write ack
    transport.queue(Bytes{0xC0, 0x22, 0x5A, 0x00, 0x00, 0, 0, 0}); // looks like a mode answer
    runTicks(3);
    EXPECT_EQ(Bytes(sendBlock.begin() + 112, sendBlock.end()),
              (Bytes{0xC0, 0x33, 0x00, 0x00, 0x01, 0, 0, 0, 0xC0, 0x22, 0x5A, 0x00, 0x00, 0, 0, 0}));
}

TEST_F(BlockCollectorTest, ShortAndLongDataReports)
{
    collector.readDataBlock(transport, 0x0000);
    transport.queue(header(0x10));
    transport.queue(Bytes{0x01, 0x02, 0x03}); // short: the rest reads as 0
    Bytes longReport(64, 0x77);               // a 64-byte report: only the first 8 bytes count
    transport.queue(longReport);
    runTicks(3);
    EXPECT_EQ(Bytes(sendBlock.begin() + 112, sendBlock.end()),
              (Bytes{0x01, 0x02, 0x03, 0, 0, 0, 0, 0, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77}));
    for (std::size_t i = 0; i < 112; ++i)
        EXPECT_EQ(sendBlock[i], 0x55) << i;
}

TEST_F(BlockCollectorTest, RestartClearsTheCount)
{
    collector.readControlBlock(transport);
    transport.queue(header(0x80));
    transport.queue(dataReport(0));
    runTicks(2);
    EXPECT_EQ(collector.count(), 15);
    collector.readDataBlock(transport, 0x4000);
    EXPECT_EQ(collector.count(), 0);
    EXPECT_TRUE(collector.dataFlag());
    EXPECT_FALSE(collector.controlFlag());
    transport.queue(dataReport(1));
    EXPECT_EQ(collector.tick(transport), CollectorTick::ignored);
}

} // namespace
} // namespace ormid
