// The link engine against the simulated stick in USB Stick mode on a virtual clock,
// and against scripted replies the simulator does not send.

#include "link/link_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/crc16.h"
#include "core/text_lines.h"
#include "link/fake_transport.h"
#include "sim/sim_transport.h"
#include "sim/stick_model.h"

namespace ormid {
namespace {

using namespace ormid::sim; // the simulated stick, its faults and its clock

using Bytes = std::vector<Byte>;
using Outcomes = std::vector<LinkOutcome>;

constexpr Byte kReadOp = 0x02;
constexpr Byte kWriteMemoryOp = 0x04;
constexpr Byte kWriteEeOp = 0x05;
constexpr Byte kSegmentOp = 0x08;
constexpr Byte kResetOp = 0x0E;
constexpr std::size_t kFirmwareSize = 5704;
// The version the updates carry; the simulated device announces it after an update.
constexpr Byte kNewVersion = 77;

// A link frame as the stick received it: the operation and its bytes after CA C5.
struct Frame {
    Byte op;
    Byte address;
    Byte length;
};

Bytes sampleFirmware()
{
    Bytes image(0x3000, 0xFF);
    for (std::size_t i = 0; i < 5760; ++i) // 45 container lines, the last one filled up
        image[i] = static_cast<Byte>(i * 7 + 1);
    return image;
}

// Addresses of the frames of one operation, in the order they went out.
std::vector<int> addressesOf(const std::vector<Frame>& frames)
{
    std::vector<int> addresses;
    for (const Frame& frame : frames)
        addresses.push_back(frame.address);
    return addresses;
}

std::vector<int> steps(int first, int step, int count)
{
    std::vector<int> values;
    for (int i = 0; i < count; ++i)
        values.push_back(first + i * step);
    return values;
}

// The outcomes that end or change an operation: without the progress of a write.
Outcomes withoutProgress(Outcomes outcomes)
{
    std::erase(outcomes, LinkOutcome::frameWritten);
    return outcomes;
}

// The same addresses, each once, in the order they first appeared (repeats folded).
std::vector<int> withoutRepeats(std::vector<int> addresses)
{
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    return addresses;
}

class LinkEngineOnStick : public ::testing::Test {
protected:
    // Plugs in a stick in USB Stick mode and lets start-up find it: the read-block
    // answer is taken as start-up takes it, then the engine runs.
    void start(StickConfig config = {}, Faults faults = {}, LinkEngineOptions options = {})
    {
        config.mode = StickMode::usb;
        StickState state;
        for (std::size_t i = 0; i < state.deviceMemory.size(); ++i)
            state.deviceMemory[i] = static_cast<Byte>(255 - i);
        model_.emplace(config, faults, state);
        model_->onReport([this](Direction d, ByteSpan r) {
            if (d == Direction::in && r.size() > 4 && r[0] == 0xCA && r[1] == 0xC5)
                frames_.push_back({r[2], r[kAddressAt[r[2] == kReadOp ? 0 : 1]], r[4]});
        });
        transport_.emplace(*model_, clock_);
        transport_->writeData(readBlockCommand(kControlBlockAddress));
        clock_.advance(50 + faults.replyDelay);
        EXPECT_TRUE(transport_->readData().has_value());
        outcomes_.clear();
        log_.clear();
        engine_.emplace(*transport_, image_, options, [this](const std::string& line) { log_.push_back(line); });
        engine_->start();
    }

    // Ticks every 100 ms until `done` holds or `maxTicks` have passed.
    template <typename Done>
    void runUntil(Done done, int maxTicks = 2000)
    {
        for (int i = 0; i < maxTicks && !done(); ++i) {
            clock_.advance(LinkEngine::kTickPeriod.count());
            for (const LinkOutcome outcome : engine_->tick())
                outcomes_.push_back(outcome);
        }
    }
    void runTicks(int ticks)
    {
        runUntil([] { return false; }, ticks);
    }
    void runUntilOutcome(LinkOutcome outcome, int maxTicks = 2000)
    {
        runUntil([&] { return saw(outcome); }, maxTicks);
    }
    void readDevice()
    {
        runUntilOutcome(LinkOutcome::readDone);
        ASSERT_TRUE(engine_->imageRead());
        outcomes_.clear();
    }
    bool saw(LinkOutcome outcome) const { return std::count(outcomes_.begin(), outcomes_.end(), outcome) > 0; }
    bool logged(std::string_view line) const { return std::find(log_.begin(), log_.end(), line) != log_.end(); }
    std::vector<Frame> framesOf(Byte op) const
    {
        std::vector<Frame> result;
        std::copy_if(frames_.begin(), frames_.end(), std::back_inserter(result),
                     [op](const Frame& f) { return f.op == op; });
        return result;
    }
    Bytes deviceMemory() const { return {model_->state().deviceMemory.begin(), model_->state().deviceMemory.end()}; }

    // Read Memory: 02 addr len; the writes: op crcLo crcHi addr len.
    static constexpr std::array<std::size_t, 2> kAddressAt = {3, 5};

