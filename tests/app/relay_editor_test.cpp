// The relay editor in the window: it shows the stored zero-cross switching and writes
// bit 0 of byte 88 on OK only.

#include <gtest/gtest.h>

#include <QCheckBox>

#include "app/editor_fixture.h"
#include "core/image.h"

namespace ormid {
namespace {

class RelayEditorTest : public test::EditorOnStick {};

TEST_F(RelayEditorTest, TheRelayPanelWritesBit0OfByte88Only)
{
    EeBlock memory = makeDefaultImage();
    memory[field::relayByte] = 0x03;
    editMemory(memory);
    press("iRelay");
    ASSERT_TRUE(shown("pRelay"));
    EXPECT_TRUE(run().formDisabled);
    EXPECT_TRUE(element<QCheckBox>("cbZCSwitch")->isChecked());
    press("cbZCSwitch");
    press("bRelay_Cancel");
    EXPECT_EQ(image()[field::relayByte], 0x03) << "Cancel writes nothing";
    EXPECT_FALSE(run().formDisabled);

    press("iRelay");
    EXPECT_TRUE(element<QCheckBox>("cbZCSwitch")->isChecked()) << "it shows what is stored";
    press("cbZCSwitch");
    press("bRelay_OK");
    EXPECT_EQ(image()[field::relayByte], 0x02);
    EXPECT_FALSE(shown("pRelay"));
    EXPECT_FALSE(run().formDisabled);
}

} // namespace
} // namespace ormid
