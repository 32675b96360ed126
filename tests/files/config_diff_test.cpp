#include "files/config_diff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/encodings.h"
#include "core/image.h"
#include "core/thermal_block.h"

namespace ormid {
namespace {

TEST(ConfigDiff, EqualConfigurationsHaveNoChanges)
{
    const EeBlock image = makeDefaultImage();
    EXPECT_TRUE(diffConfigurations(image, "Street", image, "Street").empty());
}

TEST(ConfigDiff, ChangesAreSaidInTheReportsWordsSectionBySection)
{
    const EeBlock before = makeDefaultImage();
    const struct {
        const char* name;
        void (*change)(EeBlock& image);
        std::vector<std::string> lines;
    } cases[] = {
        {"power-on delay",
         [](EeBlock& i) { i[field::powerOnDelay] = static_cast<Byte>(encodeTimeCode(90)); },
         {"Power On: Delay= Random \u2192 Delay= 00:01:30"}},
        {"minimum level and power-on level, in report order",
         [](EeBlock& i) {
             i[field::powerOnLevel] = 80;
             i[field::minLevel] = 10;
         },
         {"Output: Min. level= 0% \u2192 Min. level= 10%", "Power On: Level= 100 % \u2192 Level= 80 %"}},
        {"an engine step gone from the table: the whole row",
         [](EeBlock& i) { i[engine1Step(2) + 2] = kFreeLevel; },
         {"ISD: 05:00:00  0  100  ON \u2192 (none)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock after = before;
        c.change(after);
        std::string expected;
        for (const std::string& line : c.lines)
            expected += line + "\n";
        EXPECT_EQ(formatConfigChanges(diffConfigurations(before, "", after, "")), expected);
    }
}

TEST(ConfigDiff, BytesTheReportDoesNotShowAppearAsBytesAndTheInfoTextAsInfo)
{
    const EeBlock before = makeDefaultImage();
    EeBlock after = before;
    after[80] = 0x12; // an astro-clock byte: no report text
    after[field::minLevel] = 10;
    const std::vector<ConfigChange> changes = diffConfigurations(before, "Old", after, "New");
    EXPECT_EQ(changes,
              (std::vector<ConfigChange>{{"Output:", "Min. level= 0%", "Min. level= 10%"},
                                         {"Info:", "Old", "New"},
                                         {"Byte 0x50 (80):", "0x00", "0x12"}}));
}

// Which bytes count as unshown does not depend on the order: thermal management off
// shows no thresholds, on shows them, so they are no unshown bytes either way.
TEST(ConfigDiff, TheUnshownBytesAreTheSameInBothDirections)
{
    EeBlock off = makeDefaultImage();
    off[80] = 0x34;
    EeBlock on = off;
    on[80] = 0x12;
    applyThermal(on, {{"70", "60", "50"}, {"80", "60", "40"}, false});
    ASSERT_TRUE(thermalOn(on));
    const auto unshownBytes = [](const std::vector<ConfigChange>& changes) {
        std::vector<std::string> labels;
        for (const ConfigChange& change : changes)
            if (change.label.starts_with("Byte "))
                labels.push_back(change.label);
        return labels;
    };
    const std::vector<std::string> forward = unshownBytes(diffConfigurations(off, "", on, ""));
    EXPECT_EQ(forward, std::vector<std::string>{"Byte 0x50 (80):"});
    EXPECT_EQ(unshownBytes(diffConfigurations(on, "", off, "")), forward);
}

TEST(ConfigDiff, OnlyTheStoredBytesCount)
{
    EeBlock before = makeDefaultImage();
    EeBlock after = before;
    after[kStoredImageBytes] = 0x77; // beyond byte 95: not part of a configuration
    EXPECT_TRUE(diffConfigurations(before, "", after, "").empty());
}

} // namespace
} // namespace ormid
