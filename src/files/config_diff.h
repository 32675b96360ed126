#pragma once
// Two configurations compared in the report's words: what a section says differently,
// and the bytes whose difference the report does not show.

#include <string>
#include <string_view>
#include <vector>

#include "core/image.h"

namespace ormid {

// One difference: "Power On: Delay= Random → Delay= 00:01:30", "Info: Old → New" or
// "Byte 0x4C (76): 0x00 → 0x12".
struct ConfigChange {
    std::string label; // the report's section label ("Power On:"), "Info:" or "Byte 0x4C (76):"
    std::string before;
    std::string after;
    bool operator==(const ConfigChange&) const = default;
};

// The differences of bytes 0..95 and the info texts, section by section in report
// order, then the info text, then the bytes neither report shows (taken over alone
// into either configuration, the byte alters no report text).
std::vector<ConfigChange> diffConfigurations(const EeBlock& before, std::string_view infoBefore, const EeBlock& after,
                                             std::string_view infoAfter);

// "label before → after", one change a line.
std::string formatConfigChanges(const std::vector<ConfigChange>& changes);

} // namespace ormid