    VirtualClock clock_;
    std::optional<StickModel> model_;
    std::optional<SimTransport> transport_;
    EeBlock image_ = makeDefaultImage();
    std::optional<LinkEngine> engine_;
    std::vector<Frame> frames_;
    Outcomes outcomes_;
    std::vector<std::string> log_;
};

TEST_F(LinkEngineOnStick, AFullReadTakesTenFramesAfterItsPause)
{
    start(StickConfig{.deviceFirmware = 0xFF}, {}, {.embeddedFwVersion = 77});
    runUntil([this] { return engine_->phase() == LinkPhase::readPause; });
    ASSERT_TRUE(frames_.empty());
    // The device has a second to settle: no frame, and no other sequence may start.
    runTicks(LinkEngine::kReadPauseTicks - 1);
    EXPECT_TRUE(frames_.empty());
    EXPECT_TRUE(engine_->busy());
    EXPECT_EQ(engine_->startUpdate(), LinkStart::busy);
    EXPECT_EQ(engine_->startRead(), LinkStart::busy);
    EXPECT_EQ(engine_->startWrite(), LinkStart::busy);
    runTicks(1);
    ASSERT_FALSE(frames_.empty());
    EXPECT_EQ(frames_.front().op, kReadOp);
    EXPECT_EQ(frames_.front().address, 0);

    runUntilOutcome(LinkOutcome::readDone);
    const auto reads = framesOf(kReadOp);
    EXPECT_EQ(addressesOf(reads), steps(0, 26, 10));
    EXPECT_EQ(reads.front().length, 26);
    EXPECT_EQ(reads.back().length, 22);
    EXPECT_EQ(image_, deviceMemory());
    EXPECT_EQ(outcomes_, (Outcomes{LinkOutcome::readDone, LinkOutcome::questionDue}));
    EXPECT_EQ(deviceText(engine_->identification()), "Device Nr. 12345678, FW ???");
    EXPECT_EQ(engine_->deviceFwVersion(), 0);
    EXPECT_EQ(engine_->phase(), LinkPhase::idle);
    EXPECT_FALSE(engine_->busy());
    EXPECT_TRUE(logged("Send: Read Memory 0xEA"));
    EXPECT_EQ(LinkEngine::versionQuestion(engine_->deviceFwVersion(), 77),
              "The Ormid Firmware version (1.0) and the embedded version (1.77) are different!\r"
              "Do you want to update the firmware?");
}

// Replies at once are found by the read after each frame; later ones by the ticks.
// A reply more than 5 s late arrives after its frame was repeated: the late answer
// and the repeat's answer belong to one frame, and no later frame is skipped.
TEST_F(LinkEngineOnStick, ReadAndWriteWhenTheRepliesComeAtOnceOrLater)
{
    for (const Millis delay : {0, 10, 150, 6000}) {
        SCOPED_TRACE(delay);
        Faults faults;
        faults.replyDelay = delay;
        start({}, faults);
        readDevice();
        EXPECT_EQ(image_, deviceMemory());
        for (std::size_t i = 0; i < 250; ++i)
            image_[i] = static_cast<Byte>(i ^ 0x5A);
        const EeBlock written = image_;
        frames_.clear();
        ASSERT_EQ(engine_->startWrite(), LinkStart::started);
        runUntil([this] { return saw(LinkOutcome::writeDone) || saw(LinkOutcome::writeFailed); }, 4000);

        EXPECT_EQ(withoutProgress(outcomes_), Outcomes{LinkOutcome::writeDone});
        EXPECT_EQ(std::count(outcomes_.begin(), outcomes_.end(), LinkOutcome::frameWritten), LinkEngine::kWriteFrames);
        EXPECT_EQ(engine_->writeProgress(), (WriteProgress{250, 120, LinkEngine::kWriteFrames}));
        EXPECT_EQ(withoutRepeats(addressesOf(framesOf(kWriteMemoryOp))), steps(0, 25, 10));
        EXPECT_EQ(withoutRepeats(addressesOf(framesOf(kWriteEeOp))), steps(0, 12, 10));
        const Bytes device = deviceMemory();
        EXPECT_TRUE(std::equal(written.begin(), written.begin() + 250, device.begin()));
    }
}

TEST_F(LinkEngineOnStick, TheMemoryDumpShowsSixteenRowsOfTheImage)
{
    start();
    readDevice();
    const auto first = std::find(log_.begin(), log_.end(), "------------------ Memory dump --------------------");
    ASSERT_GE(log_.end() - first, 18);
    EXPECT_EQ(first[1], "00: FF FE FD FC FB FA F9 F8 F7 F6 F5 F4 F3 F2 F1 F0 ");
    EXPECT_EQ(first[16], "F0: 0F 0E 0D 0C 0B 0A 09 08 07 06 05 04 03 02 01 00 ");
    EXPECT_EQ(first[17], "----------------------------------------------------");
}

TEST_F(LinkEngineOnStick, TheVersionQuestionFollowsTheVersionsAndSkipFW)
{
    const struct {
        Byte device;
        Byte embedded;
        bool skipFW;
        bool asked;
    } cases[] = {
        {77, 77, false, false},
        {76, 77, false, true},
        {76, 77, true, false},
        {0xFF, 0, false, false}, // no device version reads as 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.device) << " " << c.skipFW);
        frames_.clear();
        start(StickConfig{.deviceFirmware = c.device}, {}, {.skipFW = c.skipFW, .embeddedFwVersion = c.embedded});
        runUntilOutcome(LinkOutcome::readDone);
        EXPECT_EQ(saw(LinkOutcome::questionDue), c.asked);
        EXPECT_TRUE(framesOf(kSegmentOp).empty()) << "the engine never starts an update on its own";
    }
}

TEST(DeviceLog, CountersComeFromBytes247To254AndShowWithShowLogFrom72)
{
    EeBlock image(kDeviceMemorySize, 0);
    const Byte counters[] = {0x10, 0x27, 0x01, 0x34, 0x12, 0x08, 0x00, 0x41};
    std::copy(std::begin(counters), std::end(counters), image.begin() + field::operatingMinutes);
    const DeviceLog log = readDeviceLog(image);
    EXPECT_EQ(log.operationMinutes, 0x012710u);
    EXPECT_EQ(log.switchCount, 0x1234);
    EXPECT_EQ(log.overTempMinutes, 8u * 15u);
    EXPECT_EQ(log.maxTemperature, 0x41);
    EXPECT_EQ(readDeviceLog(makeDefaultImage()).operationMinutes, 0u) << "a 128-byte image has no counters";

    const struct {
        bool showLog;
        Byte firmware;
        bool shown;
    } cases[] = {{true, 71, false}, {true, 72, true}, {false, 72, false}, {true, 0, false}};
    for (const auto& c : cases)
        EXPECT_EQ(deviceLogShown(c.showLog, c.firmware), c.shown) << c.showLog << " " << int(c.firmware);
}

TEST_F(LinkEngineOnStick, AnIdentificationAfterARead_OnlyUpdatesIt)
{
    start();
    readDevice();
    const std::size_t reads = framesOf(kReadOp).size();
    runTicks(200); // further identifications arrive every 2 s; no reply is awaited any more
    EXPECT_EQ(framesOf(kReadOp).size(), reads);
    EXPECT_EQ(engine_->phase(), LinkPhase::idle);
    EXPECT_TRUE(outcomes_.empty());
    EXPECT_EQ(engine_->identification().deviceNumber(), "12345678");
}

TEST_F(LinkEngineOnStick, NoDeviceIsReportedAndWaitedFor)
{
    start(StickConfig{.deviceConnected = false});
    transport_->writeData(buildLinkFrame(readMemoryCommand(0).bytes, 64).report); // answered 'Q'
    runTicks(5);
    EXPECT_EQ(outcomes_, Outcomes{LinkOutcome::deviceGone});
    EXPECT_EQ(engine_->phase(), LinkPhase::waitingForDevice);
}

struct WriteCase {
    const char* name;
    int Faults::*fault;
    int refusals;
    Byte op;
    bool succeeds;
    WriteProgress progress; // what the device acknowledged
};

TEST_F(LinkEngineOnStick, AWriteRepeatsAFrameFiveTimesAndFailsAtTheSixth)
{
    const WriteCase cases[] = {
        {"Write Memory refused 5 times", &Faults::refuseWriteMemory, 5, kWriteMemoryOp, true, {250, 120, 20}},
        {"Write Memory refused 6 times", &Faults::refuseWriteMemory, 6, kWriteMemoryOp, false, {0, 0, 0}},
        {"Write EE refused 5 times", &Faults::refuseWriteEe, 5, kWriteEeOp, true, {250, 120, 20}},
        {"Write EE refused 6 times", &Faults::refuseWriteEe, 6, kWriteEeOp, false, {250, 0, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Faults faults;
        faults.*c.fault = c.refusals;
        start({}, faults);
        readDevice();
        for (std::size_t i = 0; i < 250; ++i)
            image_[i] = static_cast<Byte>(i);
        frames_.clear();
        log_.clear();
        ASSERT_EQ(engine_->startWrite(), LinkStart::started);
        runUntil([this] { return !engine_->busy(); });
        runTicks(40); // no frame of the write follows its end

        EXPECT_EQ(engine_->writeProgress(), c.progress);
        const auto refused = framesOf(c.op);
        ASSERT_GE(refused.size(), 6u);
        EXPECT_TRUE(std::all_of(refused.begin(), refused.begin() + 6, [](const Frame& f) { return f.address == 0; }));
        if (c.succeeds) {
            EXPECT_EQ(withoutProgress(outcomes_).front(), LinkOutcome::writeDone);
            EXPECT_TRUE(logged("EE Write OK"));
            EXPECT_EQ(framesOf(kWriteMemoryOp).back().address, 225);
            EXPECT_EQ(framesOf(kWriteEeOp).back().address, 108);
            const Bytes device = deviceMemory();
            EXPECT_TRUE(std::equal(image_.begin(), image_.begin() + 250, device.begin()));
        } else {
            EXPECT_EQ(withoutProgress(outcomes_), Outcomes{LinkOutcome::writeFailed});
            EXPECT_EQ(refused.size(), 6u);
            EXPECT_FALSE(logged("EE Write OK"));
            // The configuration that failed to go out stays in the window: the device's
            // next identification does not replace it with what the device half holds.
            EXPECT_EQ(engine_->phase(), LinkPhase::idle);
            EXPECT_EQ(framesOf(kReadOp).size(), 0u);
            EXPECT_TRUE(engine_->imageRead()) << "the Transfer may be tried again";
        }
        if (c.op == kWriteEeOp) {
            EXPECT_EQ(std::count(log_.begin(), log_.end(), "EE Write Repeat"), 5);
        }
    }
}

// The window stays usable while a write is on the wire; whatever the user does to
// the image meanwhile, the device gets exactly the configuration of the Transfer.
TEST_F(LinkEngineOnStick, AWriteSendsTheImageAsItWasWhenItStarted)
{
    start();
    readDevice();
    for (std::size_t i = 0; i < 250; ++i)
        image_[i] = static_cast<Byte>(i);
    const EeBlock transferred = image_;
    ASSERT_EQ(engine_->startWrite(), LinkStart::started);
    runTicks(3);
    std::fill(image_.begin(), image_.end(), Byte{0xFF}); // "Default" 0.3 s later
    runUntilOutcome(LinkOutcome::writeDone);
    const Bytes device = deviceMemory();
    EXPECT_TRUE(std::equal(transferred.begin(), transferred.begin() + 250, device.begin()));
}

// No request starts a second frame chain while one runs.
TEST_F(LinkEngineOnStick, NothingElseStartsWhileAReadAWriteOrAnUpdateRuns)
{
    start();
    readDevice();
    ASSERT_TRUE(engine_->setFirmware(sampleFirmware(), kFirmwareSize, kNewVersion));
    const struct {
        const char* name;
        std::function<LinkStart(LinkEngine&)> begin;
        LinkStart read;
        LinkStart write;
        LinkStart update;
    } cases[] = {
        {"read", [](LinkEngine& e) { return e.startRead(); }, LinkStart::busy, LinkStart::busy, LinkStart::busy},
        {"write", [](LinkEngine& e) { return e.startWrite(); }, LinkStart::busy, LinkStart::busy, LinkStart::busy},
        {"update", [](LinkEngine& e) { return e.startUpdate(); }, LinkStart::busy, LinkStart::busy, LinkStart::busy},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        runUntil([this] { return engine_->isIdle(); });
        ASSERT_EQ(c.begin(*engine_), LinkStart::started);
        runTicks(2);
        const std::size_t sent = frames_.size();
        EXPECT_EQ(engine_->startRead(), c.read);
        EXPECT_EQ(engine_->startWrite(), c.write);
        EXPECT_EQ(engine_->startUpdate(), c.update);
        EXPECT_EQ(frames_.size(), sent) << "nothing went out for the refused requests";
        runUntil([this] { return !engine_->busy(); }, 4000);
    }
}

TEST_F(LinkEngineOnStick, TransferWaitsForTheWholeDeviceMemory)
{
    start();
    runUntil([this] { return framesOf(kReadOp).size() == 3; });
    const Bytes device = deviceMemory();

    EXPECT_EQ(engine_->startWrite(), LinkStart::busy);
    readDevice();
    EXPECT_TRUE(framesOf(kWriteMemoryOp).empty()) << "a half-read image would overwrite the device's counters";
    EXPECT_EQ(deviceMemory(), device);

    ASSERT_EQ(engine_->startWrite(), LinkStart::started);
    runUntilOutcome(LinkOutcome::writeDone);
}

TEST_F(LinkEngineOnStick, AfterAWriteTheNextIdentificationReadsAgain)
{
    start();
    readDevice();
    ASSERT_EQ(engine_->startWrite(), LinkStart::started);
    runUntilOutcome(LinkOutcome::writeDone);
    EXPECT_EQ(engine_->phase(), LinkPhase::waitingForDevice);
    frames_.clear();
    runUntilOutcome(LinkOutcome::readDone, 100);
    EXPECT_EQ(framesOf(kReadOp).size(), 10u);
}

TEST_F(LinkEngineOnStick, ACorruptReadStopsLeavingTheImageAndReReadStartsAgainFromZero)
{
    Faults faults;
    faults.corruptReadAt = 52;
    start({}, faults);
    const EeBlock before = image_;
    runTicks(200); // long past the reply time-out: a damaged frame is not repeated
    auto reads = framesOf(kReadOp);
    EXPECT_EQ(addressesOf(reads), steps(0, 26, 3));
    EXPECT_EQ(outcomes_, Outcomes{LinkOutcome::readFailed});
    EXPECT_FALSE(engine_->imageRead());
    EXPECT_FALSE(engine_->busy());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), image_.begin())) << "what did arrive reached no image byte";
    EXPECT_EQ(engine_->startWrite(), LinkStart::notRead);

