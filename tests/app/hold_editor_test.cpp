// The hold timer in the window: set with the range selector and the slider strip,
// confirmed, cancelled and turned off with zero or its switch.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QSlider>
#include <QTest>

#include "app/editor_fixture.h"
#include "core/encodings.h"
#include "core/image.h"

namespace ormid {
namespace {

class HoldEditorTest : public test::EditorOnStick {};

TEST_F(HoldEditorTest, HoldTimerSetConfirmedCancelledAndTurnedOffWithZero)
{
    editMemory(makeDefaultImage());
    EXPECT_EQ(holdBlock(), "HOLD_dis/sw_hold_off");
    EXPECT_FALSE(shown("lHold"));

    press("sw_hold_off");
    ASSERT_TRUE(shown("pTHold"));
    EXPECT_TRUE(run().formDisabled);
    EXPECT_EQ(text("eHoldTime"), "0");
    press("bTHoldCancel");
    EXPECT_EQ(holdBlock(), "HOLD_dis/sw_hold_off") << "switched on and cancelled: off again";
    EXPECT_EQ(image()[field::holdTime], 0);

    press("sw_hold_off");
    press("eHoldTime");
    ASSERT_TRUE(shown("pHoldTime"));
    const auto* range = element<QComboBox>("combHold");
    EXPECT_EQ(range->currentText(), "->00:01:00");
    keys("combHold", Qt::Key_Down);
    EXPECT_EQ(range->currentText(), "->00:10:00");
    keys("sbHold", Qt::Key_Right, 9);
    EXPECT_EQ(text("eHoldTime"), "00:01:30");
    press("bTHoldOK");
    EXPECT_FALSE(shown("pTHold"));
    EXPECT_EQ(image()[field::holdTime], encodeTimeCode(90));
    EXPECT_EQ(holdBlock(), "iTHold_en/sw_hold_on");
    ASSERT_TRUE(shown("lHold"));
    EXPECT_EQ(element<QLabel>("lHold")->text(), "00:01:30");

    press("lHold");
    EXPECT_EQ(text("eHoldTime"), "00:01:30");
    press("eHoldTime");
    EXPECT_EQ(element<QSlider>("sbHold")->value(), 9);
    keys("sbHold", Qt::Key_Right, 5);
    EXPECT_EQ(text("eHoldTime"), "00:02:20");
    press("bTHoldCancel");
    EXPECT_EQ(image()[field::holdTime], encodeTimeCode(90));
    EXPECT_EQ(element<QLabel>("lHold")->text(), "00:01:30");

    press("iTHold_en");
    press("eHoldTime");
    keys("sbHold", Qt::Key_Home);
    EXPECT_EQ(text("eHoldTime"), "0");
    press("bTHoldOK");
    EXPECT_EQ(image()[field::holdTime], 0);
    EXPECT_EQ(holdBlock(), "HOLD_dis/sw_hold_off");
    EXPECT_FALSE(shown("lHold"));

    press("sw_hold_off");
    press("eHoldTime");
    keys("sbHold", Qt::Key_Right, 10);
    press("bTHoldOK");
    ASSERT_EQ(image()[field::holdTime], 10);
    press("sw_hold_on");
    EXPECT_EQ(image()[field::holdTime], 0) << "the on switch turns the timer off";
    EXPECT_EQ(holdBlock(), "HOLD_dis/sw_hold_off");
}

} // namespace
} // namespace ormid
