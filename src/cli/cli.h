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
constexpr int noStick = 3;        // stick status: no stick found
constexpr int noControlBlock = 4; // stick status: the control block did not arrive
} // namespace cliExit

class HidTransport;
class Waiter;

// Runs one command; `args` are the command-line arguments after the program name.
// Results go to `out`, the program's messages and usage errors to `err`.
int runCli(std::vector<std::string> args, std::ostream& out, std::ostream& err);

// `stick status` on `transport`: finds the stick as the programmer's start-up does,
// ticking after each sleep on `waiter`, and prints its mode and, in memory mode, the
// four memories and the firmware record.
int runStickStatus(HidTransport& transport, Waiter& waiter, std::ostream& out, std::ostream& err);

} // namespace ormid
