#include "link/stick_probe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "fake_transport.h"
#include "sim/virtual_clock.h" // header-only: no link to the simulator

namespace ormid {
namespace {

using Bytes = std::vector<Byte>;
using test::FakeTransport;

const Bytes kModeQuery = {0xAA, 0x55, 0xF8, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes kReadControlBlock = {0xAA, 0x55, 0xF2, 0x10, 0x80, 0xFF, 0x00, 0x00};

Bytes dataReport(std::size_t k)
{
    Bytes r(8);
    for (std::size_t i = 0; i < 8; ++i)
        r[i] = static_cast<Byte>(0x80 + 8 * k + i);
    return r;
}

// The stick's answer to the control-block request: the read header and 16 data reports.
void queueControlBlock(FakeTransport& transport)
{
    transport.queue({0xC0, 0x44, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00});
    for (std::size_t k = 0; k < 16; ++k)
        transport.queue(dataReport(k));
}

ControlBlock expectedControlBlock()
{
    ControlBlock block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<Byte>(0x80 + i);
    return block;
}

struct StickProbeTest : ::testing::Test {
    FakeTransport transport;
    StickProbe probe;

    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            probe.tick();
    }
    // Ticks until the end, at most `limit` times; the number of ticks taken.
    int ticksToEnd(int limit = 200)
    {
        int n = 0;
        while (!probe.finished() && n < limit) {
            probe.tick();
            ++n;
        }
        return n;
    }
};

TEST_F(StickProbeTest, NoStickFinishesAtOnceWithoutSendingAnything)
{
    transport.present = false;
    probe.start(transport);
    EXPECT_TRUE(probe.finished());
    EXPECT_EQ(probe.result(), ProbeResult::noStick);
    EXPECT_TRUE(transport.written.empty());
    EXPECT_EQ(transport.lastVendorId, kStickVendorId);
    EXPECT_EQ(transport.lastProductId, kStickProductId);
}

TEST_F(StickProbeTest, ModeAnswerEndsThePollOnItsTickAndAsksForTheControlBlock)
{
    const struct {
        Bytes answer;
        bool remote;
    } cases[] = {
        {{0xC0, 0x22, 0x5A, 0x79, 0xA5, 0, 0, 0}, true},
        {{0xC0, 0x22, 0x5A, 0x00, 0x00, 0, 0, 0}, false},
        {{0xC0, 0x22, 0x5A, 0xA5, 0x79, 0, 0, 0}, false}, // the mark is little-endian A579
        {{0xC0, 0x22, 0x5A, 0x79}, false},                // a short answer lacks the mark
    };
    for (const auto& c : cases) {
        FakeTransport stick;
        StickProbe p;
        p.start(stick);
        ASSERT_EQ(stick.written, std::vector<Bytes>{kModeQuery});
        EXPECT_EQ(p.phase(), ProbePhase::modeQuery);
        p.tick();
        EXPECT_EQ(p.phase(), ProbePhase::modeQuery) << "nothing pending yet";

        stick.queue(c.answer);
        p.tick();
        EXPECT_TRUE(p.modeQueryAnswered());
        EXPECT_EQ(p.remoteMode(), c.remote) << testing::PrintToString(c.answer);
        EXPECT_EQ(p.phase(), ProbePhase::controlBlock);
        EXPECT_EQ(stick.findCalls, 2) << "presence is checked again before the control block";
        EXPECT_EQ(stick.written, (std::vector<Bytes>{kModeQuery, kReadControlBlock}));
    }
}

TEST_F(StickProbeTest, WithoutAnAnswerTheControlBlockIsAskedForAfterTheTwentiethTick)
{
    probe.start(transport);
    transport.queue({0xC0, 0x44, 0x00, 0x00, 0x80, 0, 0, 0}); // not a mode answer: ignored
    transport.queue({0xC0, 0x22, 0x5B, 0x79, 0xA5, 0, 0, 0});
    ticks(StickProbe::kModeQueryTicks - 1);
    EXPECT_EQ(probe.phase(), ProbePhase::modeQuery);
    EXPECT_EQ(transport.written.size(), 1u);

    probe.tick();
    EXPECT_EQ(probe.phase(), ProbePhase::controlBlock);
    EXPECT_FALSE(probe.modeQueryAnswered());
    EXPECT_FALSE(probe.remoteMode());
    EXPECT_EQ(transport.written.back(), kReadControlBlock);
    EXPECT_EQ(transport.readCalls, StickProbe::kModeQueryTicks) << "one report per tick";
}

TEST_F(StickProbeTest, CompleteControlBlockIsMemoryMode)
{
    probe.start(transport);
    transport.queue({0xC0, 0x22, 0x5A, 0x00, 0x00, 0, 0, 0});
    queueControlBlock(transport);

    EXPECT_EQ(ticksToEnd(), 1 + 17);
    EXPECT_EQ(probe.result(), ProbeResult::memoryMode);
    EXPECT_EQ(probe.controlBlock(), expectedControlBlock());
    EXPECT_TRUE(probe.modeQueryAnswered());
    EXPECT_FALSE(probe.remoteMode());
}

TEST_F(StickProbeTest, LinkReplyToTheControlBlockRequestIsUsbStickMode)
{
    const struct {
        Byte code;
        bool deviceConnected;
    } cases[] = {{0x50, true}, {0x51, false}};
    for (const auto& c : cases) {
        FakeTransport stick(64, 64);
        StickProbe p;
        p.start(stick);
        // A stick in USB Stick mode does not know the mode query.
        for (int t = 0; t < StickProbe::kModeQueryTicks; ++t)
            p.tick();
        ASSERT_EQ(p.phase(), ProbePhase::controlBlock);

        stick.queue(Bytes{0xB2, c.code});
        p.tick();
        EXPECT_TRUE(p.finished());
        EXPECT_EQ(p.result(), ProbeResult::usbStickMode);
        EXPECT_EQ(p.deviceConnected(), c.deviceConnected) << int(c.code);
        EXPECT_FALSE(p.modeQueryAnswered());
    }
}

TEST_F(StickProbeTest, LinkReplyInTheMiddleOfTheBlockSwitchesToUsbStickMode)
{
    probe.start(transport);
    transport.queue({0xC0, 0x22, 0x5A, 0x00, 0x00, 0, 0, 0});
    transport.queue({0xC0, 0x44, 0x00, 0x00, 0x80, 0, 0, 0});
    transport.queue(dataReport(0));
    transport.queue(Bytes{0xB2, 0x50, 0, 0, 0, 0, 0, 0});
    queueControlBlock(transport);
    ticksToEnd();
    EXPECT_EQ(probe.result(), ProbeResult::usbStickMode);
    EXPECT_TRUE(probe.deviceConnected());
}

TEST_F(StickProbeTest, NoControlBlockTimesOutAfter101Cycles)
{
    probe.start(transport);
    transport.queue({0xC0, 0x22, 0x5A, 0x79, 0xA5, 0, 0, 0});
    probe.tick();
    ASSERT_EQ(probe.phase(), ProbePhase::controlBlock);
    // A block that starts and stops halfway.
    transport.queue({0xC0, 0x44, 0x00, 0x00, 0x80, 0, 0, 0});
    for (std::size_t k = 0; k < 5; ++k)
        transport.queue(dataReport(k));

    for (int cycle = 0; cycle < StickProbe::kControlBlockCycles - 1; ++cycle) {
        EXPECT_EQ(probe.waitCycle(), cycle);
        probe.tick();
    }
    EXPECT_FALSE(probe.finished());
    probe.tick();
    EXPECT_TRUE(probe.finished());
    EXPECT_EQ(probe.result(), ProbeResult::timeOut);
    EXPECT_TRUE(probe.remoteMode());
    EXPECT_EQ(probe.controlBlock()[39], 0x80 + 39) << "what arrived is kept";
    EXPECT_EQ(probe.controlBlock()[40], 0x00);

    // A late report is not taken after the end.
    transport.queue(dataReport(5));
    probe.tick();
    EXPECT_EQ(transport.inputs.size(), 1u);
}

TEST_F(StickProbeTest, StickPulledOutDuringTheModeQueryIsNoStick)
{
    probe.start(transport);
    transport.present = false;
    EXPECT_EQ(ticksToEnd(), StickProbe::kModeQueryTicks);
    EXPECT_EQ(probe.result(), ProbeResult::noStick);
    EXPECT_EQ(transport.written, std::vector<Bytes>{kModeQuery});
}

TEST_F(StickProbeTest, StartAgainForgetsTheEarlierRun)
{
    probe.start(transport);
    transport.queue({0xC0, 0x22, 0x5A, 0x79, 0xA5, 0, 0, 0});
    queueControlBlock(transport);
    ticksToEnd();
    ASSERT_EQ(probe.result(), ProbeResult::memoryMode);

    FakeTransport legacy;
    probe.start(legacy);
    EXPECT_EQ(probe.result(), ProbeResult::pending);
    EXPECT_FALSE(probe.remoteMode());
    EXPECT_FALSE(probe.modeQueryAnswered());
    EXPECT_EQ(probe.controlBlock(), ControlBlock{});
    EXPECT_EQ(ticksToEnd(), StickProbe::kModeQueryTicks + StickProbe::kControlBlockCycles);
    EXPECT_EQ(probe.result(), ProbeResult::timeOut);
    EXPECT_TRUE(transport.inputs.empty());
}

TEST_F(StickProbeTest, RunStickProbeTicksAfterEverySleep)
{
    sim::VirtualClock clock;
    sim::VirtualWaiter waiter(clock);
    transport.queue({0xC0, 0x22, 0x5A, 0x00, 0x00, 0, 0, 0});
    queueControlBlock(transport);
    EXPECT_EQ(runStickProbe(probe, transport, waiter), ProbeResult::memoryMode);
    EXPECT_EQ(waiter.sleeps, 18);
    EXPECT_EQ(std::chrono::milliseconds(clock.now()), 18 * StickProbe::kTickPeriod);

    sim::VirtualClock unused;
    sim::VirtualWaiter noSleep(unused);
    transport.present = false;
    EXPECT_EQ(runStickProbe(probe, transport, noSleep), ProbeResult::noStick);
    EXPECT_EQ(noSleep.sleeps, 0);
}

} // namespace
} // namespace ormid
