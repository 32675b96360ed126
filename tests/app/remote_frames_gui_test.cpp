// The remote layout's Tx boxes in the window: the duration estimate follows every click
// and every change of the image, and Transfer stores the frames they choose with the
// memory and its status byte.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPlainTextEdit>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

#include <unistd.h>

#include "app/window_fixture.h"
#include "cli/cli.h"
#include "core/remote_frames.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "link/control_block.h"
#include "link/memory_transfer.h"

namespace ormid {
namespace {

class RemoteFramesTest : public test::WindowOnStick {
protected:
    QString duration() const { return element<QPlainTextEdit>("Memo1")->toPlainText(); }
    static QString estimate(const char* hhmmss) { return QStringLiteral("Approx. transfer duration:\n") + hhmmss; }
};

TEST_F(RemoteFramesTest, TheEstimateFollowsTheBoxesAndTheImage)
{
    editMemory(makeDefaultImage(), true);
    ASSERT_TRUE(shown("Memo1"));
    EXPECT_EQ(duration(), estimate("00:00:00")) << "no box ticked";
    press("cbTxISDen");
    EXPECT_EQ(duration(), estimate("00:01:23")) << "one switch frame";
    press("SW_astro_close");
    EXPECT_EQ(duration(), estimate("00:01:23")) << "ISD off is sent as well, in the same time";
    press("sw_astro_open");

    press("cbTxISDEngine");
    const QString withEngine = duration();
    EXPECT_NE(withEngine, estimate("00:01:23"));
    press("iISD1_en");
    press("eD1_Level3"); // a third step at 100 %
    press("eD1_Time3");
    press("bDimmer1_OK");
    EXPECT_NE(duration(), withEngine) << "the engine's OK refreshes the estimate";
    EXPECT_EQ(duration(), estimate(durationText(transmissionSeconds(image(), 0x0C)).c_str()));
}

// Default and Load change the image without a click on a box: the estimate follows them.
TEST_F(RemoteFramesTest, TheEstimateFollowsDefaultAndLoad)
{
    EeBlock sixSteps = makeDefaultImage();
    for (std::size_t k = 3; k <= 6; ++k) {
        sixSteps[engine1Step(k)] = static_cast<Byte>(0x40 + k);
        sixSteps[engine1Step(k) + 2] = 50;
    }
    const std::filesystem::path file
        = std::filesystem::temp_directory_path() / ("ormid-six-steps-" + std::to_string(::getpid()) + ".kdc");
    ASSERT_TRUE(writeFileAtomically(file, saveConfiguration(sixSteps, "Six")).ok());

    editMemory(sixSteps, true);
    press("cbTxISDEngine");
    const QString sixStepEstimate = duration();

    dialogs_.answers.push_back(UserDialogs::Answer::yes);
    press("bMemClear");
    EXPECT_EQ(image(), makeDefaultImage());
    EXPECT_NE(duration(), sixStepEstimate);
    EXPECT_EQ(duration(), estimate(durationText(transmissionSeconds(image(), 0x08)).c_str())) << "after Default";

    dialogs_.fileName = QString::fromStdString(file.string());
    press("bLoad");
    std::filesystem::remove(file);
    EXPECT_EQ(duration(), sixStepEstimate) << "after Load";
}

TEST_F(RemoteFramesTest, TransferStoresTheChosenFramesAndTheStatusByte)
{
    editMemory(makeDefaultImage(), true);
    press("cbTxPOL");
    press("cbTxISDEngine");
    const EeBlock written = image();
    press("bMemStore");
    ASSERT_TRUE(dialogs_.messages.empty());

    const MemoryRecord record = readMemoryRecord(sim::readStickBlock(model_->state(), kControlBlockAddress), 1);
    EXPECT_EQ(record.status, 0x09) << "power-on and engine 1";
    const std::vector<Byte> frames = encodeRemoteFrames(written, 0x09);
    ASSERT_EQ(frames.size(), 3u + 9u) << "power-on, two steps and the end frame";
    const Block stored = sim::readStickBlock(model_->state(), remoteBlockAddress(1));
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), stored.begin()));
    EXPECT_EQ(stored, *buildRemoteFrameBlock(frames));
}

// The Tx selection is the window's, not the boxes': a function switched off takes its
// boxes out of what Transfer stores, and they stay out when it is switched on again.
TEST_F(RemoteFramesTest, AFunctionSwitchedOffLeavesTheSelectionTransferStores)
{
    editMemory(makeDefaultImage(), true);
    for (const char* box : {"cbTxPOL", "cbTxISD", "cbTxISDEngine"})
        press(box);
    press("SW_astro_close");
    press("sw_astro_open");
    press("bMemStore");
    ASSERT_TRUE(dialogs_.messages.empty());
    const MemoryRecord record = readMemoryRecord(sim::readStickBlock(model_->state(), kControlBlockAddress), 1);
    EXPECT_EQ(record.status, 0x01) << "power-on only: the DST and engine 1 boxes went with ISD";
}

// "Load" then "Transfer" in the window and `ormid-cli stick write` store the same data
// block and frames for the same file on a remote stick: levels and fades the frames cannot
// say are brought into their form by both alike.
TEST_F(RemoteFramesTest, TheWindowAndTheCliStoreTheSameForTheSameFile)
{
    EeBlock odd = makeDefaultImage();
    odd[field::powerOnLevel] = 54;
    odd[field::powerOnFade] = 0x07;
    odd[engine1Step(1) + 2] = 33;
    const std::filesystem::path file
        = std::filesystem::temp_directory_path() / ("ormid-remote-odd-" + std::to_string(::getpid()) + ".kdc");
    ASSERT_TRUE(writeFileAtomically(file, saveConfiguration(odd, "Odd")).ok());

    editMemory(makeDefaultImage(), true);
    dialogs_.fileName = QString::fromStdString(file.string());
    press("bLoad");
    ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front().toStdString();
    press("cbTxPOL");
    press("cbTxISDEngine");
    press("bMemStore");
    ASSERT_TRUE(dialogs_.messages.empty());
    const sim::StickState byWindow = model_->state();

    test::StickSetup stick = test::memoryStick(true).withMemory(1, makeDefaultImage(), "Lamp");
    sim::StickModel cliModel(stick.config, {}, stick.state);
    sim::VirtualClock clock;
    sim::VirtualWaiter waiter(clock);
    sim::SimTransport cliTransport(cliModel, clock);
    std::ostringstream out, err;
    ASSERT_EQ(runStickWrite(cliTransport, waiter, 1, file.string(), nullptr, out, err, Byte{0x09}), cliExit::success)
        << err.str();
    std::filesystem::remove(file);

    for (const std::uint16_t block : {dataBlockAddress(1), remoteBlockAddress(1)})
        EXPECT_EQ(sim::readStickBlock(cliModel.state(), block), sim::readStickBlock(byWindow, block)) << block;
    const Block cliControl = sim::readStickBlock(cliModel.state(), kControlBlockAddress);
    const Block windowControl = sim::readStickBlock(byWindow, kControlBlockAddress);
    EXPECT_TRUE(std::equal(cliControl.begin(), cliControl.begin() + 16, windowControl.begin())) << "M1's record";
    EXPECT_EQ(sim::readStickBlock(byWindow, dataBlockAddress(1))[2 + field::powerOnLevel], 55) << "54 % as 55 %";
}

} // namespace
} // namespace ormid