    ASSERT_EQ(engine_->startRead(), LinkStart::started);
    runTicks(10);
    reads = framesOf(kReadOp);
    EXPECT_EQ(addressesOf(reads), (std::vector<int>{0, 26, 52, 0, 26, 52}));
}

TEST_F(LinkEngineOnStick, AFirmwareUpdateSendsEightyPagesAndEndsWithReset)
{
    start();
    readDevice();
    const Bytes firmware = sampleFirmware();
    ASSERT_TRUE(engine_->setFirmware(firmware, kFirmwareSize, kNewVersion));
    frames_.clear();
    ASSERT_EQ(engine_->startUpdate(), LinkStart::started);
    EXPECT_EQ(engine_->firmwarePages(), 80);
    runUntilOutcome(LinkOutcome::updateDone);

    EXPECT_EQ(framesOf(kSegmentOp).size(), 240u);
    ASSERT_FALSE(frames_.empty());
    EXPECT_EQ(frames_.front().op, kResetOp) << "no page before the device has come back from a Reset";
    EXPECT_EQ(frames_.back().op, kResetOp);
    EXPECT_EQ(framesOf(kResetOp).size(), 2u);
    EXPECT_EQ(std::count(outcomes_.begin(), outcomes_.end(), LinkOutcome::pagesBegin), 1);
    EXPECT_EQ(std::count(outcomes_.begin(), outcomes_.end(), LinkOutcome::pageSent), 80);
    EXPECT_EQ(outcomes_.back(), LinkOutcome::updateDone);
    EXPECT_EQ(engine_->firmwareProgress(), 80);
    EXPECT_EQ(engine_->phase(), LinkPhase::idle);
    EXPECT_EQ(model_->state().receivedFirmware, Bytes(firmware.begin(), firmware.begin() + 5760));
    EXPECT_TRUE(logged("FW Update done."));
    EXPECT_TRUE(logged("Send: Reset!"));
}

// An update is done only when the device comes back announcing the version it was
// sent; until then, or until it has stayed away 10 s, nothing else starts.
TEST_F(LinkEngineOnStick, AnUpdateIsDoneOnlyWhenTheDeviceAnnouncesTheNewVersion)
{
    const struct {
        const char* name;
        Byte afterUpdate;
        bool pulledOutAtTheReset;
        LinkOutcome end;
    } cases[] = {
        {"the new version", kNewVersion, false, LinkOutcome::updateDone},
        {"the old version", 70, false, LinkOutcome::updateNotTaken},
        {"no identification", kNewVersion, true, LinkOutcome::updateUnconfirmed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start({.deviceFirmware = 70, .firmwareAfterUpdate = c.afterUpdate});
        readDevice();
        ASSERT_TRUE(engine_->setFirmware(sampleFirmware(), 2 * kPageBytes, kNewVersion));
        ASSERT_EQ(engine_->startUpdate(), LinkStart::started);
        runUntilOutcome(LinkOutcome::resetSent);
        if (c.pulledOutAtTheReset)
            transport_->setPluggedIn(false);
        EXPECT_TRUE(engine_->busy());
        EXPECT_EQ(engine_->startRead(), LinkStart::busy);
        runUntilOutcome(c.end, LinkEngine::kRestartTicks);
        EXPECT_EQ(outcomes_.back(), c.end);
        EXPECT_FALSE(engine_->busy());
        EXPECT_EQ(engine_->phase(), LinkPhase::idle);
        outcomes_.clear();
    }
}

// An update that was refused is over: a new one starts from the first page and goes through.
TEST_F(LinkEngineOnStick, ARefusedPageEndsTheUpdateAndANewOneGoesThrough)
{
    for (const Byte code : {Byte{'Y'}, Byte{'['}}) {
        SCOPED_TRACE(code);
        Faults faults;
        faults.refusePage = 3;
        faults.refusePageCode = code;
        start({}, faults);
        readDevice();
        ASSERT_TRUE(engine_->setFirmware(sampleFirmware(), kFirmwareSize, kNewVersion));
        frames_.clear();
        ASSERT_EQ(engine_->startUpdate(), LinkStart::started);
        runTicks(40);
        EXPECT_EQ(outcomes_.back(), LinkOutcome::updateRefused);
        EXPECT_EQ(engine_->phase(), LinkPhase::idle);
        EXPECT_FALSE(engine_->busy());
        EXPECT_EQ(framesOf(kSegmentOp).size(), 12u);
        EXPECT_EQ(framesOf(kResetOp).size(), 1u) << "only the one before the pages";
        EXPECT_EQ(engine_->firmwareStop(), (FirmwareStop{4, 3, code}));

        ASSERT_EQ(engine_->startUpdate(), LinkStart::started);
        runUntilOutcome(LinkOutcome::updateDone);
        EXPECT_EQ(framesOf(kSegmentOp).size(), 12u + 240u);
        const Bytes firmware = sampleFirmware();
        EXPECT_EQ(model_->state().receivedFirmware, Bytes(firmware.begin(), firmware.begin() + 5760));
    }
}

// An update broken off leaves the device in the middle of it, holding what it took.
// Whatever broke it, and whether the program ran on (the same engine) or started
// again (a new one), the next update gives the device exactly the firmware.
TEST_F(LinkEngineOnStick, AnUpdateAfterOneBrokenOffGivesTheDeviceExactlyTheFirmware)
{
    const struct {
        const char* name;
        Faults faults;
        bool pullAfterTicks; // the stick pulled out and plugged in again mid-update, the program restarted
        LinkOutcome firstEnd;
    } cases[] = {
        {"lost 'Z' of page 3", {.loseReply = LostReply{'Z', 3}}, false, LinkOutcome::updateUnanswered},
        {"lost 'X' no. 5", {.loseReply = LostReply{'X', 5}}, false, LinkOutcome::updateUnanswered},
        {"lost last 'Z'", {.loseReply = LostReply{'Z', 80}}, false, LinkOutcome::updateUnanswered},
        {"'Z' for 'X'", {.swapSegmentAck = 4}, false, LinkOutcome::updateRefused},
        {"'X' for 'Z'", {.swapSegmentAck = 6}, false, LinkOutcome::updateRefused},
        {"stick pulled out", {}, true, LinkOutcome::updateUnanswered},
    };
    const Bytes firmware = sampleFirmware();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start({.deviceFirmware = 70, .firmwareAfterUpdate = kNewVersion}, c.faults);
        readDevice();
        ASSERT_TRUE(engine_->setFirmware(firmware, kFirmwareSize, kNewVersion));
        ASSERT_EQ(engine_->startUpdate(), LinkStart::started);
        if (c.pullAfterTicks) {
            runUntil([this] { return framesOf(kSegmentOp).size() == 20; });
            transport_->setPluggedIn(false);
            runUntil([this] { return !engine_->busy(); });
            transport_->setPluggedIn(true);
            transport_->writeData(readBlockCommand(kControlBlockAddress));
            engine_.emplace(*transport_, image_, LinkEngineOptions{}, [](const std::string&) {});
            engine_->start();
            readDevice();
            ASSERT_TRUE(engine_->setFirmware(firmware, kFirmwareSize, kNewVersion));
        } else {
            runUntil([this] { return !engine_->busy(); }, 4000);
            EXPECT_EQ(outcomes_.back(), c.firstEnd);
        }
        EXPECT_FALSE(model_->state().receivedFirmware.empty()) << "the device took pages of the first attempt";
        outcomes_.clear();
        ASSERT_EQ(engine_->startUpdate(), LinkStart::started);
        runUntil([this] { return !engine_->busy(); }, 4000);
        EXPECT_EQ(outcomes_.back(), LinkOutcome::updateDone);
        EXPECT_EQ(model_->state().receivedFirmware, Bytes(firmware.begin(), firmware.begin() + 5760));
        EXPECT_EQ(model_->state().deviceFirmware, kNewVersion);
    }
}

// One lost acknowledgement costs one time-out: a sync read shows that the answer is
// lost, the frame goes out once more, and every later frame is answered at once.
TEST_F(LinkEngineOnStick, ALostWriteAnswerCostsOneTimeOutAndOneRepeat)
{
    for (const Byte code : {Byte{'T'}, Byte{'V'}}) {
        SCOPED_TRACE(code);
        start({}, {.loseReply = LostReply{code, 3}});
        readDevice();
        for (std::size_t i = 0; i < 250; ++i)
            image_[i] = static_cast<Byte>(i * 3);
        frames_.clear();
        ASSERT_EQ(engine_->startWrite(), LinkStart::started);
        runUntil([this] { return !engine_->busy(); }, 4000);

        EXPECT_EQ(withoutProgress(outcomes_), Outcomes{LinkOutcome::writeDone});
        const auto reads = framesOf(kReadOp);
        ASSERT_EQ(reads.size(), 1u) << "one sync read";
        EXPECT_EQ(reads.front().length, kSyncReadLength);
        const Byte op = code == 'T' ? kWriteMemoryOp : kWriteEeOp;
        const int step = code == 'T' ? 25 : 12;
        std::vector<int> expected = steps(0, step, 10);
        expected.insert(expected.begin() + 3, 2 * step);
        EXPECT_EQ(addressesOf(framesOf(op)), expected) << "the third frame twice, no other";
        const Bytes device = deviceMemory();
        EXPECT_TRUE(std::equal(image_.begin(), image_.begin() + 250, device.begin()));
        outcomes_.clear();
    }
}

// Replies the simulator does not send: fed through a scripted transport.
class LinkEngineReplies : public ::testing::Test {
protected:
    LinkEngineReplies()
    {
        transport_.inputLength = 64;
        transport_.outputLength = 64;
        restart();
    }
    // A new engine on the same transport, with nothing sent or received yet.
    void restart()
    {
        transport_.written.clear();
        transport_.inputs.clear();
        outcomes_.clear();
        log_.clear();
        image_ = makeDefaultImage();
        engine_.emplace(transport_, image_, LinkEngineOptions{},
                        [this](const std::string& line) { log_.push_back(line); });
        engine_->start();
    }
    void tick()
    {
        for (const LinkOutcome outcome : engine_->tick())
            outcomes_.push_back(outcome);
    }
    void feed(Bytes report)
    {
        transport_.queue(std::move(report));
        tick();
    }
    void quietTicks(int ticks)
    {
        for (int i = 0; i < ticks; ++i)
            tick();
    }
    // An identification and the pause after it: the first Read Memory has gone out.
    void identify()
    {
        feed(identification());
        quietTicks(LinkEngine::kReadPauseTicks);
    }
    // Answers the reads from address 0 up to, not including, `end`.
    void readUpTo(int end)
    {
        for (int address = 0; address < end; address += kReadMemoryChunk)
            feed(memoryData(static_cast<Byte>(address), Bytes(readMemoryLength(static_cast<Byte>(address)), 0x33)));
    }
    // A whole read, answered at once.
    void readAll()
    {
        identify();
        readUpTo(256);
        ASSERT_TRUE(engine_->imageRead());
        outcomes_.clear();
    }
    // The operation and address (segment number for a firmware segment) of every link
    // frame written, e.g. "02@26".
    std::vector<std::string> frames() const
    {
        std::vector<std::string> result;
        for (const auto& report : transport_.written)
            result.push_back(hexByte(report[2]) + "@" + std::to_string(report[report[2] == kReadOp ? 3 : 5]));
        return result;
    }
    std::vector<std::string> framesSince(std::size_t first) const
    {
        const std::vector<std::string> all = frames();
        return {all.begin() + static_cast<std::ptrdiff_t>(first), all.end()};
    }
    bool logged(std::string_view line) const { return std::find(log_.begin(), log_.end(), line) != log_.end(); }
    static Bytes identification() { return {0xB2, '_', 0x12, 0x34, 0x56, 0x78, 0x00, 0x4D}; }
    static Bytes memoryData(Byte address, const Bytes& data)
    {
        Bytes crcInput = {address, static_cast<Byte>(data.size())};
        crcInput.insert(crcInput.end(), data.begin(), data.end());
        const std::uint16_t crc = crc16(crcInput);
        Bytes report = {0xB2, 'R', static_cast<Byte>(crc & 0xFF), static_cast<Byte>(crc >> 8)};
        report.insert(report.end(), crcInput.begin(), crcInput.end());
        return report;
    }
    static Bytes reply(char code) { return {0xB2, static_cast<Byte>(code)}; }

