// The command line's blocking driver of the link engine against the simulated stick
// in USB Stick mode on a virtual clock: what each operation leaves on the device and
// what it says when the device stalls, refuses or the stick is pulled out.

#include "cli/device_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "sim/sim_transport.h"
#include "sim/stick_model.h"
#include "sim/virtual_clock.h"
#include "waiter_double.h"

namespace ormid {
namespace {

using Bytes = std::vector<Byte>;

constexpr Byte kOldVersion = 70;
constexpr Byte kNewVersion = 77;
constexpr std::uint16_t kFirmwareSize = 10 * kPageBytes - 30; // ten pages, the last one filled past the image

FirmwareImage sampleFirmware()
{
    FirmwareImage firmware{
        .fwImage = Bytes(kFirmwareBufferSize, 0xFF), .fwSize = kFirmwareSize, .fwVersion = kNewVersion};
    for (std::size_t i = 0; i < kFirmwareSize; ++i)
        firmware.fwImage[i] = static_cast<Byte>(i * 13 + 5);
    return firmware;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class DeviceSessionOnStick : public ::testing::Test {
protected:
    // A stick in USB Stick mode with a device of firmware 1.70, which by default runs 1.77 after an update.
    void start(sim::Faults faults = {}, sim::StickConfig config = {})
    {
        config.mode = sim::StickMode::usb;
        config.deviceFirmware = kOldVersion;
        sim::StickState state;
        for (std::size_t i = 0; i < state.deviceMemory.size(); ++i)
            state.deviceMemory[i] = static_cast<Byte>(255 - i);
        model_.emplace(config, faults, state);
        transport_.emplace(*model_, clock_);
        progress_.str("");
        err_.str("");
        waiter_.onSleep = nullptr;
        session_.emplace(*transport_, waiter_, progress_);
    }

    Bytes deviceMemory() const { return {model_->state().deviceMemory.begin(), model_->state().deviceMemory.end()}; }
    // The session's image with bytes 0..249 changed, as a write sends them.
    Bytes changeImage()
    {
        EeBlock& image = session_->image();
        for (std::size_t i = 0; i < LinkEngine::kWrittenBytes; ++i)
            image[i] = static_cast<Byte>(i ^ 0xA5);
        return {image.begin(), image.end()};
    }
    // Pulls the stick out at the first wait after `line` has come on the progress stream.
    void pullOutAfter(const std::string& line)
    {
        waiter_.onSleep = [this, line] {
            if (!line.empty() && contains(progress_.str(), line))
                transport_->setPluggedIn(false);
        };
    }
    // Lines of the progress stream that begin with `prefix`.
    std::vector<std::string> progressLines(const std::string& prefix) const
    {
        std::vector<std::string> lines;
        std::istringstream text(progress_.str());
        for (std::string line; std::getline(text, line);)
            if (line.starts_with(prefix))
                lines.push_back(line);
        return lines;
    }

    sim::VirtualClock clock_;
    test::TestWaiter waiter_{clock_};
    std::optional<sim::StickModel> model_;
    std::optional<sim::SimTransport> transport_;
    std::ostringstream progress_;
    std::ostringstream err_;
    std::optional<DeviceSession> session_;
};

TEST_F(DeviceSessionOnStick, ConnectAndReadTakesTheWholeDeviceMemory)
{
    start();
    ASSERT_EQ(session_->connectAndRead(err_), std::nullopt) << err_.str();
    EXPECT_EQ(session_->image(), deviceMemory());
    EXPECT_EQ(session_->engine().identification().deviceNumber(), "12345678");
    EXPECT_TRUE(session_->engine().isIdle());
    EXPECT_EQ(err_.str(), "");
}

TEST_F(DeviceSessionOnStick, AWriteLeavesTheImageOnTheDeviceAndReadsBackTheSame)
{
    start();
    ASSERT_EQ(session_->connectAndRead(err_), std::nullopt) << err_.str();
    const Bytes before = deviceMemory();
    const Bytes written = changeImage();

    ASSERT_TRUE(session_->write(err_)) << err_.str();
    const Bytes device = deviceMemory();
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + LinkEngine::kWrittenBytes, device.begin()));
    EXPECT_TRUE(std::equal(before.begin() + LinkEngine::kWrittenBytes, before.end(),
                           device.begin() + LinkEngine::kWrittenBytes))
        << "bytes 250..255 are never written";
    const std::vector<std::string> frames = progressLines("frame ");
    ASSERT_EQ(frames.size(), std::size_t{LinkEngine::kWriteFrames});
    EXPECT_EQ(frames.front(), "frame 1/20");
    EXPECT_EQ(frames.back(), "frame 20/20");

