#pragma once
// The control output: its kind in byte 0 bits 0 and 1, the minimum level in byte 2 and
// the DALI option "Store POL" in byte 68 bit 2. What the output selector and the Output
// Setup panel write; every other bit of bytes 0 and 68 stays as it was.

#include "core/image.h"

namespace ormid {

enum class OutputKind { daliLogarithmic, daliLinear, analog, pwm };

OutputKind outputKind(const EeBlock& image);
constexpr bool isDali(OutputKind kind)
{
    return kind == OutputKind::daliLogarithmic || kind == OutputKind::daliLinear;
}

// One click on the output selector: DALI (either scale) → 1-10V → PWM → DALI
// logarithmic, which also switches "Store POL" off.
void stepOutputKind(EeBlock& image);

// The fields of the Output Setup panel.
struct OutputSetup {
    int minLevel = 0;        // byte 2 as stored; may lie above 100
    bool logarithmic = true; // byte 0 bit 1 clear
    bool storePol = false;   // byte 68 bit 2
};

OutputSetup readOutputSetup(const EeBlock& image);

// OK of the Output Setup panel: byte 2 := the minimum level (its low 8 bits); for DALI the
// scale and "Store POL", for 1-10V and PWM "Store POL" cleared.
void applyOutputSetup(EeBlock& image, const OutputSetup& setup);

} // namespace ormid
