// What every editor panel shares in the window: it opens at its own block, dims the
// others without taking their clicks, and locks them while it is open.

#include <gtest/gtest.h>

#include <QTest>

#include <vector>

#include "app/editor_fixture.h"
#include "core/image.h"

namespace ormid {
namespace {

class EditorPanelsTest : public test::EditorOnStick {
protected:
    void editDefault() { editMemory(makeDefaultImage()); }
};

// While a panel is open, every other block ignores the user.
TEST_F(EditorPanelsTest, AnOpenPanelLocksTheOtherBlocks)
{
    editDefault();
    press("iRelay");
    ASSERT_TRUE(shown("pRelay"));
    const EeBlock before = image();
    for (const char* other : {"iTen", "lMinLevel", "SW_Ten"})
        QTest::mouseClick(element(other), Qt::LeftButton); // under or beside the open panel
    EXPECT_FALSE(shown("pOutput"));
    EXPECT_EQ(image(), before);
    press("bRelay_Cancel");

    press("iTen");
    ASSERT_TRUE(shown("pOutput"));
    QTest::mouseClick(element("iRelay"), Qt::LeftButton);
    EXPECT_FALSE(shown("pRelay"));
    press("bOutput_Cancel");
    press("iRelay");
    EXPECT_TRUE(shown("pRelay")) << "unlocked again";
}

TEST_F(EditorPanelsTest, PanelsOpenAtTheirOwnBlocksOverDimmedBlocksThatClicksStillReach)
{
    const auto inWindow = [this](const char* name) {
        const QWidget* widget = element(name);
        return QRect(widget->mapTo(window_.get(), QPoint(0, 0)), widget->size());
    };
    const struct {
        const char* open;
        const char* panel;
        std::vector<const char*> elsewhere; // pictures of other blocks the panel leaves free
        const char* cancel;
    } panels[] = {
        {"iTen", "pOutput", {"iTDpc_en", "iTBlock_en", "iISD_en", "iISD1_en", "iMFF_en", "iTM"}, "bOutput_Cancel"},
        {"iRelay", "pRelay", {"iTM", "iTen", "iRemote_en"}, "bRelay_Cancel"},
    };
    editDefault();
    for (const auto& panel : panels) {
        SCOPED_TRACE(panel.panel);
        EXPECT_FALSE(shown("pLockShade"));
        press(panel.open);
        ASSERT_TRUE(shown(panel.panel));
        const QRect placed = inWindow(panel.panel);
        const QWidget* tile = element(panel.open)->parentWidget();
        EXPECT_TRUE(QRect(tile->mapTo(window_.get(), QPoint(0, 0)), tile->size()).contains(placed.topLeft()))
            << "the panel opens at its own block";
        for (const char* other : panel.elsewhere)
            EXPECT_FALSE(placed.intersects(inWindow(other))) << other;

        ASSERT_TRUE(shown("pLockShade"));
        for (const char* other : panel.elsewhere) {
            const QRect block = inWindow(other);
            EXPECT_TRUE(inWindow("pLockShade").contains(block)) << other << " is dimmed";
            EXPECT_NE(window_->childAt(block.center()), element("pLockShade"))
                << "a click on " << other << " goes to the block as before";
        }
        EXPECT_FALSE(inWindow("pLockShade").intersects(inWindow("bM1"))) << "the action bar stays bright";
        press(panel.cancel);
        EXPECT_FALSE(shown("pLockShade"));
    }
}

} // namespace
} // namespace ormid
