// The link engine against the simulated stick in USB Stick mode, on a virtual clock.

#include "link/link_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/text_lines.h"
#include "link/crc16.h"
#include "link/fake_transport.h"
#include "sim/sim_transport.h"
#include "sim/stick_model.h"

namespace ormid::sim {
namespace {

using Bytes = std::vector<Byte>;

constexpr Byte kReadOp = 0x02;
constexpr Byte kWriteMemoryOp = 0x04;
constexpr Byte kWriteEeOp = 0x05;
constexpr Byte kSegmentOp = 0x08;
constexpr Byte kResetOp = 0x0E;
constexpr std::size_t kFirmwareSize = 5704;

struct VirtualWaiter final : Waiter {
    explicit VirtualWaiter(VirtualClock& c) : clock(c) {}
    void sleep(std::chrono::milliseconds duration) override { clock.advance(duration.count()); }
    VirtualClock& clock;
};

// What the window would show.
struct WindowRecord final : LinkEngineEvents {
    std::string caption;
    bool locked = false;
    bool buttonsShown = false;
    std::vector<std::string> logLines;
    std::optional<std::pair<int, int>> progress; // position, maximum while shown
    std::vector<std::string> questions;
    bool answerYes = false;
    int beeps = 0;
    std::optional<DeviceLog> deviceLog;
    int deviceLogCalls = 0;
    int redraws = 0;

    void setCaption(const std::string& text) override { caption = text; }
    void appendCaption(const std::string& text) override { caption += text; }
    bool formDisabled() const override { return locked; }
    void setFormDisabled(bool disabled) override { locked = disabled; }
    void showActionButtons(bool shown) override { buttonsShown = shown; }
    void defaultCursor() override {}
    void log(const std::string& line) override { logLines.push_back(line); }
    void showFirmwareProgress(int position, int maximum) override { progress.emplace(position, maximum); }
    void hideFirmwareProgress() override { progress.reset(); }
    bool askFirmwareUpdate(const std::string& question) override
    {
        questions.push_back(question);
        return answerYes;
    }
    void beep() override { ++beeps; }
    void showDeviceLog(const std::optional<DeviceLog>& values) override
    {
        deviceLog = values;
        ++deviceLogCalls;
    }
    void redraw() override { ++redraws; }

    bool logged(std::string_view line) const
    {
        return std::find(logLines.begin(), logLines.end(), line) != logLines.end();
    }
};

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
        std::copy(deviceLogBytes_.begin(), deviceLogBytes_.end(), state.deviceMemory.begin() + field::operatingMinutes);
        model_.emplace(config, faults, state);
        model_->onReport([this](Direction d, ByteSpan r) {
            if (d == Direction::in && r.size() > 4 && r[0] == 0xCA && r[1] == 0xC5)
                frames_.push_back({r[2], r[kAddressAt[r[2] == kReadOp ? 0 : 1]], r[4]});
        });
        transport_.emplace(*model_, clock_);
        transport_->writeData(readBlockCommand(kControlBlockAddress));
        clock_.advance(50 + faults.replyDelay);
        EXPECT_TRUE(transport_->readData().has_value());
        engine_.emplace(*transport_, image_, window_, waiter_, options);
        engine_->start();
    }

    // Ticks every 100 ms until `done` holds or `maxTicks` have passed.
    template <typename Done>
    void runUntil(Done done, int maxTicks = 2000)
    {
        for (int i = 0; i < maxTicks && !done(); ++i) {
            clock_.advance(LinkEngine::kTickPeriod.count());
            engine_->Timer3Timer();
        }
    }
    void runTicks(int ticks)
    {
        runUntil([] { return false; }, ticks);
    }
    void readDevice()
    {
        runUntil([this] { return engine_->imageRead(); });
        ASSERT_TRUE(engine_->imageRead());
    }
    std::vector<Frame> framesOf(Byte op) const
    {
        std::vector<Frame> result;
        std::copy_if(frames_.begin(), frames_.end(), std::back_inserter(result), [op](const Frame& f) { return f.op == op; });
        return result;
    }
    Bytes deviceMemory() const { return {model_->state().deviceMemory.begin(), model_->state().deviceMemory.end()}; }

