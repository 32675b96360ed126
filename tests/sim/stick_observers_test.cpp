#include "sim/stick_observers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/remote_frames.h"
#include "link/control_block.h"
#include "link/stick_frames.h"
#include "sim/bridge_server.h"
#include "sim/state_file.h"
#include "temp_folder.h"

namespace ormid::sim {
namespace {

namespace fs = std::filesystem;

// A USB Stick mode model whose device memory a Write Memory frame changes.
StickModel usbModel()
{
    return StickModel(StickConfig{.mode = StickMode::usb}, {}, {});
}

// A Write Memory frame for bytes 0..24 of an image of 0x42 bytes.
std::vector<Byte> writeMemoryFrame()
{
    const EeBlock image(kDeviceMemorySize, 0x42);
    return buildLinkFrame(writeMemoryCommand(0, image)->bytes, 64).report;
}

class StateFileKeeperTest : public test::TempFolderTest {
protected:
    std::ostringstream err_;
};

TEST_F(StateFileKeeperTest, TheFileHoldsTheStateAtOnceAndAfterEveryChange)
{
    StickModel model = usbModel();
    StateFileKeeper keeper(folder_ / "stick.state", err_);
    ASSERT_TRUE(keeper.keep(model)) << err_.str();
    EXPECT_EQ(loadStickState(folder_ / "stick.state").state, model.state());

    model.receive(writeMemoryFrame(), 0);
    ASSERT_EQ(model.state().deviceMemory[0], 0x42) << "the frame changed the device memory";
    EXPECT_EQ(loadStickState(folder_ / "stick.state").state, model.state());
    EXPECT_TRUE(keeper.allSaved());
    EXPECT_EQ(err_.str(), "");
}

TEST_F(StateFileKeeperTest, AFailedSaveIsSaidAndRemembered)
{
    StickModel model = usbModel();
    StateFileKeeper missingFolder(folder_ / "missing" / "stick.state", err_);
    EXPECT_FALSE(missingFolder.keep(model));
    EXPECT_TRUE(err_.str().starts_with("ormid-stick-sim: ")) << err_.str();

    err_.str("");
    StateFileKeeper keeper(folder_ / "stick.state", err_);
    ASSERT_TRUE(keeper.keep(model)) << err_.str();
    fs::remove(folder_ / "stick.state");
    fs::create_directory(folder_ / "stick.state"); // a folder where the file was: the next save fails
    model.receive(writeMemoryFrame(), 0);
    EXPECT_FALSE(keeper.allSaved());
    EXPECT_TRUE(err_.str().ends_with("; the stick's state is not saved\n")) << err_.str();
}

TEST(StickTraffic, EveryReportIsLoggedOnALineOfItsOwn)
{
    StickModel model = usbModel();
    std::ostringstream out;
    logStickTraffic(model, out);
    const std::vector<Byte> frame = writeMemoryFrame();
    model.receive(frame, 0);
    const std::optional<std::vector<Byte>> answer = model.takeInput(1000);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(out.str(), reportLogLine(Direction::in, frame) + '\n' + reportLogLine(Direction::out, *answer) + '\n');
}

TEST(RemoteFramesText, NamesTheMemoryAndEachFrameOfARemoteBlock)
{
    EeBlock image = makeDefaultImage();
    const std::vector<Byte> frames = encodeRemoteFrames(image, 0x3F);
    ASSERT_FALSE(frames.empty());
    Block block{};
    block.fill(0);
    std::copy(frames.begin(), frames.end(), block.begin());

    std::string expected = "M3 remote frames:\n";
    for (const RemoteFrame& frame : decodeRemoteFrames(block))
        expected += "  " + describeFrame(frame) + '\n';
    EXPECT_EQ(remoteFramesText(remoteBlockAddress(3), block), expected);
    EXPECT_EQ(remoteFramesText(dataBlockAddress(3), block), "") << "no remote memory's block";
    EXPECT_EQ(remoteFramesText(kControlBlockAddress, block), "");
}

} // namespace
} // namespace ormid::sim
