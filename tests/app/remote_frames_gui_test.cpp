// The remote layout's Tx boxes in the window: the duration estimate follows every click
// and every change of the image, and Transfer stores the frames they choose with the
// memory and its status byte.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPlainTextEdit>

#include <algorithm>

#include "app/window_fixture.h"
#include "core/remote_frames.h"
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
    EXPECT_EQ(duration(), estimate(durationText(txDuration(image(), 0x0C)).c_str()));
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
    const std::vector<Byte> frames = generateRemote(written, 0x09);
    ASSERT_EQ(frames.size(), 3u + 9u) << "power-on, two steps and the end frame";
    const Block stored = sim::readStickBlock(model_->state(), remoteBlockAddress(1));
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), stored.begin()));
    EXPECT_EQ(stored, *buildRemoteFrameBlock(frames));
}

} // namespace
} // namespace ormid