    // Read Memory: 02 addr len; the writes: op crcLo crcHi addr len.
    static constexpr std::array<std::size_t, 2> kAddressAt = {3, 5};

    std::array<Byte, 8> deviceLogBytes_ = {0x10, 0x27, 0x01, 0x34, 0x12, 0x08, 0x00, 0x41};
    VirtualClock clock_;
    VirtualWaiter waiter_{clock_};
    std::optional<StickModel> model_;
    std::optional<SimTransport> transport_;
    EeBlock image_ = makeDefaultImage();
    WindowRecord window_;
    std::optional<LinkEngine> engine_;
    std::vector<Frame> frames_;
};

TEST_F(LinkEngineOnStick, AFullReadTakesTenFramesAndEndsWithTheDeviceCaption)
{
    start(StickConfig{.deviceFirmware = 0xFF}, {}, {.embeddedFwVersion = 77});
    window_.locked = true;
    readDevice();

    const auto reads = framesOf(kReadOp);
    ASSERT_EQ(reads.size(), 10u);
    for (std::size_t i = 0; i < reads.size(); ++i)
        EXPECT_EQ(reads[i].address, 26 * i);
    EXPECT_EQ(reads.front().length, 26);
    EXPECT_EQ(reads.back().length, 22);
    EXPECT_EQ(image_, deviceMemory());
    EXPECT_EQ(window_.caption, "USB Stick, Device Nr. 12345678, FW ???            Ready...");
    EXPECT_EQ(engine_->deviceFwVersion(), 0);
    EXPECT_EQ(engine_->stickState(), LinkEngine::kRead);
    EXPECT_FALSE(window_.locked);
    EXPECT_TRUE(window_.buttonsShown);
    EXPECT_GE(window_.redraws, 1);
    ASSERT_EQ(window_.questions.size(), 1u);
    EXPECT_EQ(window_.questions.front(), "The Ormid Firmware version (1.0) and the embedded version (1.77) are different!\r"
                                         "Do you want to update the firmware?");
    EXPECT_TRUE(window_.logged("Send: Read Memory 0xEA"));
}

// Replies at once are found by the read after each frame; later ones by the ticks,
// one more than a tick late included.
TEST_F(LinkEngineOnStick, ReadAndWriteWhenTheRepliesComeAtOnceOrLater)
{
    for (const Millis delay : {0, 10, 150}) {
        Faults faults;
        faults.replyDelay = delay;
        start({}, faults);
        readDevice();
        EXPECT_EQ(image_, deviceMemory()) << delay;
        std::fill(image_.begin(), image_.begin() + 250, Byte{0x3C});
        window_.caption.clear();
        engine_->storeUSBStick();
        runUntil([this] { return engine_->stickState() == LinkEngine::kWaiting; });
        EXPECT_EQ(window_.caption, "->Transfer finished.") << delay;
        const Bytes device = deviceMemory();
        EXPECT_TRUE(std::all_of(device.begin(), device.begin() + 250, [](Byte b) { return b == 0x3C; })) << delay;
    }
}

TEST_F(LinkEngineOnStick, TheMemoryDumpShowsSixteenRowsOfTheImage)
{
    start();
    readDevice();
    const auto first = std::find(window_.logLines.begin(), window_.logLines.end(),
                                 "------------------ Memory dump --------------------");
    ASSERT_GE(window_.logLines.end() - first, 18);
    EXPECT_EQ(first[1], "00: FF FE FD FC FB FA F9 F8 F7 F6 F5 F4 F3 F2 F1 F0 ");
    EXPECT_EQ(first[16], "F0: 0F 0E 0D 0C 0B 0A 09 10 27 01 34 12 08 00 41 00 ");
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
        frames_.clear();
        start(StickConfig{.deviceFirmware = c.device}, {}, {.skipFW = c.skipFW, .embeddedFwVersion = c.embedded});
        window_.questions.clear();
        readDevice();
        EXPECT_EQ(window_.questions.size(), c.asked ? 1u : 0u) << int(c.device) << " " << c.skipFW;
        EXPECT_TRUE(framesOf(kSegmentOp).empty());
    }
}

