// `ormid-cli profile`: tonight's light of a configuration file, in process.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "core/image.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "temp_folder.h"

namespace ormid {
namespace {

namespace fs = std::filesystem;

class CliProfile : public test::TempFolderTest {
protected:
    void SetUp() override { default_ = put("default.kdc", saveConfiguration(makeDefaultImage(), "")); }

    // `ormid-cli profile ARGS`: its exit code; what it printed in printed_ and complaints_.
    int profile(std::vector<std::string> args)
    {
        args.insert(args.begin(), "profile");
        test::CliRun run = test::cli(std::move(args));
        printed_ = std::move(run.out);
        complaints_ = std::move(run.err);
        return run.code;
    }
    bool printedLine(std::string_view line) const
    {
        return printed_.find("\n" + std::string(line) + "\n") != std::string::npos;
    }

    std::string default_;
    std::string printed_;
    std::string complaints_;
};

TEST_F(CliProfile, PrintsTheSwitchingTimesStepsSavingAndAssumptions)
{
    // The winter night at N 50 with twilight at -6°: 14:39 long around midnight, so on at
    // 16:40 or 16:41; 22:00 to 05:00 at 50 %: 1 - 210 / 879 = 76.1 % used.
    ASSERT_EQ(profile({default_, "--lat", "50", "--date", "2017-12-21", "--twilight", "-6", "--lst", "23:15"}),
              cliExit::success)
        << complaints_;
    EXPECT_TRUE(printed_.starts_with("Night of 21.12.2017, N 50\u00B0, twilight -6\u00B0 (an estimate)\n")) << printed_;
    EXPECT_TRUE(printedLine("Switch-on:  16:40") || printedLine("Switch-on:  16:41")) << printed_;
    EXPECT_TRUE(printedLine("Middle:     00:00 (ISD offset 0, no summer time)")) << printed_;
    for (const char* line :
         {"  22:00  Engine 1 step 1: 50 %", "  23:15  LSt event", "  23:15  Engine 2 step 1: 50 %",
          "  05:00  Engine 1 step 2: 100 %", "Assumptions:", "  - An estimate, not the controller's own record."})
        EXPECT_TRUE(printedLine(line)) << line;
    EXPECT_NE(printed_.find("\nEstimate: 23.9 % saved tonight, "), std::string::npos) << printed_;
    EXPECT_LT(printed_.find("22:00  Engine 1"), printed_.find("23:15  LSt")) << "steps in the order of the night";
    EXPECT_EQ(complaints_, "");
}

TEST_F(CliProfile, WritesTheChartAndTheMinutes)
{
    const std::string png = (folder_ / "night.png").string();
    const std::string csv = (folder_ / "night.csv").string();
    ASSERT_EQ(profile({default_, "--lat", "50", "--date", "2017-06-21", "--twilight", "0", "--png", png, "--csv", csv}),
              cliExit::success)
        << complaints_;
    EXPECT_NE(printed_.find("Wrote " + png + "\nWrote " + csv + "\n"), std::string::npos);
    const FileReadResult chart = readWholeFile(png);
    ASSERT_TRUE(chart.ok());
    EXPECT_EQ(chart.bytes.compare(0, 8, "\x89PNG\r\n\x1A\n"), 0);
    const FileReadResult minutes = readWholeFile(csv);
    ASSERT_TRUE(minutes.ok());
    // A header and the 471 minutes of the summer night (07:51); 50 % from 22:00.
    EXPECT_EQ(std::count(minutes.bytes.begin(), minutes.bytes.end(), '\n'), 1 + 471);
    EXPECT_TRUE(minutes.bytes.starts_with("minute,time,level\n0,20:0")) << minutes.bytes.substr(0, 60);
    EXPECT_NE(minutes.bytes.find(",21:59,100.0\n"), std::string::npos);
    EXPECT_NE(minutes.bytes.find(",22:00,50.0\n"), std::string::npos);
}

TEST_F(CliProfile, BadArgumentsAreUsageErrorsAndABadFileIsInvalidInput)
{
    const std::string site[] = {"--lat", "50", "--date", "2026-12-21"};
    const struct {
        std::vector<std::string> args;
        int code;
        const char* problem;
    } cases[] = {
        {{"--lat", "50", "--date", "2026-12-21"}, cliExit::usage, "profile: missing FILE"},
        {{"FILE", "--date", "2026-12-21"}, cliExit::usage, "profile needs --lat"},
        {{"FILE", "--lat", "50"}, cliExit::usage, "profile needs --date"},
        {{"FILE", "--lat", "91", "--date", "2026-12-21"}, cliExit::usage, "--lat takes"},
        {{"FILE", "--lat", "50", "--date", "21.12.2026"}, cliExit::usage, "--date takes"},
        {{"FILE", "--lat", "50", "--date", "2026-12-21", "--twilight", "2"}, cliExit::usage, "--twilight takes"},
        {{"FILE", "--lat", "50", "--date", "2026-12-21", "--lst", "22.30"}, cliExit::usage, "--lst takes the time"},
        {{"FILE", "--lat", "50", "--date", "2026-12-21", "--lst", "24:00"}, cliExit::usage, "--lst takes"},
        {{"FILE", "--lat", "50", "--date", "2026-12-21", "--age-hours", "-5"}, cliExit::usage, "--age-hours takes"},
        {{"FILE", "--lat", "50", "--date", "2026-12-21", "--age-hours", "lots"}, cliExit::usage, "--age-hours takes"},
        {{"FILE", "--lat", "50", "--date", "2026-12-21", "--colour", "red"}, cliExit::usage, "unknown option --colour"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        std::replace(args.begin(), args.end(), std::string("FILE"), default_);
        EXPECT_EQ(profile(args), c.code) << c.problem;
        EXPECT_TRUE(complaints_.starts_with(std::string("ormid-cli: ") + c.problem)) << complaints_.substr(0, 200);
        EXPECT_EQ(printed_, "");
    }
    const std::string notConfiguration = put("notes.txt", "hello");
    for (const std::string& file : {(folder_ / "absent.kdc").string(), notConfiguration}) {
        std::vector<std::string> args = {file};
        args.insert(args.end(), std::begin(site), std::end(site));
        EXPECT_EQ(profile(args), cliExit::invalidInput) << file;
        EXPECT_NE(complaints_, "");
        EXPECT_EQ(printed_, "");
    }
    // A chart that cannot be written fails after the text.
    std::vector<std::string> args = {default_, "--png", (folder_ / "no" / "such.png").string()};
    args.insert(args.end(), std::begin(site), std::end(site));
    EXPECT_EQ(profile(args), cliExit::invalidInput);
    EXPECT_FALSE(fs::exists(folder_ / "no"));
}

} // namespace
} // namespace ormid
