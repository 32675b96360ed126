// ormid-programmer's command line as a real process: --help and --version answer
// without a display or the instance guard, and arguments the window does not use are
// warned about while the window starts as before.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "app/child_process.h"
#include "app/instance_guard.h"
#include "files/atomic_file.h"
#include "temp_folder.h"

namespace ormid {
namespace {

namespace fs = std::filesystem;

const std::string kProgrammer = std::string(ORMID_BIN_DIR) + "/ormid-programmer";

struct ProcessRun {
    int exitCode; // -1 when it did not end by itself
    std::string output;
};

class ProgrammerOptions : public test::TempFolderTest {
protected:
    // The programmer with `arguments` and no display at all: any attempt to open a
    // window would fail.
    ProcessRun runWithoutDisplay(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> command
            = {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", kProgrammer};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return run("env", command, {{"TMPDIR", folder_.string()}, {"XDG_RUNTIME_DIR", folder_.string()}});
    }

    ProcessRun run(const std::string& program, const std::vector<std::string>& arguments,
                   const std::map<std::string, std::string>& environment)
    {
        const fs::path output = folder_ / "output";
        fs::remove(output);
        const pid_t pid = test::spawnProcess(program, arguments, environment, output);
        if (pid <= 0)
            return {-1, "cannot start " + program};
        const int status = test::awaitExit(pid);
        return {status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, readWholeFile(output).bytes};
    }
};

TEST_F(ProgrammerOptions, HelpAndVersionAnswerWithoutADisplay)
{
    const std::string version = "ormid-programmer " ORMID_PROJECT_VERSION "\n";
    const struct {
        std::vector<std::string> arguments;
        std::string starts;
    } cases[] = {
        {{"--version"}, version},
        {{"-skipFW", "-version", "-bogus"}, version},
        {{"--help"}, "Usage: ormid-programmer"},
        {{"-h"}, "Usage: ormid-programmer"},
        {{"-debug", "-help", "--version"}, "Usage: ormid-programmer"},
    };
    for (const auto& c : cases) {
        const ProcessRun answer = runWithoutDisplay(c.arguments);
        EXPECT_EQ(answer.exitCode, 0) << answer.output;
        EXPECT_TRUE(answer.output.starts_with(c.starts)) << answer.output;
    }
}

TEST_F(ProgrammerOptions, HelpListsEveryOption)
{
    const ProcessRun help = runWithoutDisplay({"--help"});
    for (const char* option :
         {"-eraseAll", "-skipFW", "-copyAstro", "-noLoadCheck", "-showLog", "-debug", "-dc=N", "--help", "--version"})
        EXPECT_NE(help.output.find(std::string("\n  ") + option + " "), std::string::npos) << option;
}

TEST_F(ProgrammerOptions, VersionAnswersWhileAnotherRunHoldsTheGuard)
{
    const char* savedTmp = std::getenv("TMPDIR");
    const std::optional<std::string> saved = savedTmp ? std::optional<std::string>(savedTmp) : std::nullopt;
    ::setenv("TMPDIR", folder_.c_str(), 1);
    InstanceGuard running;
    if (saved)
        ::setenv("TMPDIR", saved->c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    ASSERT_TRUE(running.acquired());

    const ProcessRun answer = runWithoutDisplay({"--version"});
    EXPECT_EQ(answer.exitCode, 0);
    EXPECT_TRUE(answer.output.starts_with("ormid-programmer " ORMID_PROJECT_VERSION "\n")) << answer.output;
}

// No stick (the simulator's socket is absent): demo mode, a status line and a picture
// after start-up, then the run ends by itself.
TEST_F(ProgrammerOptions, UnusedArgumentsAreWarnedAboutAndTheWindowStartsAsBefore)
{
    const std::string huge = "-" + std::string(100 * 1024, 'x');
    const std::map<std::string, std::string> environment = {
        {"QT_QPA_PLATFORM", "offscreen"},
        {"ORMID_HID_BRIDGE", (folder_ / "no-stick.sock").string()},
        {"ORMID_STATUS_FILE", (folder_ / "status").string()},
        {"ORMID_SCREENSHOT", (folder_ / "window.png").string()},
        {"TMPDIR", folder_.string()},
        {"XDG_RUNTIME_DIR", folder_.string()},
    };
    const ProcessRun window = run(
        kProgrammer, {"-skipFW", "-SkipFW", "street.kdc", "-dc=2", "-platform", "offscreen", "-dc=x", huge, "-debug"},
        environment);
    ASSERT_EQ(window.exitCode, 0) << window.output.substr(0, 2000);

    // The status line: the process id, the mode and the arguments of a restart.
    const std::string status = readWholeFile(folder_ / "status").bytes;
    const std::size_t blank = status.find(' ');
    ASSERT_NE(blank, std::string::npos) << status;
    EXPECT_EQ(status.substr(blank), " demo -skipFW -SkipFW street.kdc -platform offscreen " + huge + " -debug\n")
        << "every argument but -dc= still goes to a restart";
    EXPECT_TRUE(fs::exists(folder_ / "window.png"));

    for (const std::string& warning : {
             std::string("ormid-programmer: \"-SkipFW\" ignored: no option of the programmer (see --help)\n"),
             std::string("ormid-programmer: \"street.kdc\" ignored: the programmer takes only options (see --help)\n"),
             std::string("ormid-programmer: \"-dc=2\" ignored: a later -dc= counts\n"),
             std::string("ormid-programmer: \"-dc=x\" names no curve (-dc=N, N a whole number from 0): no curve is "
                         "selected\n"),
             "ormid-programmer: \"-" + std::string(59, 'x') + "... (102401 bytes)\" ignored: no option of the "
                 + "programmer (see --help)\n",
         })
        EXPECT_NE(window.output.find(warning), std::string::npos) << warning << "in\n" << window.output.substr(0, 2000);
    for (const char* qtOption : {"\"-platform\"", "\"offscreen\""})
        EXPECT_EQ(window.output.find(qtOption), std::string::npos) << "Qt's own options are Qt's";
    EXPECT_EQ(window.output.find(std::string(1000, 'x')), std::string::npos) << "the huge argument is cut";
}

} // namespace
} // namespace ormid
