// The slider strip of every editor that has one: it comes under the fields without
// moving or squashing them.

#include <gtest/gtest.h>

#include <QTest>

#include <vector>

#include "app/editor_fixture.h"
#include "core/image.h"

namespace ormid {
namespace {

class SliderStripTest : public test::EditorOnStick {};

// Where each of the panel's fields is in the window.
std::vector<QRect> placesOf(const QWidget& window, const std::vector<QWidget*>& fields)
{
    std::vector<QRect> rects;
    for (const QWidget* field : fields)
        rects.emplace_back(field->mapTo(&window, QPoint(0, 0)), field->size());
    return rects;
}

TEST_F(SliderStripTest, FieldsKeepTheirSizeAndPlaceWhenTheSliderStripComes)
{
    const struct {
        const char* open;
        std::vector<const char*> fields;
        const char* clicked;
        const char* strip;
        const char* cancel;
    } panels[] = {
        {"iTDpc_en", {"ePORelayDelay", "ePOFade", "ePOLevel", "cbEnableDPC"}, "ePOLevel", "pPOSlider", "bDPC_Cancel"},
        {"sw_mff_off",
         {"eLifeTime", "eReduction", "eL3", "eBurnIn", "cbresetOH"},
         "eLifeTime",
         "pMFFSlider",
         "bMFFCancel"},
        {"sw_tm_off", {"eOutput_T1", "eOutput_L3", "cbOutput_Off"}, "eOutput_T1", "pThermo", "bTMCancel"},
        {"sw_block_open", {"eBlockTime"}, "eBlockTime", "pBTSlider", "bTBlockCancel"},
    };
    editMemory(makeDefaultImage());
    for (const auto& panel : panels) {
        SCOPED_TRACE(panel.open);
        press(panel.open);
        std::vector<QWidget*> fields;
        for (const char* name : panel.fields)
            fields.push_back(element(name));
        const std::vector<QRect> before = placesOf(*window_, fields);
        press(panel.clicked);
        ASSERT_TRUE(shown(panel.strip));
        EXPECT_EQ(placesOf(*window_, fields), before);
        for (const QWidget* field : fields)
            EXPECT_GE(field->height(), field->sizeHint().height()) << field->objectName().toStdString() << " squashed";
        press(panel.cancel);
    }
}

} // namespace
} // namespace ormid
