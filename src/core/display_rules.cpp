#include "core/display_rules.h"

#include "core/encodings.h"

namespace ormid {

namespace {

// The engine whose first step decides whether a function of byte 0 stays on.
struct EngineSwitch {
    std::size_t firstLevel;
    Byte enableBit;
};

constexpr EngineSwitch kEngineSwitches[] = {
    {engine2Step(1) + 2, bit::lstEnable},
    {engine1Step(1) + 2, bit::isdEnable},
};

} // namespace

void normaliseForRemote(EeBlock& image)
{
    const auto snapFade = [](Byte& code) { code = fadeCodes[nearestFadeRate(code)]; };
    image[field::powerOnLevel] = levelInFiveSteps(image[field::powerOnLevel]);
    snapFade(image[field::powerOnFade]);
    for (std::size_t k = 1; k <= field::stepCount; ++k) {
        for (const std::size_t step : {engine2Step(k), engine1Step(k)}) {
            snapFade(image[step + 1]);
            image[step + 2] = levelInFiveSteps(image[step + 2]);
        }
    }
}

void applyDisplayRules(EeBlock& image, bool remoteLayout)
{
    if (image.size() < kStoredImageBytes)
        return;
    for (const EngineSwitch& engine : kEngineSwitches) {
        if (image[engine.firstLevel] == kFreeLevel)
            image[field::outputByte] = ClearBit(image[field::outputByte], engine.enableBit);
    }
    if (remoteLayout)
        normaliseForRemote(image);
}

} // namespace ormid
