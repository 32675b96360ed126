#pragma once
// ormid-cli: the program's file engine without a window, for scripts and production lines.

#include <iosfwd>
#include <string>
#include <vector>

namespace ormid {

namespace cliExit {
constexpr int success = 0;
constexpr int invalidInput = 1;
constexpr int usage = 2;
} // namespace cliExit

// Runs one command; `args` are the command-line arguments after the program name.
// Results go to `out`, the program's messages and usage errors to `err`.
int runCli(std::vector<std::string> args, std::ostream& out, std::ostream& err);

} // namespace ormid