TEST_F(LinkEngineOnStick, TheLogGroupNeedsShowLogAndFirmware72)
{
    const struct {
        Byte firmware;
        bool showLog;
        bool shown;
    } cases[] = {{71, true, false}, {72, true, true}, {72, false, false}, {0xFF, true, false}};
    for (const auto& c : cases) {
        start(StickConfig{.deviceFirmware = c.firmware}, {}, {.showLog = c.showLog, .embeddedFwVersion = c.firmware});
        window_.deviceLog.reset();
        window_.deviceLogCalls = 0;
        readDevice();
        EXPECT_EQ(window_.deviceLogCalls, 1) << int(c.firmware);
        ASSERT_EQ(window_.deviceLog.has_value(), c.shown) << int(c.firmware) << " " << c.showLog;
        if (c.shown) {
            EXPECT_EQ(window_.deviceLog->operationMinutes, 0x012710u);
            EXPECT_EQ(window_.deviceLog->switchCount, 0x1234);
            EXPECT_EQ(window_.deviceLog->overTempMinutes, 8u * 15u);
            EXPECT_EQ(window_.deviceLog->maxTemperature, 0x41);
        }
    }
}

TEST_F(LinkEngineOnStick, AnIdentificationDuringARead_OnlyUpdatesIt)
{
    start();
    readDevice();
    const std::size_t reads = framesOf(kReadOp).size();
    runTicks(200); // further identifications arrive every 2 s; no reply is awaited any more
    EXPECT_EQ(framesOf(kReadOp).size(), reads);
    EXPECT_EQ(engine_->stickState(), LinkEngine::kRead);
    EXPECT_EQ(engine_->identification().deviceNumber(), "12345678");
}

TEST_F(LinkEngineOnStick, NoDeviceShowsUsbStickAndWaits)
{
    start(StickConfig{.deviceConnected = false});
    transport_->writeData(buildLinkFrame(readMemoryCommand(0).bytes, 64).report); // answered 'Q'
    runTicks(5);
    EXPECT_EQ(window_.caption, "USB Stick");
    EXPECT_EQ(engine_->stickState(), LinkEngine::kWaiting);
    EXPECT_TRUE(window_.locked);
    EXPECT_FALSE(window_.buttonsShown);
}

struct WriteCase {
    const char* name;
    int Faults::*fault;
    int refusals;
    Byte op;
    bool succeeds;
};

TEST_F(LinkEngineOnStick, AWriteRepeatsAFrameFiveTimesAndFailsAtTheSixth)
{
    const WriteCase cases[] = {
        {"Write Memory refused 5 times", &Faults::refuseWriteMemory, 5, kWriteMemoryOp, true},
        {"Write Memory refused 6 times", &Faults::refuseWriteMemory, 6, kWriteMemoryOp, false},
        {"Write EE refused 5 times", &Faults::refuseWriteEe, 5, kWriteEeOp, true},
        {"Write EE refused 6 times", &Faults::refuseWriteEe, 6, kWriteEeOp, false},
    };
    for (const auto& c : cases) {
        Faults faults;
        faults.*c.fault = c.refusals;
        start({}, faults);
        readDevice();
        for (std::size_t i = 0; i < 250; ++i)
            image_[i] = static_cast<Byte>(i);
        frames_.clear();
        window_.logLines.clear();
        window_.caption = "USB Stick, Device Nr. 12345678, FW 1.77";
        window_.locked = false;
        engine_->storeUSBStick();
        runUntil([this] { return engine_->stickState() == LinkEngine::kWaiting; });
        const bool locked = window_.locked;
        const std::string caption = window_.caption;
        runTicks(10); // no frame of the write follows its end

        const auto refused = framesOf(c.op);
        ASSERT_GE(refused.size(), 6u) << c.name;
        EXPECT_TRUE(std::all_of(refused.begin(), refused.begin() + 6, [](const Frame& f) { return f.address == 0; }))
            << c.name;
        EXPECT_FALSE(locked) << c.name;
        EXPECT_TRUE(window_.buttonsShown) << c.name;
        if (c.succeeds) {
            EXPECT_EQ(caption, "USB Stick, Device Nr. 12345678, FW 1.77->Transfer finished.") << c.name;
            EXPECT_TRUE(window_.logged("EE Write OK")) << c.name;
            EXPECT_EQ(framesOf(kWriteMemoryOp).back().address, 225) << c.name;
            EXPECT_EQ(framesOf(kWriteEeOp).back().address, 108) << c.name;
            const Bytes device = deviceMemory();
            EXPECT_TRUE(std::equal(image_.begin(), image_.begin() + 250, device.begin())) << c.name;
        } else {
            EXPECT_EQ(caption, "Transfer Error!") << c.name;
            EXPECT_EQ(refused.size(), 6u) << c.name;
            EXPECT_FALSE(window_.logged("EE Write OK")) << c.name;
        }
        if (c.op == kWriteEeOp) {
            EXPECT_EQ(std::count(window_.logLines.begin(), window_.logLines.end(), "EE Write Repeat"), 5) << c.name;
        }
    }
}

