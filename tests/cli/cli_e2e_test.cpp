// ormid-cli as a real process: what a script sees of it, its exit codes. (The
// commands in process: cli_test.cpp; against the simulator process:
// tests/sim/end_to_end_test.cpp.)

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <sys/wait.h>
#include <unistd.h>

#include "core/image.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "temp_folder.h"

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

struct BinaryRun {
    int code;
    std::string out; // standard output alone
};

BinaryRun runBinaryOutput(const std::string& arguments)
{
    const std::string command = std::string(ORMID_BIN_DIR) + "/ormid-cli " + arguments + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return {-1, ""};
    std::string out;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

class CliEndToEnd : public test::TempFolderTest {};

TEST_F(CliEndToEnd, ExecutableReturnsTheExitCodes)
{
    const std::string good = put("a.kdc", saveConfiguration(makeDefaultImage(), ""));
    EXPECT_EQ(runBinary("--help"), 0);
    EXPECT_EQ(runBinary("check '" + good + "'"), 0);
    EXPECT_EQ(runBinary("check '" + (folder_ / "absent.kdc").string() + "'"), 1);
    EXPECT_EQ(runBinary("frobnicate"), 2);
    EXPECT_EQ(runBinary("stick status", "ORMID_HID_BRIDGE='" + (folder_ / "no.sock").string() + "' "), 3);
    EXPECT_EQ(runBinary("night --lat 91"), 2);
}

TEST(CliBinary, PrintsItsVersionAndTheNight)
{
    const BinaryRun version = runBinaryOutput("--version");
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(version.out.starts_with("ormid-cli " ORMID_PROJECT_VERSION "\n")) << version.out;
    const BinaryRun night = runBinaryOutput("night --lat 50 --date 2014-03-30 --twilight -3");
    EXPECT_EQ(night.code, 0);
    EXPECT_EQ(night.out, "10:46\n");
}

} // namespace
} // namespace ormid
