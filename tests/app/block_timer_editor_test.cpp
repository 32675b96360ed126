// The block timer in the window: switched on through its panel, the time set with the
// slider strip from the keyboard, switched off at once.

#include <gtest/gtest.h>

#include <QTest>

#include "app/editor_fixture.h"
#include "core/image.h"

namespace ormid {
namespace {

class BlockTimerEditorTest : public test::EditorOnStick {};

TEST_F(BlockTimerEditorTest, BlockTimerSwitchesOnThroughItsPanelAndOffAtOnce)
{
    editMemory(makeDefaultImage());
    press("sw_block_open");
    ASSERT_TRUE(shown("pBlockTime"));
    press("bTBlockCancel");
    EXPECT_EQ(image()[field::blockTime], 0);
    EXPECT_TRUE(shown("sw_block_open")) << "cancelled, the block is off again";
    EXPECT_FALSE(shown("lBlock"));

    press("sw_block_open");
    press("eBlockTime");
    keys("sbBlockTime", Qt::Key_End);
    EXPECT_EQ(text("eBlockTime"), "00:21:15");
    keys("sbBlockTime", Qt::Key_Home);
    keys("sbBlockTime", Qt::Key_Right, 12);
    EXPECT_EQ(text("eBlockTime"), "00:01:00");
    press("bTBlockOK");
    EXPECT_EQ(image()[field::blockTime], 12);
    EXPECT_TRUE(shown("lBlock"));
    EXPECT_EQ(label("lBlock"), "00:01:00");

    press("SW_block_close");
    EXPECT_EQ(image()[field::blockTime], 0);
    EXPECT_FALSE(shown("lBlock"));
    EXPECT_FALSE(shown("pBlockTime"));
}

} // namespace
} // namespace ormid