TEST_F(LinkEngineOnStick, TransferWaitsForTheWholeDeviceMemory)
{
    start();
    runUntil([this] { return framesOf(kReadOp).size() == 3; });
    const Bytes device = deviceMemory();
    std::fill(image_.begin(), image_.begin() + 26, Byte{0x3C}); // as if edited while the read runs

    engine_->storeUSBStick();
    EXPECT_EQ(window_.caption, "Transfer Error!");
    readDevice();
    EXPECT_TRUE(framesOf(kWriteMemoryOp).empty()) << "a half-read image would overwrite the device's counters";
    EXPECT_EQ(deviceMemory(), device);
    EXPECT_EQ(engine_->stickState(), LinkEngine::kRead) << "the refused Transfer did not disturb the read";

    engine_->storeUSBStick();
    runUntil([this] { return engine_->stickState() == LinkEngine::kWaiting; });
    EXPECT_TRUE(window_.caption.ends_with("->Transfer finished."));
}

TEST_F(LinkEngineOnStick, AfterAWriteTheNextIdentificationReadsAgain)
{
    start();
    readDevice();
    engine_->storeUSBStick();
    runUntil([this] { return engine_->stickState() == LinkEngine::kWaiting; });
    frames_.clear();
    runUntil([this] { return engine_->stickState() == LinkEngine::kRead && framesOf(kReadOp).size() == 10; }, 100);
    EXPECT_EQ(framesOf(kReadOp).size(), 10u);
}

TEST_F(LinkEngineOnStick, ACorruptReadStopsAndReReadStartsAgainFromZero)
{
    Faults faults;
    faults.corruptReadAt = 52;
    start({}, faults);
    window_.locked = true; // as after the stick's "no device"
    runTicks(200); // long past the reply time-out: a damaged frame is not repeated
    auto reads = framesOf(kReadOp);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(reads.back().address, 52);
    EXPECT_FALSE(engine_->imageRead());
    EXPECT_EQ(window_.caption, kReadError);
    EXPECT_FALSE(window_.locked) << "ReRead must be within reach";
    EXPECT_TRUE(window_.buttonsShown);

    window_.locked = true;
    engine_->bRereadClick();
    EXPECT_EQ(framesOf(kReadOp).size(), 3u) << "ReRead does nothing while the window is locked";

    window_.locked = false;
    engine_->bRereadClick();
    runTicks(10);
    reads = framesOf(kReadOp);
    ASSERT_EQ(reads.size(), 6u);
    EXPECT_EQ(reads[3].address, 0);
    EXPECT_EQ(reads[5].address, 52);
}