    std::fill(session_->image().begin(), session_->image().end(), Byte{0});
    ASSERT_EQ(session_->readBack(err_), std::nullopt) << err_.str();
    EXPECT_EQ(session_->image(), device);
}

TEST_F(DeviceSessionOnStick, AnUpdateLeavesTheFirmwareOnTheDeviceAndItIsReadAfresh)
{
    start();
    ASSERT_EQ(session_->connectAndRead(err_), std::nullopt) << err_.str();
    const FirmwareImage firmware = sampleFirmware();

    ASSERT_TRUE(session_->updateFirmware(firmware, err_)) << err_.str();
    EXPECT_EQ(model_->state().deviceFirmware, kNewVersion);
    EXPECT_EQ(model_->state().receivedFirmware,
              Bytes(firmware.fwImage.begin(), firmware.fwImage.begin() + 10 * kPageBytes));
    const std::vector<std::string> pages = progressLines("page ");
    ASSERT_EQ(pages.size(), 10u);
    EXPECT_EQ(pages.back(), "page 10/10");
    EXPECT_TRUE(progress_.str().starts_with("Reset: "));

    std::fill(session_->image().begin(), session_->image().end(), Byte{0});
    ASSERT_EQ(session_->readAfresh(err_), std::nullopt) << err_.str();
    EXPECT_EQ(session_->image(), deviceMemory());
    EXPECT_EQ(session_->engine().identification().firmware, kNewVersion);
}

// Batch: the next device is one with another number than the last; the one just
// programmed is waited past until the line brings the next.
TEST_F(DeviceSessionOnStick, AwaitAnotherDeviceEndsOnANewDeviceAnInterruptOrAPulledStick)
{
    start({}, {.nextDevices = {{.id = {0x22, 0x22, 0x22, 0x22}}}});
    ASSERT_EQ(session_->start(err_), std::nullopt) << err_.str();
    ASSERT_EQ(session_->awaitAnotherDevice(std::nullopt, nullptr), DeviceSession::DeviceWait::arrived);
    EXPECT_EQ(session_->engine().identification().deviceNumber(), "12345678");
    EXPECT_TRUE(session_->engine().imageRead()) << "a device arrives once the read its announcement started is over";

    ASSERT_TRUE(session_->write(err_)) << err_.str(); // the line swaps devices once the PC has gone quiet
    ASSERT_EQ(session_->awaitAnotherDevice("12345678", nullptr), DeviceSession::DeviceWait::arrived);
    EXPECT_EQ(session_->engine().identification().deviceNumber(), "22222222");

    std::atomic<bool> interrupted{true};
    EXPECT_EQ(session_->awaitAnotherDevice("22222222", &interrupted), DeviceSession::DeviceWait::interrupted);
    transport_->setPluggedIn(false);
    EXPECT_EQ(session_->awaitAnotherDevice("22222222", nullptr), DeviceSession::DeviceWait::stickGone);
}

// What each operation says when the device stalls, refuses or the stick is pulled
// out, and what the device holds afterwards: nothing the operation did not get to it.
struct FailureCase {
    const char* name;
    sim::Faults faults;
    sim::StickConfig config;
    std::string pullOutAfter; // the stick is pulled out once this progress line has come; empty: never
    bool succeeds;
    std::vector<std::string> messages; // each on `err`
};

TEST_F(DeviceSessionOnStick, AReadFailsWhenTheDeviceIsSilentOrItsDataDamaged)
{
    const FailureCase cases[] = {
        {"no device", {}, {.deviceConnected = false}, "", false, {"No device announced itself on the stick.\n"}},
        {"damaged data", {.corruptReadAt = 52}, {}, "", false, {"Reading the device failed.\n"}},
        {"an identification lost: the next one starts the read",
         {.loseReply = sim::LostReply{'_', 1}},
         {},
         "",
         true,
         {}},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        start(c.faults, c.config);
        const Bytes before = deviceMemory();
        const std::optional<int> failed = session_->connectAndRead(err_);
        EXPECT_EQ(failed, c.succeeds ? std::nullopt : std::optional<int>(cliExit::transferFailed));
        EXPECT_EQ(err_.str(), c.succeeds ? "" : c.messages.front());
        EXPECT_EQ(session_->engine().imageRead(), c.succeeds);
        EXPECT_EQ(session_->image() == deviceMemory(), c.succeeds) << "only a whole read reaches the image";
        EXPECT_EQ(deviceMemory(), before);
    }
}

TEST_F(DeviceSessionOnStick, AWriteThatFailsSaysWhatTheDeviceConfirmed)
{
    const FailureCase cases[] = {
        {"Write Memory refused",
         {.refuseWriteMemory = 6},
         {},
         "",
         false,
         {"Transfer Error!\nThe device confirmed no frame; the Write Memory frame for bytes 0 to 24 may or may not "
          "have been carried out; Write Memory frames for bytes 25 to 249 were not sent. Writing the whole file again "
          "recovers.\n"}},
        {"Write EE refused",
         {.refuseWriteEe = 6},
         {},
         "",
         false,
         {"Transfer Error!\nThe device confirmed bytes 0 to 249; the Write EE frame for bytes 0 to 11 may or may not "
          "have been carried out; Write EE frames for bytes 12 to 119 were not sent."}},
        {"an acknowledgement lost: the frame is asked about and sent again",
         {.loseReply = sim::LostReply{'T', 3}},
         {},
         "",
         true,
         {}},
        {"stick pulled out",
         {},
         {},
         "frame 2/20\n",
         false,
         {"Transfer Error!\nThe stick was pulled out.\nThe device confirmed bytes 0 to ",
          "may or may not have been carried out"}},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        start(c.faults, c.config);
        ASSERT_EQ(session_->connectAndRead(err_), std::nullopt) << err_.str();
        const Bytes before = deviceMemory();
        const Bytes written = changeImage();
        pullOutAfter(c.pullOutAfter);
        EXPECT_EQ(session_->write(err_), c.succeeds);
        for (const std::string& message : c.messages)
            EXPECT_TRUE(contains(err_.str(), message)) << err_.str();

        // Confirmed frames are on the device; frames never sent are not.
        const WriteProgress& progress = session_->engine().writeProgress();
        const std::size_t confirmed = progress.memoryBytes;
        const std::size_t unsentFrom = std::min<std::size_t>(confirmed + kWriteMemoryChunk, LinkEngine::kWrittenBytes);
        const Bytes device = deviceMemory();
        EXPECT_TRUE(
            std::equal(written.begin(), written.begin() + static_cast<std::ptrdiff_t>(confirmed), device.begin()));
        EXPECT_TRUE(std::equal(before.begin() + static_cast<std::ptrdiff_t>(unsentFrom), before.end(),
                               device.begin() + static_cast<std::ptrdiff_t>(unsentFrom)));
        EXPECT_EQ(confirmed == LinkEngine::kWrittenBytes, c.succeeds || c.faults.refuseWriteEe > 0);
    }
}

TEST_F(DeviceSessionOnStick, AnUpdateThatFailsLeavesTheDeviceOnItsFirmware)
{
    const FailureCase cases[] = {
        {"stick pulled out at the first Reset",
         {},
         {},
         "Reset: ",
         false,
         {"The stick was pulled out before the device came back from the Reset that starts the update: no firmware "
          "page was sent.\n"}},
        {"page refused",
         {.refusePage = 3},
         {},
         "",
         false,
         {"The device refused firmware page 4 of 10. The device may be left in the middle of the update"}},
        {"device stalls",
         {.loseReply = sim::LostReply{'Z', 5}},
         {},
         "",
         false,
         {"The device stopped answering at firmware page 5 of 10: page 5 may or may not have been stored."}},
        {"stick pulled out",
         {},
         {},
         "page 3/10\n",
         false,
         {"The stick was pulled out at firmware page 4 of 10: page 4 may or may not have been stored."}},
        {"device keeps its version",
         {},
         {.firmwareAfterUpdate = kOldVersion},
         "",
         false,
         {"All 10 pages were acknowledged and the device was reset, but it announces FW 1.70, not FW 1.77: the update "
          "is not confirmed.\n"}},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        start(c.faults, c.config);
        ASSERT_EQ(session_->connectAndRead(err_), std::nullopt) << err_.str();
        pullOutAfter(c.pullOutAfter);
        EXPECT_FALSE(session_->updateFirmware(sampleFirmware(), err_));
        ASSERT_EQ(c.messages.size(), 1u);
        EXPECT_TRUE(contains(err_.str(), c.messages.front())) << err_.str();
        EXPECT_EQ(model_->state().deviceFirmware, kOldVersion);
    }
}

} // namespace
} // namespace ormid
