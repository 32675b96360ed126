#pragma once
// The step tables of the two dimming engines: engine 1 (bytes 38..67, times of day,
// part of the ISD function) and engine 2 (bytes 8..37, delays after an LSt event). How
// a row of the editor shows a step, and what the editor's OK writes from its rows.
// Used steps run from step 1 without gaps; every step after the first free one is
// 0, 0, FF.

#include <array>
#include <string>
#include <vector>

#include "core/image.h"

namespace ormid {

enum class DimmingEngine { engine1, engine2 };

// `stepBuffer`: the editor's copy of its engine's 30 bytes.
using StepBuffer = std::array<Byte, field::stepCount * field::stepSize>;
StepBuffer loadSteps(const EeBlock& image, DimmingEngine engine);

// A used step in numbers.
struct EngineStep {
    int when;      // engine 1: minutes from midnight (negative before); engine 2: seconds after the previous step
    int fadeMs;    // milliseconds per percent; 0 = at once
    int level;     // percent
    bool relayOff; // bit 7 of the level byte
};
// The used steps, from step 1 up to the first free one.
std::vector<EngineStep> usedSteps(const EeBlock& image, DimmingEngine engine);

// What a step row of an engine panel shows.
struct StepRowView {
    bool used;         // light green, level and relay shown, delete box shown
    std::string first; // engine 1: the time of day; engine 2: the delay
    std::string fade;
    std::string level; // "-" for a free step
    bool off;          // "Off" selected; meaningful for used rows only
};

// Draws row k (1..10). A used step below a free one (`enabled` false) is freed in the
// buffer; a free step keeps its bytes, and every row shows its time and fade from the
// buffer. The row may be used, and the next row enabled, exactly when view.used.
StepRowView drawStepRow(DimmingEngine engine, StepBuffer& buffer, int k, bool enabled, bool remoteMode);

// What the rows show when OK is clicked.
struct StepRowTexts {
    std::string first;
    std::string fade;
    std::string level;
    bool off = false;
};
using StepRows = std::array<StepRowTexts, field::stepCount>;

// Engine-1 OK: the steps into bytes 38..67. A step whose time is not later than its
// predecessor's is removed with every step after it; returns whether any was. A free
// step 1 switches the ISD function off (byte 0 bit 2).
bool applyEngine1(EeBlock& image, const StepRows& rows);

// Engine-2 OK: the steps into bytes 8..37. A zero delay after step 1 removes that step
// and every step after it. A free step 1 switches the LSt input off (byte 0 bit 3).
void applyEngine2(EeBlock& image, const StepRows& rows);

} // namespace ormid