// Replies the simulator does not send: fed through a scripted transport.
class LinkEngineReplies : public ::testing::Test {
protected:
    LinkEngineReplies()
    {
        transport_.inputLength = 64;
        transport_.outputLength = 64;
        engine_.start();
    }
    void feed(Bytes report)
    {
        transport_.queue(std::move(report));
        engine_.Timer3Timer();
    }
    void quietTicks(int ticks)
    {
        for (int i = 0; i < ticks; ++i)
            engine_.Timer3Timer();
    }
    // The operation and address of every link frame written, e.g. "02@26".
    std::vector<std::string> frames() const
    {
        std::vector<std::string> result;
        for (const auto& report : transport_.written) {
            const std::size_t addressAt = report[2] == kReadOp ? 3 : 5;
            result.push_back(hexByte(report[2]) + "@" + std::to_string(report[addressAt]));
        }
        return result;
    }
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

    test::FakeTransport transport_;
    EeBlock image_ = makeDefaultImage();
    WindowRecord window_;
    VirtualClock clock_;
    VirtualWaiter waiter_{clock_};
    LinkEngine engine_{transport_, image_, window_, waiter_};
};

TEST_F(LinkEngineReplies, AnIdentificationInStateOneOnlyUpdatesIt)
{
    feed({0xB2, '_', 0x12, 0x34, 0x56, 0x78, 0x00, 0xFF});
    ASSERT_EQ(engine_.stickState(), LinkEngine::kRead);
    const std::size_t written = transport_.written.size();
    feed({0xB2, '_', 0xAB, 0xCD, 0xEF, 0x01, 0x00, 0x4D});
    EXPECT_EQ(transport_.written.size(), written);
    EXPECT_EQ(engine_.stickState(), LinkEngine::kRead);
    EXPECT_EQ(engine_.identification().deviceNumber(), "ABCDEF01");
    EXPECT_EQ(engine_.identification().firmware, 0x4D);
}

TEST_F(LinkEngineReplies, AReplyReachingPastTheImageIsDroppedLikeABadFrame)
{
    feed({0xB2, '_', 0x12, 0x34, 0x56, 0x78, 0x00, 0xFF});
    const EeBlock before = image_;
    const std::size_t written = transport_.written.size();
    feed(memoryData(250, Bytes(10, 0xAA)));
    EXPECT_EQ(image_, before);
    EXPECT_EQ(transport_.written.size(), written);

    feed(memoryData(246, Bytes(10, 0xAA)));
    EXPECT_TRUE(std::all_of(image_.begin() + 246, image_.end(), [](Byte b) { return b == 0xAA; }));
    EXPECT_TRUE(engine_.imageRead()) << "a reply ending at byte 255 completes the read";
}

TEST_F(LinkEngineReplies, AReplyAlreadyWaitingAfterAFrameIsHandledOnTheNextTick)
{
    transport_.queue(identification());
    transport_.queue(memoryData(0, Bytes(26, 0x11))); // there before the read after Read Memory 0
    transport_.queue({0x41, 0x00});                   // there before the read after Read Memory 26
    quietTicks(3);

    EXPECT_EQ(frames(), (std::vector<std::string>{"02@0", "02@26"}));
    EXPECT_TRUE(std::all_of(image_.begin(), image_.begin() + 26, [](Byte b) { return b == 0x11; }));
    EXPECT_FALSE(window_.logged("?: 41")) << "anything else found there is discarded";

    transport_.queue(memoryData(26, Bytes(26, 0x22)));
    transport_.queue({0xB2, '_', 0xAB, 0xCD, 0xEF, 0x01, 0x00, 0x4D}); // there before the read after Read Memory 52
    quietTicks(2);
    EXPECT_EQ(engine_.identification().deviceNumber(), "12345678") << "an identification found there is discarded";
}

