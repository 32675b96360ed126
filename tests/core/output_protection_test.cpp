// The image rules of power-on, the block timer and thermal management.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/block_timer_block.h"
#include "core/encodings.h"
#include "core/power_on_block.h"
#include "core/thermal_block.h"

namespace ormid {
namespace {

std::vector<Byte> thermalBytes(const EeBlock& image)
{
    return {image.begin() + field::tmT1, image.begin() + field::tmReserved + 1};
}

EeBlock thermalImage(bool on, std::vector<Byte> bytes89to95)
{
    EeBlock image = makeDefaultImage();
    image[field::outputByte] = on ? SetBit(image[0], bit::tmEnable) : ClearBit(image[0], bit::tmEnable);
    std::copy(bytes89to95.begin(), bytes89to95.end(), image.begin() + field::tmT1);
    return image;
}

TEST(ThermalOpening, RepairsInvalidThresholdsAndShowsWhatIsLeft)
{
    const struct {
        const char* name;
        bool on;
        std::vector<Byte> stored;
        std::vector<Byte> after;
        ThermalFields fields;
    } cases[] = {
        {"off with nothing set", false, {0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0xFF}, {}},
        {"off keeps its thresholds for switching on again",
         false,
         {70, 40, 50, 20, 0, 0, 0xFF},
         {70, 40, 50, 20, 0, 0, 0xFF},
         {{"70", "50", ""}, {"40", "20", ""}, false}},
        {"T1 = 90 empties everything", true, {90, 40, 50, 20, 40, 10, 0}, {0, 0, 0, 0, 0, 0, 0xFF}, {}},
        {"T2 = 20 opens empty and clears T2 and T3",
         true,
         {70, 40, 20, 20, 10, 5, 0xFF},
         {70, 40, 0, 0, 0, 0, 0xFF},
         {{"70", "", ""}, {"40", "", ""}, false}},
        {"relay off shows level 0 with Off",
         true,
         {60, 0xA8, 0, 0, 0, 0, 0xFF},
         {60, 0xA8, 0, 0, 0, 0, 0xFF},
         {{"60", "", ""}, {"0", "", ""}, true}},
        {"a level above 100 shows 100",
         true,
         {60, 120, 50, 110, 40, 30, 0xFF},
         {60, 120, 50, 110, 40, 30, 0xFF},
         {{"60", "50", "40"}, {"100", "100", "30"}, false}},
        {"T1 = 30 opens as 30",
         true,
         {30, 10, 0, 0, 0, 0, 0xFF},
         {30, 10, 0, 0, 0, 0, 0xFF},
         {{"30", "", ""}, {"10", "", ""}, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = thermalImage(c.on, c.stored);
        const ThermalFields fields = openThermal(image);
        EXPECT_EQ(thermalBytes(image), c.after);
        EXPECT_EQ(fields.threshold, c.fields.threshold);
        EXPECT_EQ(fields.level, c.fields.level);
        EXPECT_EQ(fields.relayOff, c.fields.relayOff);
        EXPECT_EQ(thermalOn(image), c.on) << "opening does not switch";
    }
}

TEST(ThermalOk, WritesThePresentThresholdsAndSwitchesByT1)
{
    const struct {
        const char* name;
        ThermalFields fields;
        std::vector<Byte> after;
        bool on;
    } cases[] = {
        {"T1 70 with L1 untouched", {{"70", "", ""}, {"", "", ""}, false}, {70, 0, 0, 0, 0, 0, 0xFF}, true},
        {"Off with L1 40", {{"60", "", ""}, {"40", "", ""}, true}, {60, 0xA8, 0, 0, 0, 0, 0xFF}, true},
        {"all three", {{"70", "60", "50"}, {"80", "50", "20"}, false}, {70, 80, 60, 50, 50, 20, 0xFF}, true},
        {"T3 without T2 is dropped", {{"70", "", "50"}, {"80", "50", "20"}, false}, {70, 80, 0, 0, 0, 0, 0xFF}, true},
        {"no T1 switches off", {{"", "60", ""}, {"10", "50", ""}, false}, {0, 0, 0, 0, 0, 0, 0xFF}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = thermalImage(!c.on, {9, 9, 9, 9, 9, 9, 9});
        applyThermal(image, c.fields);
        EXPECT_EQ(thermalBytes(image), c.after);
        EXPECT_EQ(thermalOn(image), c.on);
    }
}

TEST(ThermalOk, StoresTheThresholdsInDescendingOrder)
{
    const struct {
        const char* name;
        std::array<std::string, 3> thresholds;
        std::array<std::string, 3> repaired;
        std::vector<Byte> after;
    } cases[] = {
        {"in order: nothing to repair", {"70", "69", "68"}, {"70", "69", "68"}, {70, 10, 69, 20, 68, 30, 0xFF}},
        {"T1 moved down below both", {"50", "69", "68"}, {"50", "49", "48"}, {50, 10, 49, 20, 48, 30, 0xFF}},
        {"T2 equal to T1", {"60", "60", "40"}, {"60", "59", "40"}, {60, 10, 59, 20, 40, 30, 0xFF}},
        {"only T3 above T2", {"70", "50", "55"}, {"70", "50", "49"}, {70, 10, 50, 20, 49, 30, 0xFF}},
        {"T2 has no room below T1 = 31: T2 and T3 go", {"31", "40", "35"}, {"31", "", ""}, {31, 10, 0, 0, 0, 0, 0xFF}},
        {"T3 has no room below T2 = 31", {"60", "31", "45"}, {"60", "31", ""}, {60, 10, 31, 20, 0, 0, 0xFF}},
        {"T3 under a missing T2 is not a repair", {"60", "", "70"}, {"60", "", "70"}, {60, 10, 0, 0, 0, 0, 0xFF}},
        {"no T1: off, nothing repaired", {"", "60", "70"}, {"", "60", "70"}, {0, 0, 0, 0, 0, 0, 0xFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ThermalFields fields{c.thresholds, {"10", "20", "30"}, false};
        const bool repairs = c.repaired != c.thresholds;
        ThermalFields repaired = fields;
        EXPECT_EQ(repairThresholdOrder(repaired), repairs);
        EXPECT_EQ(repaired.threshold, c.repaired);
        EXPECT_EQ(repaired.level, fields.level) << "levels stay with their rows";

        EeBlock image = thermalImage(false, {0, 0, 0, 0, 0, 0, 0});
        EXPECT_EQ(applyThermal(image, fields), repairs);
        EXPECT_EQ(thermalBytes(image), c.after);
    }
}

TEST(ThermalSwitch, TheOnSwitchClearsOnlyBit7)
{
    EeBlock image = thermalImage(true, {70, 40, 50, 20, 0, 0, 0xFF});
    const EeBlock before = image;
    switchThermalOff(image);
    EXPECT_FALSE(thermalOn(image));
    image[0] = SetBit(image[0], bit::tmEnable);
    EXPECT_EQ(image, before);
}

TEST(ThermalSlider, ThresholdsStartAt31AndStayBelowTheOneAbove)
{
    EXPECT_EQ(thermalOpening(2, "30").text, "") << "30 is not set";
    EXPECT_EQ(thermalOpening(2, "30").position, 30);
    EXPECT_EQ(thermalOpening(3, "55").text, "55");
    EXPECT_EQ(thermalOpening(3, "55").position, 55);
    EXPECT_EQ(thermalOpening(5, "").text, "0");
    EXPECT_EQ(thermalOpening(5, "").maximum, 100);

    EXPECT_EQ(thermalUpperBound(3, "60"), 59);
    EXPECT_EQ(thermalUpperBound(4, "45"), 44);
    EXPECT_EQ(thermalUpperBound(3, ""), std::nullopt);
    EXPECT_EQ(thermalUpperBound(2, "60"), std::nullopt);

    EXPECT_EQ(thermalSliderText(2, 31, ""), "31");
    EXPECT_EQ(thermalSliderText(2, 30, ""), "");
    EXPECT_EQ(thermalSliderText(3, 40, ""), std::nullopt) << "no T2 without T1";
    EXPECT_EQ(thermalSliderText(3, 30, ""), "");
    EXPECT_EQ(thermalSliderText(3, 40, "60"), "40");
    EXPECT_EQ(thermalSliderText(7, 0, ""), "0");
}

TEST(PowerOn, OpensFromTheImage)
{
    const EeBlock defaults = makeDefaultImage();
    const PowerOnFields fields = readPowerOn(defaults);
    EXPECT_EQ(fields.delay, "Random");
    EXPECT_EQ(fields.level, "100");
    EXPECT_FALSE(fields.dpc);
    EXPECT_TRUE(dpcAvailable(fields.delay));
    EXPECT_FALSE(dpcAvailable("0"));

    EeBlock zeroDelay = defaults;
    zeroDelay[field::powerOnDelay] = 0;
    zeroDelay[field::optionByte] = SetBit(zeroDelay[field::optionByte], bit::dpcEnable);
    EXPECT_FALSE(readPowerOn(zeroDelay).dpc) << "no DPC without a delay";
}

TEST(PowerOn, RandomWritesTheDelayAtOnce)
{
    EeBlock image = makeDefaultImage();
    EXPECT_EQ(setRandomDelay(image, false), "0");
    EXPECT_EQ(image[field::powerOnDelay], 0);
    image[field::powerOnDelay] = 90;
    EXPECT_EQ(setRandomDelay(image, false), std::nullopt) << "a delay that is not Random stays";
    EXPECT_EQ(image[field::powerOnDelay], 90);
    EXPECT_EQ(setRandomDelay(image, true), "Random");
    EXPECT_EQ(image[field::powerOnDelay], kRandomDelay);
}

TEST(PowerOn, OkStoresLevelDelayFadeAndDpc)
{
    const struct {
        const char* name;
        PowerOnFields fields;
        bool remote;
        Byte level, delay, fade;
        bool dpc;
    } cases[] = {
        {"90 s", {"00:01:30", "0", "80", true}, false, 80, static_cast<Byte>(encodeTimeCode(90)), 0, true},
        {"Random", {"Random", "01,200", "100", false}, false, 100, kRandomDelay, 0x94, false},
        {"remote fade rate", {"0", "00,600", "55", false}, true, 55, 0, 0x7C, false},
        {"remote fade off the rates takes the last", {"0", "00,650", "50", false}, true, 50, 0, 0xE8, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = makeDefaultImage();
        applyPowerOn(image, c.fields, c.remote);
        EXPECT_EQ(image[field::powerOnLevel], c.level);
        EXPECT_EQ(image[field::powerOnDelay], c.delay);
        EXPECT_EQ(image[field::powerOnFade], c.fade);
        EXPECT_EQ(TestBit(image[field::optionByte], bit::dpcEnable), c.dpc);
    }
}

TEST(BlockTimer, PeriodsAreFiveSecondUnits)
{
    EXPECT_EQ(blockTimeText(12), "00:01:00");
    EXPECT_EQ(blockTimeText(255), "00:21:15");
    EXPECT_EQ(blockTimeText(0), "0");
    EXPECT_EQ(blockTimePosition("00:01:04"), 12);
    EXPECT_EQ(blockTimePosition("0"), 0);
    EeBlock image = makeDefaultImage();
    applyBlockTime(image, "00:21:15");
    EXPECT_EQ(image[field::blockTime], 255);
    EXPECT_TRUE(blockTimerOn(image));
    switchBlockTimerOff(image);
    EXPECT_EQ(image[field::blockTime], 0);
    EXPECT_FALSE(blockTimerOn(image));
}

} // namespace
} // namespace ormid
