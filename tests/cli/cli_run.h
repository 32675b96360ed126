#pragma once
// Runs ormid-cli in the test's process and keeps what it printed.

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace ormid::test {

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

inline CliRun cli(std::vector<std::string> args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int code = runCli(std::move(args), out, err);
    return {code, out.str(), err.str()};
}

} // namespace ormid::test
