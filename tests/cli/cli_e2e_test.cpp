// ormid-cli as a real process: what a script sees of it, its exit codes. (The
// commands in process: cli_test.cpp; against the simulator process:
// tests/sim/end_to_end_test.cpp.)

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <sys/wait.h>
#include <unistd.h>

#include "cli/file_folder_test.h"
#include "core/image.h"
#include "files/atomic_file.h"
#include "files/config_file.h"

namespace ormid {
namespace {

namespace fs = std::filesystem;

int runBinary(const std::string& arguments, const std::string& environment = {})
{
    const std::string command
        = environment + std::string(ORMID_BIN_DIR) + "/ormid-cli " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CliEndToEnd : public test::FileFolderTest {};

TEST_F(CliEndToEnd, ExecutableReturnsTheExitCodes)
{
    const std::string good = put("a.kdc", saveConfiguration(makeDefaultImage(), ""));
    EXPECT_EQ(runBinary("--help"), 0);
    EXPECT_EQ(runBinary("check '" + good + "'"), 0);
    EXPECT_EQ(runBinary("check '" + (folder_ / "absent.kdc").string() + "'"), 1);
    EXPECT_EQ(runBinary("frobnicate"), 2);
    EXPECT_EQ(runBinary("stick status", "ORMID_HID_BRIDGE='" + (folder_ / "no.sock").string() + "' "), 3);
}

} // namespace
} // namespace ormid
