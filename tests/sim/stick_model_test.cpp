#include "sim/stick_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "case_name.h"
#include "core/crc16.h"
#include "core/data_block.h"
#include "link/block_collector.h"
#include "link/control_block.h"
#include "link/stick_frames.h"
#include "sim/presets.h"
#include "sim/sim_transport.h"

namespace ormid::sim {
namespace {

using Bytes = std::vector<Byte>;

constexpr Millis kCollectorTick = 50;
constexpr int kCollectorCycles = 101;
constexpr Byte kUsbLength = 64;

// A simulated stick on a virtual clock, reached through the transport the program uses.
struct Stick {
    VirtualClock clock;
    StickModel model;
    SimTransport transport;

    explicit Stick(StickConfig config = {}, Faults faults = {}, StickState state = {})
        : model(config, std::move(faults), std::move(state)), transport(model, clock)
    {
    }

    void send(ByteSpan report) { transport.writeData(report); }
    void send(const LinkCommand& command)
    {
        const LinkFrame frame = buildLinkFrame(command.bytes, transport.getOutputReportLength());
        ASSERT_EQ(frame.status, LinkFrameStatus::built);
        send(frame.report);
    }
    // Every report due now, in order.
    std::vector<Report> drain()
    {
        std::vector<Report> reports;
        while (std::optional<Report> report = transport.readData())
            reports.push_back(std::move(*report));
        return reports;
    }
    // The reply codes of the link replies due now.
    Bytes replyCodes()
    {
        Bytes codes;
        for (const Report& report : drain())
            codes.push_back(linkReplyCode(report).value_or(0));
        return codes;
    }
};

StickConfig usbConfig()
{
    StickConfig config;
    config.mode = StickMode::usb;
    return config;
}

// A block read exactly as the program runs it: the collector, one report per 50 ms tick.
std::optional<Block> collectBlock(Stick& stick, std::uint16_t address)
{
    Block controlBlock{};
    Block sendBlock{};
    BlockCollector collector(controlBlock, sendBlock);
    if (address == kControlBlockAddress)
        collector.readControlBlock(stick.transport);
    else
        collector.readDataBlock(stick.transport, address);
    for (int cycle = 0; cycle < kCollectorCycles; ++cycle) {
        if (collector.tick(stick.transport) == CollectorTick::blockComplete)
            return address == kControlBlockAddress ? controlBlock : sendBlock;
        if (!collector.running())
            return std::nullopt;
        stick.clock.advance(kCollectorTick);
    }
    return std::nullopt;
}

void writeBlock(Stick& stick, std::uint16_t address, const Block& data)
{
    stick.send(writeBlockCommand(address));
    for (std::size_t at = 0; at < data.size(); at += kDataReportSize)
        stick.send(ByteSpan(data).subspan(at, kDataReportSize));
}

Block patternBlock(Byte salt)
{
    Block block;
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<Byte>(i * 3 + salt);
    return block;
}

const std::array<std::string, 4> kNames = {"Street", "Park", "Bridge", "Plaza"};

EeBlock imageFor(int n)
{
    EeBlock image = makeDefaultImage();
    for (std::size_t i = 0; i < kStoredImageBytes; ++i)
        image[i] = static_cast<Byte>(i * 5 + n);
    return image;
}

StickState presetStick(bool remote)
{
    StickState state;
    state.remote = remote;
    for (int n = 1; n <= kMemoryCount; ++n)
        EXPECT_EQ(presetMemory(state, n, imageFor(n), kNames[n - 1]), "");
    EXPECT_EQ(presetFirmwareRecord(state, 77, 5704), "");
    return state;
}

StickState deviceState()
{
    StickState state;
    for (std::size_t i = 0; i < state.deviceMemory.size(); ++i)
        state.deviceMemory[i] = static_cast<Byte>(i ^ 0x5A);
    return state;
}

// ---------------------------------------------------------------------------
// Memory mode

class PresetStickTest : public ::testing::TestWithParam<bool> {};

TEST_P(PresetStickTest, CollectorReadsControlBlockAndEveryDataBlock)
{
    const bool remote = GetParam();
    Stick stick({}, {}, presetStick(remote));

    const std::optional<Block> control = collectBlock(stick, kControlBlockAddress);
    ASSERT_TRUE(control);
    for (int n = 1; n <= kMemoryCount; ++n) {
        SCOPED_TRACE(n);
        const MemoryRecord record = readMemoryRecord(*control, n);
        EXPECT_TRUE(record.isValid(remote));
        EXPECT_FALSE(record.isValid(!remote));
        EXPECT_EQ(record.name(), kNames[n - 1] + std::string(8 - kNames[n - 1].size(), ' '));

        const std::optional<Block> data = collectBlock(stick, record.dataAddress());
        ASSERT_TRUE(data);
        EeBlock image(kImageSize, 0x00);
        ASSERT_EQ(copyDataBlockToImage(*data, record.length, image), DataBlockWalk::copied);
        const EeBlock expected = imageFor(n);
        EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + kStoredImageBytes, image.begin()));
    }
    const FirmwareRecord firmware = readFirmwareRecord(*control);
    EXPECT_TRUE(firmware.isValid());
    EXPECT_EQ(firmware.version, 77);
    EXPECT_EQ(firmware.size, 5704);
}

INSTANTIATE_TEST_SUITE_P(LocalAndRemote, PresetStickTest, ::testing::Bool(), test::stickKindName);

struct ModeCase {
    const char* name;
    bool remote;
    bool legacy;
    std::optional<StickVariant> answer;
    friend void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }
};

class ModeQueryTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeQueryTest, AnswersAsItsKind)
{
    const ModeCase& c = GetParam();
    StickConfig config;
    config.legacy = c.legacy;
    StickState state;
    state.remote = c.remote;
    Stick stick(config, {}, state);