TEST_F(LinkEngineReplies, AFrameWithoutAReplyCountsAsRefusedAfterFiveSeconds)
{
    // `prepare` ends with the first try of the frame that is never answered.
    const struct {
        const char* name;
        std::function<void(LinkEngine&)> prepare;
        std::string frame;
        const char* caption;
        std::string logLine;
    } cases[] = {
        {"Read Memory", [](LinkEngine&) {}, "02@0", "Read Error!", "Read stopped"},
        {"Write Memory",
         [this](LinkEngine& e) {
             for (int address = 0; address < 256; address += kReadMemoryChunk) {
                 transport_.queue(memoryData(static_cast<Byte>(address),
                                             Bytes(readMemoryLength(static_cast<Byte>(address)), 0x33)));
                 e.Timer3Timer();
             }
             ASSERT_TRUE(e.imageRead());
             e.storeUSBStick();
         },
         "04@0", "Transfer Error!", ""},
    };
    for (const auto& c : cases) {
        transport_.written.clear();
        window_ = {};
        window_.locked = true;
        EeBlock image = makeDefaultImage();
        LinkEngine engine(transport_, image, window_, waiter_);
        engine.start();
        transport_.queue(identification());
        engine.Timer3Timer();
        c.prepare(engine);
        const std::size_t firstTry = transport_.written.size() - 1;
        for (int i = 0; i < LinkEngine::kReplyTimeoutTicks - 1; ++i)
            engine.Timer3Timer();
        EXPECT_EQ(transport_.written.size(), firstTry + 1) << c.name << ": not before the time-out";
        for (int i = 0; i < 10 * LinkEngine::kReplyTimeoutTicks; ++i)
            engine.Timer3Timer();

        const std::vector<std::string> sent = frames();
        EXPECT_EQ(std::vector<std::string>(sent.begin() + static_cast<std::ptrdiff_t>(firstTry), sent.end()),
                  std::vector<std::string>(6, c.frame))
            << c.name << ": the first try and five repeats";
        EXPECT_EQ(window_.caption, c.caption) << c.name;
        if (!c.logLine.empty()) {
            EXPECT_TRUE(window_.logged(c.logLine)) << c.name;
        }
    }
}

TEST_F(LinkEngineReplies, AnUnansweredFirmwareSegmentEndsTheUpdate)
{
    const Bytes firmware(0x3000, 0x5A);
    ASSERT_TRUE(engine_.setFirmware(firmware, 144));
    engine_.bUpdateFwClick();
    ASSERT_TRUE(window_.locked);
    quietTicks(LinkEngine::kReplyTimeoutTicks);
    EXPECT_EQ(window_.beeps, 1);
    EXPECT_FALSE(window_.locked) << "the user may start the update again";
    EXPECT_TRUE(window_.logged(kFirmwareUnanswered));
    quietTicks(2 * LinkEngine::kReplyTimeoutTicks);
    ASSERT_EQ(transport_.written.size(), 1u) << "nothing is repeated";
    EXPECT_EQ(transport_.written.front()[2], kSegmentOp);
    EXPECT_EQ(window_.beeps, 1);
}

TEST_F(LinkEngineReplies, QuietAndUnknownReportsAreLogged)
{
    feed({0x41, 0x00});
    feed({0xB2, 0x50});
    EXPECT_EQ(window_.logLines, (std::vector<std::string>{"?: 41", "RET: 50"}));
    feed({0xB2, 'Q'});
    EXPECT_EQ(window_.caption, "USB Stick");
    EXPECT_EQ(engine_.stickState(), LinkEngine::kWaiting);
}

TEST_F(LinkEngineReplies, FirmwareRepliesOutsideAnUpdateChangeNothing)
{
    feed({0xB2, '_', 0x12, 0x34, 0x56, 0x78, 0x00, 0xFF});
    const std::size_t written = transport_.written.size();
    for (const Byte code : {Byte{'X'}, Byte{'Z'}, Byte{'Y'}, Byte{'['}})
        feed({0xB2, code});
    EXPECT_EQ(engine_.stickState(), LinkEngine::kRead);
    EXPECT_EQ(transport_.written.size(), written) << "no segment and no Reset goes out";
    EXPECT_EQ(window_.beeps, 0);
}

