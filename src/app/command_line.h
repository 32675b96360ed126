#pragma once
// The programmer's command line: options compared in full and case-sensitively,
// "-dc=" recognised anywhere inside an argument.

#include <optional>
#include <string>
#include <vector>

#include "core/run_state.h"

namespace ormid {

// The options of the arguments (without the program name). A "-dc=" value that is not
// a whole number, or is negative, gives `curveIndex` -1.
ProgramOptions parseCommandLine(const std::vector<std::string>& arguments);

// What the program prints before it ends instead of opening the window: the usage for
// "--help" ("-help", "-h"), the version for "--version" ("-version"), wherever they stand;
// nullopt for a run of the window. Needs no display and no window.
std::optional<std::string> informationRequested(const std::vector<std::string>& arguments);

// One line for each argument the window makes no use of (an unknown option, any other
// argument) and each "-dc=" that selects no curve (no number, or one a later "-dc="
// replaces); each argument cut short for the message. `arguments` are those the window
// gets, after Qt has taken its own (-platform, -style, ...).
std::vector<std::string> commandLineWarnings(const std::vector<std::string>& arguments);

// The argument list of a self-restart: `restartArgs`, plus "-dc=" with `curveIndex`
// unless it is -1 (a memory Transfer passes the selected curve on).
std::vector<std::string> restartArguments(const ProgramOptions& options, int curveIndex = -1);

} // namespace ormid
