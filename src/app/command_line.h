#pragma once
// The programmer's command line: options compared in full and case-sensitively,
// "-dc=" recognised anywhere inside an argument.

#include <string>
#include <vector>

#include "core/run_state.h"

namespace ormid {

// Clears the option flags (`debugMode` too), `curveIndex` and `restartArgs` of `run`
// and sets them from the arguments (without the program name). A "-dc=" value that
// is not a whole number, or is negative, sets `curveIndex` to -1.
void parseCommandLine(const std::vector<std::string>& arguments, RunState& run);

// The argument list of a self-restart: `restartArgs`, plus "-dc=" and `curveIndex`
// when a curve is selected and `withCurve` is set (after a memory Transfer).
std::vector<std::string> restartArguments(const RunState& run, bool withCurve);

} // namespace ormid