TEST_F(LinkEngineOnStick, AFirmwareUpdateSendsEightyPagesAndEndsWithReset)
{
    start();
    readDevice();
    const Bytes firmware = sampleFirmware();
    ASSERT_TRUE(engine_->setFirmware(firmware, kFirmwareSize));
    window_.caption = "Dev";
    frames_.clear();
    engine_->bUpdateFwClick();
    EXPECT_TRUE(window_.locked);
    ASSERT_TRUE(window_.progress.has_value());
    EXPECT_EQ(window_.progress->second, 80);
    runUntil([this] { return engine_->stickState() == LinkEngine::kRead; });

    EXPECT_EQ(framesOf(kSegmentOp).size(), 240u);
    ASSERT_FALSE(frames_.empty());
    EXPECT_EQ(frames_.back().op, kResetOp);
    EXPECT_EQ(engine_->firmwareProgress(), 80);
    EXPECT_EQ(model_->state().receivedFirmware, Bytes(firmware.begin(), firmware.begin() + 5760));
    EXPECT_EQ(window_.caption, "Dev->FW Update finished.");
    EXPECT_TRUE(window_.logged("FW Update done."));
    EXPECT_TRUE(window_.logged("Send: Reset!"));
    EXPECT_FALSE(window_.progress.has_value());
    EXPECT_FALSE(window_.locked);
}

TEST_F(LinkEngineOnStick, ARefusedPageBeepsUnlocksAndKeepsTheState)
{
    for (const Byte code : {Byte{'Y'}, Byte{'['}}) {
        Faults faults;
        faults.refusePage = 3;
        faults.refusePageCode = code;
        start({}, faults);
        readDevice();
        ASSERT_TRUE(engine_->setFirmware(sampleFirmware(), kFirmwareSize));
        window_.beeps = 0;
        frames_.clear();
        engine_->bUpdateFwClick();
        runTicks(40);
        EXPECT_EQ(window_.beeps, 1) << code;
        EXPECT_FALSE(window_.locked) << code;
        EXPECT_EQ(engine_->stickState(), LinkEngine::kLastSegment) << code;
        EXPECT_EQ(framesOf(kSegmentOp).size(), 12u) << code;
        EXPECT_TRUE(framesOf(kResetOp).empty()) << code;

        engine_->bUpdateFwClick(); // starts again from the first page and goes through
        runUntil([this] { return engine_->stickState() == LinkEngine::kRead; });
        EXPECT_EQ(framesOf(kSegmentOp).size(), 12u + 240u) << code;
        EXPECT_EQ(model_->state().receivedFirmware.size(), 5760u) << code;
    }
}

TEST_F(LinkEngineOnStick, YesToTheVersionQuestionStartsTheUpdateAfterTheTick)
{
    start(StickConfig{.deviceFirmware = 76}, {}, {.embeddedFwVersion = 77});
    ASSERT_TRUE(engine_->setFirmware(sampleFirmware(), kFirmwareSize));
    window_.answerYes = true;
    readDevice();
    ASSERT_EQ(window_.questions.size(), 1u);
    EXPECT_EQ(framesOf(kSegmentOp).size(), 1u) << "segment 1 follows the read at once";
    EXPECT_TRUE(window_.locked);
    runUntil([this] { return engine_->stickState() == LinkEngine::kRead; });
    EXPECT_EQ(framesOf(kSegmentOp).size(), 240u);
    EXPECT_EQ(framesOf(kResetOp).size(), 1u);
}

TEST(LinkEngineFirmware, AnImageThatDoesNotHoldItsPagesIsRefused)
{
    test::FakeTransport transport(64, 64);
    EeBlock image = makeDefaultImage();
    WindowRecord window;
    VirtualClock clock;
    VirtualWaiter waiter{clock};
    LinkEngine engine(transport, image, window, waiter);
    const Bytes firmware(5760, 0x11);
    EXPECT_TRUE(engine.setFirmware(firmware, 5760));
    EXPECT_FALSE(engine.setFirmware(firmware, 5761)) << "81 pages reach past the image";
    EXPECT_FALSE(engine.setFirmware(firmware, 0));
    engine.bUpdateFwClick();
    EXPECT_TRUE(transport.written.empty());
    EXPECT_FALSE(window.locked);
}

} // namespace
} // namespace ormid::sim