    stick.send(modeQueryCommand());
    stick.clock.advance(1000);
    const std::vector<Report> replies = stick.drain();
    if (!c.answer) {
        EXPECT_TRUE(replies.empty());
        return;
    }
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].size(), 8u);
    EXPECT_EQ(parseModeAnswer(replies[0]), c.answer);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ModeQueryTest,
                         ::testing::Values(ModeCase{"local", false, false, StickVariant::local},
                                           ModeCase{"remote", true, false, StickVariant::remote},
                                           ModeCase{"legacy", false, true, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

struct EraseCase {
    const char* name;
    bool remoteBefore;
    MemoryCommand command;
    StickVariant after;
    friend void PrintTo(const EraseCase& c, std::ostream* os) { *os << c.name; }
};

class EraseTest : public ::testing::TestWithParam<EraseCase> {};

TEST_P(EraseTest, ClearsTheMemoriesKeepsTheFirmwareAndSetsTheKind)
{
    const EraseCase& c = GetParam();
    StickState before = presetStick(c.remoteBefore);
    for (int n = 1; n <= kMemoryCount; ++n)
        writeStickBlock(before, remoteBlockAddress(n), patternBlock(static_cast<Byte>(n)));
    const Block firmwareBlock = patternBlock(9);
    writeStickBlock(before, blockAddress(kFirmwareFirstBlock), firmwareBlock);
    Block control = readStickBlock(before, kControlBlockAddress);
    std::fill(control.begin() + kInterpretedBytes, control.end(), 0x3C);
    writeStickBlock(before, kControlBlockAddress, control);
    Stick stick({}, {}, before);

    stick.send(c.command);
    stick.clock.advance(1000);
    EXPECT_TRUE(stick.drain().empty()) << "erase is not answered";

    stick.send(modeQueryCommand());
    const std::vector<Report> answer = stick.drain();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(parseModeAnswer(answer[0]), c.after);

    const std::optional<Block> after = collectBlock(stick, kControlBlockAddress);
    ASSERT_TRUE(after);
    EXPECT_TRUE(std::all_of(after->begin(), after->begin() + kFirmwareRecordOffset, [](Byte b) { return b == 0xFF; }));
    EXPECT_TRUE(
        std::equal(after->begin() + kFirmwareRecordOffset, after->end(), control.begin() + kFirmwareRecordOffset))
        << "the firmware record and bytes 80..127 stay";
    Block erased;
    erased.fill(0xFF);
    for (int n = 1; n <= kMemoryCount; ++n) {
        EXPECT_EQ(collectBlock(stick, dataBlockAddress(n)), erased) << "M" << n;
        EXPECT_EQ(collectBlock(stick, remoteBlockAddress(n)), erased) << "M" << n;
    }
    EXPECT_EQ(collectBlock(stick, blockAddress(kFirmwareFirstBlock)), firmwareBlock);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, EraseTest,
    ::testing::Values(EraseCase{"EraseLocal", false, eraseCommand(), StickVariant::local},
                      EraseCase{"EraseRemote", true, eraseCommand(), StickVariant::local},
                      EraseCase{"GoRemoteFromLocal", false, goRemoteCommand(), StickVariant::remote},
                      EraseCase{"GoRemoteFromRemote", true, goRemoteCommand(), StickVariant::remote}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EraseCommandTest, WithoutItsKeyIsIgnored)
{
    const StickState before = presetStick(false);
    Stick stick({}, {}, before);
    MemoryCommand noKey = eraseCommand();
    noKey[5] = 0x00;
    MemoryCommand remoteWithoutMark = goRemoteCommand();
    remoteWithoutMark[7] = 0x00;
    stick.send(noKey);
    stick.send(remoteWithoutMark);
    EXPECT_EQ(stick.model.state(), before);
}

class BlockWriteTest : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(BlockWriteTest, IsAcknowledgedAndReadsBackIdentical)
{
    const std::uint16_t address = GetParam();
    Stick stick;
    const Block data = patternBlock(static_cast<Byte>(address >> 8));

    writeBlock(stick, address, data);
    const std::vector<Report> replies = stick.drain();
    ASSERT_EQ(replies.size(), 1u);
    const std::optional<WriteAcknowledgement> ack = parseWriteAcknowledgement(replies[0]);
    ASSERT_TRUE(ack);
    EXPECT_TRUE(ack->confirms(address));
    EXPECT_EQ(collectBlock(stick, address), data);
}

// 0xFFC0 runs past the end of the 64 KB and wraps to address 0.
INSTANTIATE_TEST_SUITE_P(Addresses, BlockWriteTest, ::testing::Values(0x0000, 0x4000, 0x0200, 0xFF80, 0xFFC0),
                         [](const auto& info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "At%04X", static_cast<unsigned>(info.param));
                             return std::string(name);
                         });

TEST(BlockWriteWrapTest, TheBlockAtTheEndContinuesAtAddressZero)
{
    Stick stick;
    const Block data = patternBlock(1);
    writeBlock(stick, 0xFFC0, data);
    const Block start = readStickBlock(stick.model.state(), 0x0000);
    EXPECT_TRUE(std::equal(data.begin() + 64, data.end(), start.begin()));
    EXPECT_EQ(stick.model.state().memory.size(), kStickMemorySize);
}

TEST(BlockWrite, DataIsTakenByPositionEvenWhenItLooksLikeACommand)
{
    Stick stick;
    Block data{};
    const MemoryCommand erase = eraseCommand();
    std::copy(erase.begin(), erase.end(), data.begin());
    const MemoryCommand read = readBlockCommand(0x4000);
    std::copy(read.begin(), read.end(), data.begin() + 8);

    writeBlock(stick, 0x8000, data);
    EXPECT_EQ(stick.drain().size(), 1u) << "only the acknowledgement";
    EXPECT_EQ(readStickBlock(stick.model.state(), 0x8000), data);
}

struct AckFaultCase {
    const char* name;
    Faults faults;
    std::optional<WriteAcknowledgement> ack;
    friend void PrintTo(const AckFaultCase& c, std::ostream* os) { *os << c.name; }
};

Faults faultsWith(void (*set)(Faults&))
{
    Faults faults;
    set(faults);
    return faults;
}

class BlockWriteFaultTest : public ::testing::TestWithParam<AckFaultCase> {};

TEST_P(BlockWriteFaultTest, FailsTheWriteAndLeavesTheMemory)
{
    const AckFaultCase& c = GetParam();
    Stick stick({}, c.faults);
    const StickState before = stick.model.state();

    writeBlock(stick, 0x4000, patternBlock(7));
    stick.clock.advance(2000);
    const std::vector<Report> replies = stick.drain();

    if (!c.ack) {
        EXPECT_TRUE(replies.empty());
    } else {
        ASSERT_EQ(replies.size(), 1u);
        const std::optional<WriteAcknowledgement> ack = parseWriteAcknowledgement(replies[0]);
        ASSERT_TRUE(ack);
        EXPECT_EQ(ack->address, c.ack->address);
        EXPECT_EQ(ack->status, c.ack->status);
        EXPECT_FALSE(ack->confirms(0x4000));
    }
    EXPECT_EQ(stick.model.state(), before);
}

INSTANTIATE_TEST_SUITE_P(
    AckFaults, BlockWriteFaultTest,
    ::testing::Values(AckFaultCase{"NeverAck", faultsWith([](Faults& f) { f.neverAckBlockWrite = true; }),
                                   std::nullopt},
                      AckFaultCase{"OtherAddress", faultsWith([](Faults& f) { f.ackOtherAddress = true; }),
                                   WriteAcknowledgement{0x4080, 1}},
                      AckFaultCase{"StatusZero", faultsWith([](Faults& f) { f.ackStatusZero = true; }),
                                   WriteAcknowledgement{0x4000, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LostBlockAckTest, TheNthBlockIsWrittenWithoutItsAcknowledgement)
{
    Faults faults;
    faults.loseBlockAck = 2;
    Stick stick({}, faults);
    for (const auto& [address, acknowledged] : {std::pair{0x4000, true}, {0xFF80, false}, {0x8000, true}}) {
        const Block data = patternBlock(static_cast<Byte>(address >> 8));
        writeBlock(stick, static_cast<std::uint16_t>(address), data);
        EXPECT_EQ(stick.drain().size(), acknowledged ? 1u : 0u) << address;
        EXPECT_EQ(readStickBlock(stick.model.state(), static_cast<std::uint16_t>(address)), data) << address;
    }
}

TEST(FlipStoredTest, ABlockWriteOverTheAddressStoresThatByteInvertedAndIsAcknowledged)
{
    Faults faults;
    faults.flipStoredAt = 0x4005;
    Stick stick({}, faults);
    for (const std::uint16_t address : {0x4000, 0x4080}) {
        const Block data = patternBlock(static_cast<Byte>(address >> 8));
        writeBlock(stick, address, data);
        EXPECT_EQ(stick.drain().size(), 1u) << address;
        Block expected = data;
        if (address == 0x4000)
            expected[5] = static_cast<Byte>(~data[5]);
        EXPECT_EQ(readStickBlock(stick.model.state(), address), expected) << address;
    }
}

TEST(InterruptedBlockWriteTest, ALateReportAbandonsTheWriteAndCountsAsACommand)
{
    Stick stick;
    const StickState before = stick.model.state();
    const Block data = patternBlock(3);
    stick.send(writeBlockCommand(0x4000));
    for (std::size_t at = 0; at < 5 * kDataReportSize; at += kDataReportSize)
        stick.send(ByteSpan(data).subspan(at, kDataReportSize));

    stick.clock.advance(kBlockWriteTimeout + 1);
    const std::optional<Block> read = collectBlock(stick, 0x4000);
    ASSERT_TRUE(read) << "the read block command was taken as a command";
    EXPECT_EQ(read, readStickBlock(before, 0x4000));
    EXPECT_EQ(stick.model.state(), before);
}

TEST(InterruptedBlockWriteTest, AReportThatCannotBeDataAbandonsTheWrite)
{
    Stick stick;
    const StickState before = stick.model.state();
    const Block data = patternBlock(4);
    stick.send(writeBlockCommand(0x4000));
    stick.send(ByteSpan(data).subspan(0, 8));
    stick.send(Bytes(9, 0x11)); // longer than any output report of this stick
    for (std::size_t at = 8; at < data.size(); at += kDataReportSize)
        stick.send(ByteSpan(data).subspan(at, kDataReportSize));
    EXPECT_TRUE(stick.drain().empty());
    EXPECT_EQ(stick.model.state(), before);
}

TEST(ConnectTest, ForgetsPendingRepliesAndAHalfReceivedBlockWrite)
{
    Stick stick;
    const StickState before = stick.model.state();
    const Block data = patternBlock(5);
    stick.send(modeQueryCommand());
    stick.send(writeBlockCommand(0x4000));
    stick.send(ByteSpan(data).subspan(0, 64));

    stick.transport.setPluggedIn(false);
    EXPECT_FALSE(stick.transport.findHidDevice(kStickVendorId, kStickProductId));
    stick.transport.setPluggedIn(true);
    EXPECT_TRUE(stick.drain().empty());
    stick.send(ByteSpan(data).subspan(64, 64));
    EXPECT_EQ(stick.model.state(), before);
    EXPECT_EQ(collectBlock(stick, 0x4000), readStickBlock(before, 0x4000));
}

// ---------------------------------------------------------------------------
// Transport, timing, drop, callbacks

TEST(SimTransportTest, ReachesTheModelOnlyWhilePluggedInAndAskedForTheStick)
{
    Stick stick;
    int received = 0;
    stick.model.onReport([&](Direction d, ByteSpan) { received += d == Direction::in; });
    EXPECT_TRUE(stick.transport.findHidDevice(kStickVendorId, kStickProductId));
    EXPECT_FALSE(stick.transport.findHidDevice(kStickVendorId, kStickProductId + 1));
    EXPECT_EQ(stick.transport.getInputReportLength(), 8);
    EXPECT_EQ(stick.transport.getOutputReportLength(), 8);

    stick.transport.setPluggedIn(false);
    EXPECT_FALSE(stick.transport.findHidDevice(kStickVendorId, kStickProductId));
    stick.send(modeQueryCommand());
    EXPECT_EQ(received, 0);

    stick.transport.setPluggedIn(true);
    stick.send(Bytes{0xAA, 0x55, 0xF8}); // padded with zeros to a whole report
    const std::vector<Report> replies = stick.drain();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(parseModeAnswer(replies[0]), StickVariant::local);
}

TEST(SimTransportTest, UsbStickReportsAre64Bytes)
{
    Stick stick(usbConfig());
    EXPECT_EQ(stick.transport.getInputReportLength(), kUsbLength);
    EXPECT_EQ(stick.transport.getOutputReportLength(), kUsbLength);
    EXPECT_EQ(stick.transport.getFeatureReportLength(), 0);
}

TEST(ReplyDelayTest, EveryReplyIsDueThatMuchLater)
{
    Faults faults;
    faults.replyDelay = 300;
    Stick stick({}, faults);
    stick.send(readBlockCommand(0x0000));
    EXPECT_EQ(stick.model.nextDue(), 300);
    stick.clock.advance(299);
    EXPECT_TRUE(stick.drain().empty());
    stick.clock.advance(1);
    EXPECT_EQ(stick.drain().size(), 1u + kReportsPerBlock);
}

TEST(DropTest, EndsTheConnectionAfterNReportsInAndOutOnce)
{
    Faults faults;
    faults.dropAfterReports = 5;
    Stick stick({}, faults);
    stick.send(readBlockCommand(0x0000)); // 1 in
    const std::vector<Report> got = stick.drain();
    EXPECT_EQ(got.size(), 4u) << "header and three data reports, then the stick is gone";
    EXPECT_TRUE(stick.model.connectionDropped());
    EXPECT_FALSE(stick.transport.findHidDevice(kStickVendorId, kStickProductId));
    EXPECT_FALSE(stick.model.nextDue());

    int seen = 0;
    stick.model.onReport([&](Direction, ByteSpan) { ++seen; });
    stick.model.receive(modeQueryCommand(), stick.clock.now());
    EXPECT_FALSE(stick.model.takeInput(stick.clock.now() + 1000));
    EXPECT_EQ(seen, 0) << "nothing is received or sent while dropped";

    stick.transport.setPluggedIn(false);
    stick.transport.setPluggedIn(true);
    EXPECT_TRUE(stick.transport.findHidDevice(kStickVendorId, kStickProductId));
    EXPECT_TRUE(collectBlock(stick, kControlBlockAddress)) << "a new connection is not dropped again";
    EXPECT_FALSE(stick.model.connectionDropped());
}

TEST(DropTest, ZeroReportsDropsAtTheFirstReport)
{
    Faults faults;
    faults.dropAfterReports = 0;
    Stick stick({}, faults);
    stick.send(modeQueryCommand());
    EXPECT_TRUE(stick.model.connectionDropped());
    EXPECT_TRUE(stick.drain().empty());
}

TEST(CallbackTest, ReportsTrafficAndStateChanges)
{
    Stick stick;
    std::vector<std::pair<Direction, Bytes>> log;
    int changes = 0;
    stick.model.onReport([&](Direction d, ByteSpan r) { log.emplace_back(d, Bytes(r.begin(), r.end())); });
    stick.model.onStateChanged([&] { ++changes; });

    stick.send(modeQueryCommand());
    stick.drain();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], std::make_pair(Direction::in, Bytes{0xAA, 0x55, 0xF8, 0, 0, 0, 0, 0}));
    EXPECT_EQ(log[1], std::make_pair(Direction::out, Bytes{0xC0, 0x22, 0x5A, 0, 0, 0, 0, 0}));
    EXPECT_EQ(changes, 0);

    collectBlock(stick, 0x0000);
    EXPECT_EQ(changes, 0) << "reading changes nothing";
    writeBlock(stick, 0x0000, patternBlock(1));
    EXPECT_EQ(changes, 1);
    stick.send(eraseCommand());
    EXPECT_EQ(changes, 2);
}

// ---------------------------------------------------------------------------
// USB Stick mode

TEST(UsbStickTest, ReadBlockIsAnsweredAndTheDeviceIdentifiesItselfPeriodically)
{
    StickConfig config = usbConfig();
    config.deviceId = {0xDE, 0xAD, 0x01, 0x02};
    config.deviceFirmware = 71;
    config.identifyDelay = 200;
    config.identifyPeriod = 2000;
    StickState state;
    state.deviceFirmware = 50; // the configured device wins
    Stick stick(config, {}, state);

    stick.clock.advance(5000);
    EXPECT_TRUE(stick.drain().empty()) << "no identification before the stick is asked";

    Block controlBlock{};
    Block sendBlock{};
    BlockCollector collector(controlBlock, sendBlock);
    collector.readControlBlock(stick.transport);
    EXPECT_EQ(collector.tick(stick.transport), CollectorTick::usbStickSwitch);

    const auto expectIdentification = [&] {
        const std::vector<Report> replies = stick.drain();
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].size(), kUsbLength);
        const std::optional<DeviceIdentification> id = parseIdentification(replies[0]);
        ASSERT_TRUE(id);
        EXPECT_EQ(id->deviceNumber(), "DEAD0102");
        EXPECT_EQ(id->firmware, 71);
    };
    stick.clock.advance(199);
    EXPECT_TRUE(stick.drain().empty());
    stick.clock.advance(1);
    expectIdentification();
    for (int period = 0; period < 3; ++period) {
        stick.clock.advance(1999);
        EXPECT_TRUE(stick.drain().empty());
        stick.clock.advance(1);
        expectIdentification();
    }
}

TEST(UsbStickTest, MissedIdentificationsAreSentOnce)
{
    Stick stick(usbConfig());
    stick.send(readBlockCommand(kControlBlockAddress));
    stick.drain();
    stick.clock.advance(60000);
    EXPECT_EQ(stick.replyCodes(), Bytes{static_cast<Byte>(ReplyCode::identification)});
}

TEST(UsbStickTest, WithoutAPeriodTheDeviceIdentifiesItselfOnce)
{
    StickConfig config = usbConfig();
    config.identifyPeriod = 0;
    Stick stick(config);
    stick.send(readBlockCommand(kControlBlockAddress));
    stick.drain();
    for (int i = 0; i < 5; ++i)
        stick.clock.advance(config.identifyDelay);
    EXPECT_EQ(stick.replyCodes(), Bytes{static_cast<Byte>(ReplyCode::identification)});
    EXPECT_FALSE(stick.model.nextDue());
}

TEST(UsbStickTest, WithoutADeviceEveryFrameIsAnsweredQ)
{
    StickConfig config = usbConfig();
    config.deviceConnected = false;
    Stick stick(config);
    const Byte q = static_cast<Byte>(ReplyCode::noDevice);
    const Bytes image(kDeviceMemorySize, 0x00);
    const Bytes firmware(kPageBytes, 0x00);

    stick.send(readBlockCommand(kControlBlockAddress));
    const std::vector<Report> answer = stick.drain();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_TRUE(isUsbStickSwitch(answer[0]));
    EXPECT_EQ(linkReplyCode(answer[0]), q);

    for (const LinkCommand& command : {readMemoryCommand(0), *writeMemoryCommand(0, image), *writeEeCommand(0, image),
                                       *firmwareSegmentCommand(1, firmware, 0), resetCommand()}) {
        SCOPED_TRACE(int{command.bytes[1]});
        stick.send(command);
        EXPECT_EQ(stick.replyCodes(), Bytes{q});
    }
    stick.clock.advance(10000);
    EXPECT_TRUE(stick.drain().empty()) << "no device, no identification";
}

TEST(UsbStickTest, MemoryCommandsOtherThanReadBlockAreIgnored)
{
    Stick stick(usbConfig());
    const StickState before = stick.model.state();
    stick.send(modeQueryCommand());
    stick.send(eraseCommand());
    writeBlock(stick, 0x0000, patternBlock(1));
    EXPECT_TRUE(stick.drain().empty());
    EXPECT_EQ(stick.model.state(), before);
}

TEST(UsbReadMemoryTest, AFullReadReturnsTheDeviceMemory)
{
    const StickState state = deviceState();
    Stick stick(usbConfig(), {}, state);
    Bytes read;
    int frames = 0;
    for (int address = 0; address < static_cast<int>(kDeviceMemorySize); ++frames) {
        stick.send(readMemoryCommand(static_cast<Byte>(address)));
        const std::vector<Report> replies = stick.drain();
        ASSERT_EQ(replies.size(), 1u);
        const MemoryDataReply reply = parseMemoryData(replies[0]);
        ASSERT_EQ(reply.status, MemoryDataStatus::valid);
        EXPECT_EQ(reply.address, address);
        EXPECT_EQ(reply.length, readMemoryLength(static_cast<Byte>(address)));
        read.insert(read.end(), reply.data.begin(), reply.data.end());
        address += reply.length;
    }
    EXPECT_EQ(frames, 10);
    EXPECT_EQ(read, Bytes(state.deviceMemory.begin(), state.deviceMemory.end()));
}

struct ClipCase {
    Byte address;
    Byte asked;
    Byte answered;
    friend void PrintTo(const ClipCase& c, std::ostream* os)
    {
        *os << "address " << int{c.address} << " asked " << int{c.asked};
    }
};

class UsbReadClipTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(UsbReadClipTest, LengthStaysInsideMemoryAndReport)
{
    const ClipCase& c = GetParam();
    const StickState state = deviceState();
    Stick stick(usbConfig(), {}, state);
    stick.send(LinkCommand{{static_cast<Byte>(ReplyCode::memoryData), 0x02, c.address, c.asked}, ""});
    const std::vector<Report> replies = stick.drain();
    ASSERT_EQ(replies.size(), 1u);
    const MemoryDataReply reply = parseMemoryData(replies[0]);
    ASSERT_EQ(reply.status, MemoryDataStatus::valid);
    EXPECT_EQ(reply.length, c.answered);
    EXPECT_EQ(reply.data,
              Bytes(state.deviceMemory.begin() + c.address, state.deviceMemory.begin() + c.address + c.answered));
}

INSTANTIATE_TEST_SUITE_P(Cases, UsbReadClipTest,
                         ::testing::Values(ClipCase{0, 26, 26}, ClipCase{234, 22, 22}, ClipCase{250, 26, 6},
                                           ClipCase{255, 255, 1}, ClipCase{0, 200, 58}, ClipCase{10, 0, 0}),
                         [](const auto& info) {
                             return "At" + std::to_string(info.param.address) + "Asked"
                                 + std::to_string(info.param.asked);
                         });

TEST(UsbReadMemoryTest, CorruptFaultSpoilsTheCrcAtItsAddressOnly)
{
    Faults faults;
    faults.corruptReadAt = 26;
    Stick stick(usbConfig(), faults, deviceState());
    for (const auto& [address, status] :
         {std::pair{Byte{0}, MemoryDataStatus::valid}, std::pair{Byte{26}, MemoryDataStatus::badCrc},
          std::pair{Byte{52}, MemoryDataStatus::valid}, std::pair{Byte{26}, MemoryDataStatus::badCrc}}) {
        stick.send(readMemoryCommand(address));
        const std::vector<Report> replies = stick.drain();
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(parseMemoryData(replies[0]).status, status) << int(address);
    }
}

// Write Memory and Write EE behave alike; the table holds what tells them apart.
struct DeviceWriteKind {
    const char* name;
    std::optional<LinkCommand> (*build)(Byte, ByteSpan);
    Byte chunk;
    Byte done;
    Byte failed;
    Byte otherFramesDone; // what a wrong acknowledgement answers instead
    int Faults::*refusals;
    friend void PrintTo(const DeviceWriteKind& k, std::ostream* os) { *os << k.name; }
};

const DeviceWriteKind kWriteMemoryKind{"WriteMemory", &writeMemoryCommand,       kWriteMemoryChunk, 'T', 'U',
                                       'V',           &Faults::refuseWriteMemory};
const DeviceWriteKind kWriteEeKind{"WriteEe", &writeEeCommand, kWriteEeChunk, 'V', 'W', 'T', &Faults::refuseWriteEe};

class DeviceWriteTest : public ::testing::TestWithParam<DeviceWriteKind> {
protected:
    // An image beyond the device's 256 bytes, so frames that reach past byte 255 can be built.
    Bytes source = [] {
        Bytes bytes(2 * kDeviceMemorySize);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<Byte>(0xA0 + i * 7);
        return bytes;
    }();

    LinkCommand frame(Byte address) { return *GetParam().build(address, source); }
};

TEST_P(DeviceWriteTest, GoodCrcWritesTheDeviceMemory)
{
    const DeviceWriteKind& kind = GetParam();
    Stick stick(usbConfig(), {}, deviceState());
    int changes = 0;
    stick.model.onStateChanged([&] { ++changes; });

    stick.send(frame(100));
    EXPECT_EQ(stick.replyCodes(), Bytes{kind.done});
    StickState expected = deviceState();
    std::copy_n(source.begin() + 100, kind.chunk, expected.deviceMemory.begin() + 100);
    EXPECT_EQ(stick.model.state(), expected);
    EXPECT_EQ(changes, 1);
}

TEST_P(DeviceWriteTest, FlipStoredInvertsTheByteAtItsAddressOnly)
{
    const DeviceWriteKind& kind = GetParam();
    Faults faults;
    faults.flipStoredAt = 101;
    Stick stick(usbConfig(), faults, deviceState());
    stick.send(frame(100));
    EXPECT_EQ(stick.replyCodes(), Bytes{kind.done}) << "acknowledged as a good write";
    StickState expected = deviceState();
    std::copy_n(source.begin() + 100, kind.chunk, expected.deviceMemory.begin() + 100);
    expected.deviceMemory[101] = static_cast<Byte>(~source[101]);
    EXPECT_EQ(stick.model.state(), expected);
}

TEST_P(DeviceWriteTest, BadFramesAreAnsweredFailedAndWriteNothing)
{
    const DeviceWriteKind& kind = GetParam();
    Stick stick(usbConfig(), {}, deviceState());

    LinkCommand badCrc = frame(0);
    badCrc.bytes[6] ^= 0x01; // a data byte changed after the CRC was taken
    LinkCommand wrongLength = frame(0);
    wrongLength.bytes[5] = static_cast<Byte>(kind.chunk - 1);
    const std::uint16_t crc = crc16(ByteSpan(wrongLength.bytes).subspan(4, 1 + kind.chunk));
    wrongLength.bytes[2] = static_cast<Byte>(crc & 0xFF);
    wrongLength.bytes[3] = static_cast<Byte>(crc >> 8);
    const Byte lastFitting = static_cast<Byte>(kDeviceMemorySize - kind.chunk);
    const LinkCommand pastEnd = frame(static_cast<Byte>(lastFitting + 1)); // good CRC, reaches byte 256

    for (const LinkCommand& bad : {badCrc, wrongLength, pastEnd}) {
        stick.send(bad);
        EXPECT_EQ(stick.replyCodes(), Bytes{kind.failed});
    }
    EXPECT_EQ(stick.model.state(), deviceState());

    stick.send(frame(lastFitting));
    EXPECT_EQ(stick.replyCodes(), Bytes{kind.done}) << "the last address that fits is written";
    EXPECT_EQ(stick.model.state().deviceMemory.back(), source[kDeviceMemorySize - 1]);
}

TEST_P(DeviceWriteTest, RefuseFaultFailsTheNextNFrames)
{
    const DeviceWriteKind& kind = GetParam();
    Faults faults;
    faults.*kind.refusals = 2;
    Stick stick(usbConfig(), faults, deviceState());
    for (Byte expected : {kind.failed, kind.failed, kind.done}) {
        stick.send(frame(0));
        EXPECT_EQ(stick.replyCodes(), Bytes{expected});
    }
    EXPECT_TRUE(std::equal(source.begin(), source.begin() + kind.chunk, stick.model.state().deviceMemory.begin()));
}

// A lost or a wrong acknowledgement answers nothing the PC asked, but the frame was
// carried out: the PC's repeat writes the same bytes again.
TEST_P(DeviceWriteTest, LostAndWrongAcknowledgementsFollowWrittenFrames)
{
    const DeviceWriteKind& kind = GetParam();
    Faults faults;
    faults.loseLinkAck = 1;
    faults.wrongLinkAck = 2;
    Stick stick(usbConfig(), faults, deviceState());
    const struct {
        Byte address;
        Bytes replies;
    } frames[] = {{0, {}}, {40, {kind.otherFramesDone}}, {80, {kind.done}}};
    for (const auto& f : frames) {
        stick.send(frame(f.address));
        EXPECT_EQ(stick.replyCodes(), f.replies) << int{f.address};
        EXPECT_TRUE(std::equal(source.begin() + f.address, source.begin() + f.address + kind.chunk,
                               stick.model.state().deviceMemory.begin() + f.address))
            << int{f.address};
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeviceWriteTest, ::testing::Values(kWriteMemoryKind, kWriteEeKind),
                         [](const auto& info) { return std::string(info.param.name); });

// A production line: the next device takes the connected one's place only after the
// PC has talked to it and then been quiet for the swap time, with the memory the line
// started with; the last device stays.
TEST(ProductionLineTest, TheNextDeviceComesAfterTheConnectedOneWasAddressedAndLeftIdle)
{
    StickConfig config = usbConfig();
    config.identifyPeriod = 0; // each device announces itself once
    config.deviceId = {0x11, 0x11, 0x11, 0x11};
    config.nextDevices = {{{0x22, 0x22, 0x22, 0x22}, true}, {{0x33, 0x33, 0x33, 0x33}, false}};
    config.swapWhenIdle = 3000;
    Stick stick(config, {}, deviceState());
    const Bytes source(kWriteMemoryChunk, 0xC3);
    const LinkCommand write = *writeMemoryCommand(0, source);
    const auto announced = [&](Millis after) {
        stick.clock.advance(after);
        std::vector<std::string> numbers;
        for (const Report& report : stick.drain())
            if (const std::optional<DeviceIdentification> id = parseIdentification(report))
                numbers.push_back(id->deviceNumber());
        return numbers;
    };
    using Numbers = std::vector<std::string>;

    stick.send(readBlockCommand(kControlBlockAddress));
    stick.drain();
    EXPECT_EQ(announced(config.identifyDelay), Numbers{"11111111"});
    EXPECT_EQ(announced(60000), Numbers{}) << "a device nobody has talked to stays";

    stick.send(write);
    EXPECT_EQ(stick.replyCodes(), Bytes{'T'});
    EXPECT_EQ(announced(2999), Numbers{});
    stick.send(write); // talking again puts the swap off
    stick.drain();
    EXPECT_EQ(announced(2999), Numbers{});
    EXPECT_EQ(announced(1 + config.identifyDelay), Numbers{"22222222"});
    EXPECT_EQ(stick.model.state().deviceMemory, deviceState().deviceMemory) << "a fresh device's memory";

    stick.send(write);
    EXPECT_EQ(stick.replyCodes(), Bytes{'U'}) << "the second device refuses writes";
    EXPECT_EQ(stick.model.state().deviceMemory, deviceState().deviceMemory);
    EXPECT_EQ(announced(3000 + config.identifyDelay), Numbers{"33333333"});

    stick.send(write);
    EXPECT_EQ(stick.replyCodes(), Bytes{'T'});
    EXPECT_EQ(announced(60000), Numbers{}) << "the last device stays";
    EXPECT_FALSE(stick.model.nextDue());
}

// ---------------------------------------------------------------------------
// Firmware update

class FirmwareUpdateTest : public ::testing::Test {
protected:
    static constexpr std::size_t kPages = 3;
    Bytes firmware = [] {
        Bytes bytes(kPages * kPageBytes);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<Byte>(i * 11 + 1);
        return bytes;
    }();

    // The replies to the three segments of a page.
    static Bytes sendPage(Stick& stick, const Bytes& image, std::size_t page)
    {
        Bytes codes;
        std::size_t offset = page * kPageBytes;
        for (Byte segment = 1; segment <= 3; ++segment) {
            stick.send(*firmwareSegmentCommand(segment, image, offset));
            offset += segmentImageBytes(segment);
            const Bytes reply = stick.replyCodes();
            codes.insert(codes.end(), reply.begin(), reply.end());
        }
        return codes;
    }

    static StickConfig config()
    {
        StickConfig c = usbConfig();
        c.deviceFirmware = 70;
        c.firmwareAfterUpdate = 77;
        return c;
    }
};

TEST_F(FirmwareUpdateTest, PagesAreAcceptedXXZAndCollected)
{
    Stick stick(config());
    for (std::size_t page = 0; page < kPages; ++page)
        EXPECT_EQ(sendPage(stick, firmware, page), (Bytes{'X', 'X', 'Z'})) << page;
    EXPECT_EQ(stick.model.state().receivedFirmware, firmware);
}

TEST_F(FirmwareUpdateTest, BadOrOutOfOrderSegmentsAreRefusedWithTheRefuseCode)
{
    Faults faults;
    faults.refusePageCode = '[';
    Stick stick(config(), faults);

    LinkCommand badCrc = *firmwareSegmentCommand(1, firmware, 0);
    badCrc.bytes[5] ^= 0xFF;
    stick.send(badCrc);
    EXPECT_EQ(stick.replyCodes(), Bytes{'['});
    stick.send(*firmwareSegmentCommand(3, firmware, 52));
    EXPECT_EQ(stick.replyCodes(), Bytes{'['}) << "segment 3 before 1";
    stick.send(*firmwareSegmentCommand(1, firmware, 0));
    EXPECT_EQ(stick.replyCodes(), Bytes{'X'});
    stick.send(*firmwareSegmentCommand(1, firmware, 0));
    EXPECT_EQ(stick.replyCodes(), Bytes{'['}) << "segment 1 twice";
    LinkCommand noSegment = *firmwareSegmentCommand(1, firmware, 0);
    noSegment.bytes[4] = 4;
    stick.send(noSegment);
    EXPECT_EQ(stick.replyCodes(), Bytes{'['});
    EXPECT_TRUE(stick.model.state().receivedFirmware.empty());

    EXPECT_EQ(sendPage(stick, firmware, 0), (Bytes{'X', 'X', 'Z'})) << "a refusal starts the page again";
}

TEST_F(FirmwareUpdateTest, RefusedPageFailsOnceAndARestartedUpdateCompletes)
{
    Faults faults;
    faults.refusePage = 1;
    faults.refusePageCode = 'Y';
    Stick stick(config(), faults);

    EXPECT_EQ(sendPage(stick, firmware, 0), (Bytes{'X', 'X', 'Z'}));
    EXPECT_EQ(sendPage(stick, firmware, 1), (Bytes{'X', 'X', 'Y'}));
    for (std::size_t page = 0; page < kPages; ++page)
        EXPECT_EQ(sendPage(stick, firmware, page), (Bytes{'X', 'X', 'Z'})) << page;
    EXPECT_EQ(stick.model.state().receivedFirmware, firmware) << "the restarted update replaces the first attempt";
}

// Segments carry no page address: a device in the middle of an update appends what it
// gets, and being hardware of its own it stays so when the stick is pulled out and
// plugged in again. Only a Reset makes it start afresh.
TEST_F(FirmwareUpdateTest, AnUnfinishedUpdateSurvivesAReconnectUntilAReset)
{
    Stick stick(config());
    EXPECT_EQ(sendPage(stick, firmware, 0), (Bytes{'X', 'X', 'Z'}));
    stick.transport.setPluggedIn(false);
    stick.transport.setPluggedIn(true);
    EXPECT_EQ(sendPage(stick, firmware, 0), (Bytes{'X', 'X', 'Z'}));
    EXPECT_EQ(stick.model.state().receivedFirmware.size(), 2 * kPageBytes) << "page 0 held twice";

    stick.send(*firmwareSegmentCommand(1, firmware, kPageBytes)); // half a page, then pulled out
    stick.drain();
    stick.transport.setPluggedIn(false);
    stick.transport.setPluggedIn(true);
    stick.send(*firmwareSegmentCommand(1, firmware, 0));
    EXPECT_EQ(stick.replyCodes(), Bytes{'Y'}) << "the device waits for segment 2";

    stick.send(resetCommand());
    for (std::size_t page = 0; page < kPages; ++page)
        EXPECT_EQ(sendPage(stick, firmware, page), (Bytes{'X', 'X', 'Z'})) << page;
    EXPECT_EQ(stick.model.state().receivedFirmware, firmware);
}

// The reply lost is counted per code, over everything the stick sends; 'X' and 'Z'
// swapped are counted over the segment answers. The device takes the segment either way.
TEST_F(FirmwareUpdateTest, LostAndSwappedFirmwareRepliesFollowTakenSegments)
{
    const struct {
        const char* name;
        Faults faults;
        Bytes page0;
        Bytes page1;
    } cases[] = {
        {"the second 'Z' lost", Faults{.loseReply = LostReply{'Z', 2}}, {'X', 'X', 'Z'}, {'X', 'X'}},
        {"the third 'X' lost", Faults{.loseReply = LostReply{'X', 3}}, {'X', 'X', 'Z'}, {'X', 'Z'}},
        {"the first answer swapped", Faults{.swapSegmentAck = 1}, {'Z', 'X', 'Z'}, {'X', 'X', 'Z'}},
        {"the third answer swapped", Faults{.swapSegmentAck = 3}, {'X', 'X', 'X'}, {'X', 'X', 'Z'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Stick stick(config(), c.faults);
        EXPECT_EQ(sendPage(stick, firmware, 0), c.page0);
        EXPECT_EQ(sendPage(stick, firmware, 1), c.page1);
        EXPECT_EQ(stick.model.state().receivedFirmware, Bytes(firmware.begin(), firmware.begin() + 2 * kPageBytes));
    }
}

TEST(LostReplyTest, AnyCodeCanBeLostOnceIncludingTheIdentification)
{
    StickConfig config = usbConfig();
    config.identifyPeriod = 1000;
    Faults faults;
    faults.loseReply = LostReply{'_', 2};
    Stick stick(config, faults, deviceState());
    stick.send(readBlockCommand(kControlBlockAddress));
    stick.drain();
    int identifications = 0;
    for (int second = 0; second < 4; ++second) {
        stick.clock.advance(1000);
        for (const Report& report : stick.drain())
            identifications += parseIdentification(report).has_value() ? 1 : 0;
    }
    EXPECT_EQ(identifications, 3) << "four were due, the second lost";
}

TEST_F(FirmwareUpdateTest, ResetAfterAnUpdateAnnouncesTheNewVersion)
{
    Stick stick(config());
    stick.send(readBlockCommand(kControlBlockAddress));
    stick.drain();
    stick.clock.advance(200);
    std::optional<DeviceIdentification> id = parseIdentification(stick.drain().at(0));
    ASSERT_TRUE(id);
    EXPECT_EQ(id->firmware, 70);

    for (std::size_t page = 0; page < kPages; ++page)
        sendPage(stick, firmware, page);
    stick.send(resetCommand());
    EXPECT_TRUE(stick.drain().empty()) << "Reset is not answered";
    EXPECT_EQ(stick.model.state().deviceFirmware, 77);
    stick.clock.advance(199);
    EXPECT_TRUE(stick.drain().empty());
    stick.clock.advance(1);
    id = parseIdentification(stick.drain().at(0));
    ASSERT_TRUE(id);
    EXPECT_EQ(id->firmware, 77);
}

TEST_F(FirmwareUpdateTest, ResetWithoutAPageKeepsTheVersionButReAnnounces)
{
    Stick stick(config());
    stick.send(*firmwareSegmentCommand(1, firmware, 0)); // an unfinished page is no update
    stick.drain();
    stick.send(resetCommand());
    stick.clock.advance(200);
    const std::vector<Report> replies = stick.drain();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(parseIdentification(replies[0]).value().firmware, 70);
    EXPECT_EQ(stick.model.state().deviceFirmware, 70);
}

// ---------------------------------------------------------------------------
// Garbage

// Random reports of random lengths, a part of them dressed as memory commands or
// link frames so that they reach the command parsers. Write block is left out:
// the 16 reports after it are block data by definition.
Bytes garbage(std::mt19937& rng, Byte outputLength)
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> coin(0, 3);
    const int maxLength = coin(rng) == 0 ? 255 : outputLength + 1;
    Bytes report(std::uniform_int_distribution<int>(0, maxLength)(rng));
    for (Byte& b : report)
        b = static_cast<Byte>(byte(rng));
    static constexpr std::array<Byte, 4> kMemoryOps = {0xF8, 0xF2, 0xFC, 0x00};
    static constexpr std::array<Byte, 6> kLinkOps = {0x02, 0x04, 0x05, 0x08, 0x0E, 0x77};
    if (report.size() >= 4 && coin(rng) == 0) {
        report[0] = 0xAA;
        report[1] = 0x55;
        report[2] = kMemoryOps[byte(rng) % kMemoryOps.size()];
    } else if (report.size() >= 4 && coin(rng) < 2) {
        report[0] = kLinkFramePrefix[0];
        report[1] = kLinkFramePrefix[1];
        report[2] = kLinkOps[byte(rng) % kLinkOps.size()];
        if (coin(rng) == 0 && report.size() > 6)
            report[6] = report[2] == 0x04 ? kWriteMemoryChunk : kWriteEeChunk; // right length, CRC still random
    }
    return report;
}

class GarbageTest : public ::testing::TestWithParam<StickMode> {};

TEST_P(GarbageTest, NeverCrashesNorChangesTheMemories)
{
    StickConfig config;
    config.mode = GetParam();
    StickState state = presetStick(false);
    for (std::size_t i = 0; i < state.deviceMemory.size(); ++i)
        state.deviceMemory[i] = static_cast<Byte>(i);
    Stick stick(config, {}, state);
    const StickState before = stick.model.state();

    std::mt19937 rng(20240611);
    std::map<Byte, int> replies;
    for (int i = 0; i < 5000; ++i) {
        stick.model.receive(garbage(rng, stick.model.outputReportLength()), stick.clock.now());
        if (i % 7 == 0)
            stick.clock.advance(i % 3 == 0 ? 1500 : 20);
        for (const Report& report : stick.drain()) {
            EXPECT_EQ(report.size(), stick.model.inputReportLength());
            ++replies[report[0] == kLinkReply ? report[1] : report[0]];
        }
    }
    EXPECT_EQ(stick.model.state(), before);

    if (config.mode == StickMode::usb) {
        EXPECT_GT(replies['U'], 0) << "Write Memory frames reached the CRC check";
        EXPECT_GT(replies['W'], 0) << "Write EE frames reached the CRC check";
        EXPECT_GT(replies['Y'], 0) << "firmware segments reached the CRC check";
        EXPECT_GT(replies['R'], 0);
        stick.send(readMemoryCommand(100));
        const std::vector<Report> answer = stick.drain();
        ASSERT_FALSE(answer.empty());
        const MemoryDataReply reply = parseMemoryData(answer.back());
        ASSERT_EQ(reply.status, MemoryDataStatus::valid);
        EXPECT_EQ(reply.data[0], 100);
    } else {
        EXPECT_GT(replies[kMemoryReply], 0) << "memory commands were answered";
        stick.clock.advance(kBlockWriteTimeout + 1);
        stick.drain();
        EXPECT_EQ(collectBlock(stick, kControlBlockAddress), readStickBlock(before, kControlBlockAddress));
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, GarbageTest, ::testing::Values(StickMode::memory, StickMode::usb),
                         [](const auto& info) { return info.param == StickMode::usb ? "Usb" : "Memory"; });

} // namespace
} // namespace ormid::sim
