// The dimming engines' step tables: how rows show the steps, and what OK writes.

#include "core/dimming_engines.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "core/encodings.h"

namespace ormid {
namespace {

// Rows from (first, fade, level, off); the rows not given are free.
StepRows rowsOf(std::initializer_list<StepRowTexts> used)
{
    StepRows rows;
    rows.fill({"00:00:00", "0", "-", false});
    std::size_t k = 0;
    for (const StepRowTexts& row : used)
        rows[k++] = row;
    return rows;
}

std::vector<Byte> steps(const EeBlock& image, DimmingEngine engine)
{
    const StepBuffer buffer = loadSteps(image, engine);
    return {buffer.begin(), buffer.end()};
}

// The bytes of ten steps: the used ones given, the rest 0, 0, FF.
std::vector<Byte> stepBytes(std::initializer_list<std::array<Byte, 3>> used)
{
    std::vector<Byte> bytes;
    for (const auto& step : used)
        bytes.insert(bytes.end(), step.begin(), step.end());
    while (bytes.size() < field::stepCount * field::stepSize)
        bytes.insert(bytes.end(), {0, 0, kFreeLevel});
    return bytes;
}

TEST(Engine1Ok, KeepsTheStepsInTimeOrderAndRemovesTheFirstOutOfOrderWithAllAfterIt)
{
    const struct {
        const char* name;
        StepRows rows;
        std::vector<Byte> stored;
        bool removed;
    } cases[] = {
        {"22:00, 21:00, 23:00 keep step 1 only",
         rowsOf({{"22:00:00", "0", "50"}, {"21:00:00", "0", "30"}, {"23:00:00", "0", "20"}}),
         stepBytes({{0xE8, 0, 50}}), true},
        {"23:55 then 00:00 are in order", rowsOf({{"23:55:00", "0", "50"}, {"00:00:00", "0", "30"}}),
         stepBytes({{0xFF, 0, 50}, {0x00, 0, 30}}), false},
        {"00:00 then 23:55 are not", rowsOf({{"00:00:00", "0", "50"}, {"23:55:00", "0", "30"}}),
         stepBytes({{0x00, 0, 50}}), true},
        {"two steps at the same time: the second and later go",
         rowsOf({{"22:00:00", "0", "50"}, {"22:00:00", "0", "40"}, {"23:00:00", "0", "30"}}),
         stepBytes({{0xE8, 0, 50}}), true},
        {"15:00 to 09:00, relay off at level 40, fade 1,2 s per %",
         rowsOf({{"15:00:00", "01,200", "40", true}, {"09:00:00", "0", "100"}}),
         stepBytes({{0x94, 0x94, 0xA8}, {0x6C, 0, 100}}), false},
        {"a free row ends the table even with used texts after it",
         rowsOf({{"22:00:00", "0", "50"}, {"00:00:00", "0", "-"}, {"01:00:00", "0", "30"}}), stepBytes({{0xE8, 0, 50}}),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = makeDefaultImage();
        image[field::outputByte] = SetBit(image[field::outputByte], bit::isdEnable);
        EXPECT_EQ(applyEngine1(image, c.rows), c.removed);
        EXPECT_EQ(steps(image, DimmingEngine::engine1), c.stored);
        EXPECT_TRUE(TestBit(image[field::outputByte], bit::isdEnable)) << "step 1 is used";
    }
}

TEST(Engine1Ok, AFreeFirstStepFreesAllAndSwitchesTheIsdFunctionOff)
{
    EeBlock image = makeDefaultImage();
    image[field::outputByte] = 0xFF;
    const EeBlock before = image;
    EXPECT_FALSE(applyEngine1(image, rowsOf({{"22:00:00", "0", "-"}, {"23:00:00", "0", "50"}})));
    EXPECT_EQ(steps(image, DimmingEngine::engine1), stepBytes({}));
    EXPECT_EQ(image[field::outputByte], 0xFF & ~(1 << bit::isdEnable));
    for (std::size_t i = 0; i < image.size(); ++i) {
        const bool engine1 = i >= field::engine1Steps && i < field::engine1Steps + 30;
        if (i != field::outputByte && !engine1) {
            EXPECT_EQ(image[i], before[i]) << "byte " << i << " is not engine 1's";
        }
    }
}

TEST(Engine2Ok, AZeroDelayAfterStep1RemovesTheStepAndAllAfterIt)
{
    const struct {
        const char* name;
        StepRows rows;
        std::vector<Byte> stored;
    } cases[] = {
        {"step 1 may wait 0", rowsOf({{"0", "0", "50"}, {"00:00:30", "0", "20"}}),
         stepBytes({{0, 0, 50}, {30, 0, 20}})},
        {"a zero delay in step 2 removes steps 2..10",
         rowsOf({{"00:00:10", "0", "50"}, {"0", "0", "20"}, {"00:01:00", "0", "10"}}), stepBytes({{10, 0, 50}})},
        {"a 15-hour delay is code 252", rowsOf({{"15:00:00", "00,100", "30", true}}),
         stepBytes({{252, 0x4A, 30 + 0x80}})},
        {"delays finer than their code's unit are cut to it", rowsOf({{"00:01:05", "0", "50"}}),
         stepBytes({{static_cast<Byte>(encodeTimeCode(65)), 0, 50}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = makeDefaultImage();
        image[field::outputByte] = SetBit(image[field::outputByte], bit::lstEnable);
        applyEngine2(image, c.rows);
        EXPECT_EQ(steps(image, DimmingEngine::engine2), c.stored);
        EXPECT_TRUE(TestBit(image[field::outputByte], bit::lstEnable));
    }
}

TEST(Engine2Ok, AFreeFirstStepFreesAllAndSwitchesTheLstInputOff)
{
    EeBlock image = makeDefaultImage();
    image[field::outputByte] = 0xFF;
    applyEngine2(image, rowsOf({}));
    EXPECT_EQ(steps(image, DimmingEngine::engine2), stepBytes({}));
    EXPECT_EQ(image[field::outputByte], 0xFF & ~(1 << bit::lstEnable));
}

TEST(StepRows, RowsShowTheStepsAndFreeAUsedStepBelowAFreeOne)
{
    EeBlock image = makeDefaultImage();
    const std::vector<Byte> table = stepBytes({{0x80, 0x94, 0xA8}, {0x3C, 0, 0}, {0, 0, kFreeLevel}, {0x10, 0, 20}});
    std::copy(table.begin(), table.end(), image.begin() + field::engine1Steps);
    StepBuffer buffer = loadSteps(image, DimmingEngine::engine1);

    bool enabled = true;
    std::vector<StepRowView> views;
    for (int k = 1; k <= 4; ++k) {
        views.push_back(drawStepRow(DimmingEngine::engine1, buffer, k, enabled, false));
        enabled = views.back().used;
    }
    EXPECT_EQ(views[0].first, "00:00:00") << "0x80 shows midnight";
    EXPECT_EQ(views[0].fade, "01,200");
    EXPECT_EQ(views[0].level, "40");
    EXPECT_TRUE(views[0].off);
    EXPECT_EQ(views[1].first, "05:00:00");
    EXPECT_EQ(views[1].level, "0");
    EXPECT_FALSE(views[1].off) << "outside remote mode only bit 7 turns the relay off";
    EXPECT_FALSE(views[2].used);
    EXPECT_EQ(views[2].level, "-");
    EXPECT_FALSE(views[3].used) << "a used step below a free one is freed";
    EXPECT_EQ(views[3].level, "-");
    EXPECT_EQ(views[3].first, "00:00:00");
    EXPECT_EQ(std::vector<Byte>(buffer.begin() + 9, buffer.begin() + 12), (std::vector<Byte>{0, 0, kFreeLevel}));

    StepRows rows;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const StepRowView view = drawStepRow(DimmingEngine::engine1, buffer, static_cast<int>(k + 1), k < 2, false);
        rows[k] = {view.first, view.fade, view.level, view.off};
    }
    applyEngine1(image, rows);
    EXPECT_EQ(steps(image, DimmingEngine::engine1), stepBytes({{0x00, 0x94, 0xA8}, {0x3C, 0, 0}}))
        << "0x80 is written back as 0";
}

TEST(StepRows, AFreeStepKeepsAndShowsItsTimeAndFade)
{
    const struct {
        const char* name;
        DimmingEngine engine;
        std::size_t first;
        std::array<Byte, 3> step2;
        bool enabled; // whether row 2 is drawn below a used row 1
        const char* time;
        const char* fade;
        std::array<Byte, 3> kept;
    } cases[] = {
        {"engine 2, first free row",
         DimmingEngine::engine2,
         field::engine2Steps,
         {0x0A, 0x4A, kFreeLevel},
         true,
         "00:00:10",
         "00,100",
         {0x0A, 0x4A, kFreeLevel}},
        {"engine 2, free row below a free one",
         DimmingEngine::engine2,
         field::engine2Steps,
         {0x0A, 0x4A, kFreeLevel},
         false,
         "00:00:10",
         "00,100",
         {0x0A, 0x4A, kFreeLevel}},
        {"engine 1, first free row",
         DimmingEngine::engine1,
         field::engine1Steps,
         {0xE8, 0x4A, kFreeLevel},
         true,
         "22:00:00",
         "00,100",
         {0xE8, 0x4A, kFreeLevel}},
        {"a used step below a free one is freed",
         DimmingEngine::engine2,
         field::engine2Steps,
         {0x0A, 0x4A, 40},
         false,
         "0",
         "0",
         {0, 0, kFreeLevel}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = makeDefaultImage();
        std::copy(c.step2.begin(), c.step2.end(), image.begin() + static_cast<std::ptrdiff_t>(c.first + 3));
        StepBuffer buffer = loadSteps(image, c.engine);
        const StepRowView view = drawStepRow(c.engine, buffer, 2, c.enabled, false);
        EXPECT_FALSE(view.used);
        EXPECT_EQ(view.first, c.time);
        EXPECT_EQ(view.fade, c.fade);
        EXPECT_EQ(view.level, "-");
        EXPECT_EQ(std::vector<Byte>(buffer.begin() + 3, buffer.begin() + 6),
                  std::vector<Byte>(c.kept.begin(), c.kept.end()));
    }
}

TEST(StepRows, InRemoteModeEngine1ShowsLevel0AsRelayOffAndEngine2KeepsBit7)
{
    EeBlock image = makeDefaultImage();
    image[engine1Step(1) + 2] = 0;
    image[engine2Step(1) + 2] = 0;
    StepBuffer engine1 = loadSteps(image, DimmingEngine::engine1);
    StepBuffer engine2 = loadSteps(image, DimmingEngine::engine2);
    EXPECT_TRUE(drawStepRow(DimmingEngine::engine1, engine1, 1, true, true).off);
    EXPECT_FALSE(drawStepRow(DimmingEngine::engine2, engine2, 1, true, true).off);
    EXPECT_FALSE(drawStepRow(DimmingEngine::engine1, engine1, 1, true, false).off);
}

TEST(StepRows, Engine2ShowsDelaysAndA15HourDelayComesBack)
{
    EeBlock image = makeDefaultImage();
    image[engine2Step(1)] = 252;
    StepBuffer buffer = loadSteps(image, DimmingEngine::engine2);
    EXPECT_EQ(drawStepRow(DimmingEngine::engine2, buffer, 1, true, false).first, "15:00:00");
    EXPECT_EQ(drawStepRow(DimmingEngine::engine2, buffer, 2, true, false).first, "0");
}

} // namespace
} // namespace ormid