    test::FakeTransport transport_;
    EeBlock image_;
    std::vector<std::string> log_;
    Outcomes outcomes_;
    std::optional<LinkEngine> engine_;
};

TEST_F(LinkEngineReplies, AnIdentificationWhileReadingOnlyUpdatesIt)
{
    identify();
    ASSERT_EQ(engine_->phase(), LinkPhase::reading);
    const std::size_t written = transport_.written.size();
    feed({0xB2, '_', 0xAB, 0xCD, 0xEF, 0x01, 0x00, 0x4D});
    EXPECT_EQ(transport_.written.size(), written);
    EXPECT_EQ(engine_->phase(), LinkPhase::reading);
    EXPECT_EQ(engine_->identification().deviceNumber(), "ABCDEF01");
    EXPECT_EQ(engine_->identification().firmware, 0x4D);
}

// A memory reply must answer the frame that asked for it, carry data and fit the image.
TEST_F(LinkEngineReplies, AMemoryReplyForOtherBytesStopsTheRead)
{
    const struct {
        const char* name;
        int readBefore; // the reads answered before, up to this address
        Bytes reply;
    } cases[] = {
        {"another address", 0, memoryData(26, Bytes(26, 0xAA))},
        {"no data", 0, memoryData(0, {})},
        {"past byte 255", 234, memoryData(234, Bytes(26, 0xAA))},
        {"damaged", 26,
         [] {
             Bytes r = memoryData(26, Bytes(26, 0xAA));
             r[2] ^= 1;
             return r;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        identify();
        readUpTo(c.readBefore);
        feed(c.reply);
        EXPECT_EQ(outcomes_, Outcomes{LinkOutcome::readFailed});
        const EeBlock defaults = makeDefaultImage();
        EXPECT_TRUE(std::equal(defaults.begin(), defaults.end(), image_.begin()))
            << "what arrived reached no image byte";
        EXPECT_FALSE(engine_->imageRead());
        EXPECT_FALSE(engine_->busy());
    }
}

TEST_F(LinkEngineReplies, AReplyAlreadyWaitingAfterAFrameIsHandledAtOnce)
{
    feed(identification());
    quietTicks(LinkEngine::kReadPauseTicks - 1);
    transport_.queue(memoryData(0, Bytes(26, 0x11))); // there for the read after Read Memory 0
    transport_.queue({0x41, 0x00});                   // there for the read after Read Memory 26
    tick();
    EXPECT_EQ(frames(), (std::vector<std::string>{"02@0", "02@26"}));
    EXPECT_FALSE(logged("?: 41")) << "anything else found there is discarded";

    transport_.queue(memoryData(26, Bytes(26, 0x22)));
    transport_.queue({0xB2, '_', 0xAB, 0xCD, 0xEF, 0x01, 0x00, 0x4D}); // there for the read after Read Memory 52
    tick();
    EXPECT_EQ(frames().back(), "02@52");
    EXPECT_EQ(engine_->identification().deviceNumber(), "12345678") << "an identification found there is discarded";
}

TEST_F(LinkEngineReplies, AFrameWithoutAReplyIsRepeatedAfterFiveSecondsAndGivenUpAtTheSixth)
{
    const struct {
        const char* name;
        std::function<void()> prepare; // ends with the first try of the frame that is never answered
        std::string frame;
        LinkOutcome outcome;
        std::string logLine;
    } cases[] = {
        {"Read Memory", [this] { identify(); }, "02@0", LinkOutcome::readFailed, "Read stopped"},
        {"Write Memory",
         [this] {
             readAll();
             ASSERT_EQ(engine_->startWrite(), LinkStart::started);
         },
         "04@0", LinkOutcome::writeFailed, "EE Write OK"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        c.prepare();
        const std::size_t firstTry = transport_.written.size() - 1;
        outcomes_.clear();
        quietTicks(LinkEngine::kReplyTimeoutTicks - 1);
        EXPECT_EQ(transport_.written.size(), firstTry + 1) << "not before the time-out";
        quietTicks(10 * LinkEngine::kReplyTimeoutTicks);

        // While the first try's answer may still come (15 s), a sync read takes the
        // place of a repeat, which would make the answers ambiguous; then the repeat.
        EXPECT_EQ(framesSince(firstTry), (std::vector<std::string>{c.frame, "02@0", "02@1", "02@2", c.frame, "02@3"}))
            << "the first try and five repeats";
        EXPECT_EQ(outcomes_, Outcomes{c.outcome});
        EXPECT_EQ(logged(c.logLine), c.outcome == LinkOutcome::readFailed);
    }
}

// After a time-out the frame is not repeated at once: a sync read goes first. An
// answer that comes before the sync read's is the frame's own, late; once the sync
// read is answered, no answer to the frame can come any more and it is repeated.
TEST_F(LinkEngineReplies, AfterATimeOutASyncReadTellsALateAnswerFromALostOne)
{
    const struct {
        const char* name;
        std::vector<Bytes> replies; // after the time-out
        std::vector<std::string> frames;
        WriteProgress progress;
    } cases[] = {
        {"late answer, then the sync read's",
         {reply('T'), memoryData(0, {0x00}), reply('T')},
         {"04@0", "02@0", "04@25", "04@50"},
         {50, 0, 2}},
        {"the sync read's answer: the frame's is lost",
         {memoryData(0, {0x00}), reply('T'), reply('T')},
         {"04@0", "02@0", "04@0", "04@25", "04@50"},
         {50, 0, 2}},
        {"a sync read answer for another tag moves nothing", {memoryData(7, {0x00})}, {"04@0", "02@0"}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        readAll();
        ASSERT_EQ(engine_->startWrite(), LinkStart::started);
        const std::size_t first = transport_.written.size() - 1;
        quietTicks(LinkEngine::kReplyTimeoutTicks);
        for (const Bytes& r : c.replies)
            feed(r);
        EXPECT_EQ(framesSince(first), c.frames);
        EXPECT_EQ(engine_->writeProgress(), c.progress);
    }
}

// The update runs only after the device has come back from a Reset, and each firmware
// reply must answer the segment in flight: 'X' segments 1 and 2, 'Z' segment 3.
TEST_F(LinkEngineReplies, FirmwareRepliesMustAnswerTheSegmentInFlight)
{
    const struct {
        const char* name;
        std::vector<char> replies;
        FirmwareStop stop;
    } cases[] = {
        {"'Z' to segment 1", {'Z'}, {1, 1, 'Z'}},
        {"'Z' to segment 2", {'X', 'Z'}, {1, 2, 'Z'}},
        {"'X' to segment 3", {'X', 'X', 'X'}, {1, 3, 'X'}},
        {"'X' to segment 3 of page 2", {'X', 'X', 'Z', 'X', 'X', 'X'}, {2, 3, 'X'}},
        {"'Y' to segment 2", {'X', 'Y'}, {1, 2, 'Y'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        readAll();
        ASSERT_TRUE(engine_->setFirmware(Bytes(0x3000, 0x5A), 144, kNewVersion));
        ASSERT_EQ(engine_->startUpdate(), LinkStart::started);
        EXPECT_EQ(transport_.written.back()[2], kResetOp) << "first the Reset";
        feed(identification());
        EXPECT_EQ(outcomes_, Outcomes{LinkOutcome::pagesBegin});
        for (const char code : c.replies)
            feed(reply(code));
        const std::size_t sent = transport_.written.size();
        quietTicks(3);
        EXPECT_EQ(outcomes_.back(), LinkOutcome::updateRefused);
        EXPECT_EQ(engine_->firmwareStop(), c.stop);
        EXPECT_EQ(transport_.written.size(), sent) << "nothing follows";
        EXPECT_FALSE(engine_->busy());
    }
}

// Before the pages the device must come back from its Reset; one that stays away 10 s
// gets no page.
TEST_F(LinkEngineReplies, TheUpdateWaitsForTheDeviceToComeBackFromItsReset)
{
    readAll();
    ASSERT_TRUE(engine_->setFirmware(Bytes(0x3000, 0x5A), 144, kNewVersion));
    ASSERT_EQ(engine_->startUpdate(), LinkStart::started);
    const std::size_t first = transport_.written.size() - 1;
    EXPECT_TRUE(engine_->busy());
    EXPECT_EQ(engine_->startRead(), LinkStart::busy);
    feed(reply('X')); // a late answer of an earlier update starts nothing
    quietTicks(LinkEngine::kRestartTicks - 2);
    EXPECT_TRUE(outcomes_.empty());
    quietTicks(1);
    EXPECT_EQ(outcomes_, Outcomes{LinkOutcome::updateNotStarted});
    EXPECT_EQ(framesSince(first), std::vector<std::string>{"0E@0"});
    EXPECT_FALSE(engine_->busy());
}

// Write and firmware replies belong to a running write or update; any other is dropped.
TEST_F(LinkEngineReplies, RepliesOutsideTheirOperationChangeNothing)
{
    readAll();
    const EeBlock image = image_;
    const std::size_t written = transport_.written.size();
    for (const char code : {'T', 'U', 'V', 'W', 'X', 'Y', 'Z', '['})
        feed(reply(code));
    feed(memoryData(0, Bytes(26, 0x77)));
    EXPECT_EQ(engine_->phase(), LinkPhase::idle);
    EXPECT_EQ(transport_.written.size(), written) << "no frame goes out";
    EXPECT_EQ(image_, image);
    EXPECT_TRUE(outcomes_.empty());
}

// An update that ended (here: unanswered) is over. The late reply of its last segment
// moves nothing, and a new update starts from page 0 and goes on as answered.
TEST_F(LinkEngineReplies, AnUnansweredUpdateIsOverAndANewOneStartsCleanly)
{
    readAll();
    ASSERT_TRUE(engine_->setFirmware(Bytes(0x3000, 0x5A), 144, kNewVersion));
    ASSERT_EQ(engine_->startUpdate(), LinkStart::started);
    feed(identification());
    const std::size_t first = transport_.written.size() - 1;
    quietTicks(LinkEngine::kReplyTimeoutTicks);
    EXPECT_EQ(outcomes_, (Outcomes{LinkOutcome::pagesBegin, LinkOutcome::updateUnanswered}));
    EXPECT_EQ(engine_->firmwareStop(), (FirmwareStop{1, 1, std::nullopt}));
    EXPECT_TRUE(logged("FW Update: no answer"));
    EXPECT_FALSE(engine_->busy());
    EXPECT_EQ(engine_->phase(), LinkPhase::idle);

    feed(reply('X')); // the stick answers again, too late
    EXPECT_EQ(transport_.written.size(), first + 1) << "the ended update does not carry on";

    ASSERT_EQ(engine_->startUpdate(), LinkStart::started);
    EXPECT_EQ(transport_.written.back()[2], kResetOp);
    feed(identification());
    feed(reply('X'));
    feed(reply('X'));
    EXPECT_EQ(transport_.written.size(), first + 5) << "the Reset, segments 1, 2 and 3 of page 0";
    EXPECT_EQ(transport_.written.back()[5], 3) << "segment 3";
    feed(reply('Z'));
    feed(reply('X'));
    feed(reply('X'));
    feed(reply('Z'));
    EXPECT_EQ(outcomes_.back(), LinkOutcome::resetSent);
    EXPECT_EQ(transport_.written.back()[2], kResetOp);
    feed(identification());
    EXPECT_EQ(outcomes_.back(), LinkOutcome::updateDone);
}

// The phase at each step of a read, a write and an update, and the segment each
// firmware frame carries.
TEST_F(LinkEngineReplies, ThePhaseFollowsEachOperationStepByStep)
{
    ASSERT_TRUE(engine_->setFirmware(Bytes(0x3000, 0x5A), 2 * kPageBytes, kNewVersion));
    const auto repeat = [this](char code, int times) {
        for (int i = 0; i < times; ++i)
            feed(reply(code));
    };
    const struct {
        const char* name;
        std::function<void()> step;
        LinkPhase phase;
        bool busy;
    } steps[] = {
        {"started", [] {}, LinkPhase::waitingForDevice, false},
        {"announced", [this] { feed(identification()); }, LinkPhase::readPause, true},
        {"pause over", [this] { quietTicks(LinkEngine::kReadPauseTicks); }, LinkPhase::reading, true},
        {"read", [this] { readUpTo(256); }, LinkPhase::idle, false},
        {"Transfer", [this] { engine_->startWrite(); }, LinkPhase::writingMemory, true},
        {"memory written", [&] { repeat('T', 10); }, LinkPhase::writingEe, true},
        {"EE written", [&] { repeat('V', 10); }, LinkPhase::waitingForDevice, false},
        {"announced again", [this] { readAll(); }, LinkPhase::idle, false},
        {"Update FW", [this] { engine_->startUpdate(); }, LinkPhase::awaitingRestart, true},
        {"back from the Reset", [this] { feed(identification()); }, LinkPhase::sendingSegment, true},
        {"page 1 taken",
         [&] {
             repeat('X', 2);
             repeat('Z', 1);
         },
         LinkPhase::sendingSegment, true},
        {"page 2 taken",
         [&] {
             repeat('X', 2);
             repeat('Z', 1);
         },
         LinkPhase::awaitingRestart, true},
        {"back with the new version", [this] { feed(identification()); }, LinkPhase::idle, false},
        {"ReRead", [this] { engine_->startRead(); }, LinkPhase::reading, true},
        {"no device", [this] { feed(reply('Q')); }, LinkPhase::waitingForDevice, false},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        s.step();
        EXPECT_EQ(engine_->phase(), s.phase);
        EXPECT_EQ(engine_->busy(), s.busy);
        EXPECT_EQ(engine_->isIdle(), s.phase == LinkPhase::idle);
        EXPECT_EQ(engine_->isWaitingForDevice(), s.phase == LinkPhase::waitingForDevice);
    }
    std::vector<int> segments;
    for (const auto& report : transport_.written)
        if (report[2] == kSegmentOp)
            segments.push_back(report[5]);
    EXPECT_EQ(segments, (std::vector<int>{1, 2, 3, 1, 2, 3}));
    EXPECT_EQ(outcomes_.back(), LinkOutcome::deviceGone);
}

TEST(LinkEngineStart, BeforeStartTheEngineIsNotStartedAndTicksDoNothing)
{
    test::FakeTransport transport(64, 64);
    transport.queue({0xB2, '_', 0x12, 0x34, 0x56, 0x78, 0x00, 0x4D});
    EeBlock image = makeDefaultImage();
    LinkEngine engine(transport, image);
    EXPECT_TRUE(engine.tick().empty());
    EXPECT_EQ(engine.phase(), LinkPhase::notStarted);
    EXPECT_FALSE(engine.busy());
    EXPECT_EQ(engine.startRead(), LinkStart::notReady);
    EXPECT_EQ(transport.inputs.size(), 1u) << "the announcement waits for the engine to start";
}

TEST_F(LinkEngineReplies, QuietAndUnknownReportsAreLogged)
{
    feed({0x41, 0x00});
    feed({0xB2, 0x50});
    EXPECT_EQ(log_, (std::vector<std::string>{"?: 41", "RET: 50"}));
    feed(reply('Q'));
    EXPECT_EQ(outcomes_, Outcomes{LinkOutcome::deviceGone});
    EXPECT_EQ(engine_->phase(), LinkPhase::waitingForDevice);
}

TEST(LinkEngineFirmware, AnImageThatDoesNotHoldItsPagesIsRefused)
{
    test::FakeTransport transport(64, 64);
    EeBlock image = makeDefaultImage();
    LinkEngine engine(transport, image);
    engine.start();
    const Bytes firmware(5760, 0x11);
    EXPECT_TRUE(engine.setFirmware(firmware, 5760, kNewVersion));
    EXPECT_FALSE(engine.setFirmware(firmware, 5761, kNewVersion)) << "81 pages reach past the image";
    EXPECT_FALSE(engine.setFirmware(firmware, 0, kNewVersion));
    EXPECT_EQ(engine.startUpdate(), LinkStart::noFirmware);
    EXPECT_TRUE(transport.written.empty());
}

} // namespace
} // namespace ormid
