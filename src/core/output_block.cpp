#include "core/output_block.h"

#include <algorithm>
#include <iterator>

#include "core/encodings.h"

namespace ormid {

namespace {

struct KindBits {
    OutputKind kind;
    bool dali;    // byte 0 bit 0
    bool variant; // byte 0 bit 1: DALI linear, or PWM
};

constexpr KindBits kKinds[] = {
    {OutputKind::daliLogarithmic, true, false},
    {OutputKind::daliLinear, true, true},
    {OutputKind::analog, false, false},
    {OutputKind::pwm, false, true},
};

// The selector's cycle: where each kind goes next.
struct SelectorStep {
    OutputKind from;
    OutputKind to;
    bool storePolOff;
};

constexpr SelectorStep kSelectorCycle[] = {
    {OutputKind::daliLogarithmic, OutputKind::analog, false},
    {OutputKind::daliLinear, OutputKind::analog, false},
    {OutputKind::analog, OutputKind::pwm, false},
    {OutputKind::pwm, OutputKind::daliLogarithmic, true},
};

void writeKind(EeBlock& image, OutputKind kind)
{
    const KindBits& bits
        = *std::find_if(std::begin(kKinds), std::end(kKinds), [kind](const KindBits& k) { return k.kind == kind; });
    Byte& byte = image[field::outputByte];
    byte = PutBit(byte, bit::outputDali, bits.dali);
    byte = PutBit(byte, bit::outputVariant, bits.variant);
}

} // namespace

OutputKind outputKind(const EeBlock& image)
{
    const Byte byte = image[field::outputByte];
    const bool dali = TestBit(byte, bit::outputDali);
    const bool variant = TestBit(byte, bit::outputVariant);
    return std::find_if(std::begin(kKinds), std::end(kKinds),
                        [&](const KindBits& k) { return k.dali == dali && k.variant == variant; })
        ->kind;
}

void stepOutputKind(EeBlock& image)
{
    const OutputKind from = outputKind(image);
    const SelectorStep& step = *std::find_if(std::begin(kSelectorCycle), std::end(kSelectorCycle),
                                             [from](const SelectorStep& s) { return s.from == from; });
    writeKind(image, step.to);
    if (step.storePolOff)
        image[field::optionByte] = ClearBit(image[field::optionByte], bit::storePol);
}

OutputSetup readOutputSetup(const EeBlock& image)
{
    return {.minLevel = image[field::minLevel],
            .logarithmic = !TestBit(image[field::outputByte], bit::outputVariant),
            .storePol = TestBit(image[field::optionByte], bit::storePol)};
}

void applyOutputSetup(EeBlock& image, const OutputSetup& setup)
{
    image[field::minLevel] = static_cast<Byte>(setup.minLevel & 0xFF);
    const bool dali = isDali(outputKind(image));
    if (dali)
        writeKind(image, setup.logarithmic ? OutputKind::daliLogarithmic : OutputKind::daliLinear);
    image[field::optionByte] = PutBit(image[field::optionByte], bit::storePol, dali && setup.storePol);
}

} // namespace ormid
