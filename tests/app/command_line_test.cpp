#include "app/command_line.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "case_name.h"

namespace ormid {
namespace {

using Args = std::vector<std::string>;

// The option flags that are set, by name, so a failure shows which one is wrong.
std::string setOptions(const RunState& run)
{
    struct Flag {
        const char* name;
        bool RunState::*flag;
    };
    static constexpr Flag kFlags[] = {
        {"enableErase", &RunState::enableErase}, {"skipFW", &RunState::skipFW},   {"copyAstro", &RunState::copyAstro},
        {"noLoadCheck", &RunState::noLoadCheck}, {"showLog", &RunState::showLog}, {"debugMode", &RunState::debugMode},
    };
    std::string names;
    for (const Flag& f : kFlags)
        if (run.*f.flag)
            names += names.empty() ? f.name : std::string(" ") + f.name;
    return names;
}

struct ParseCase {
    Args arguments;
    std::string options;
    Args restartArgs;
    int curveIndex;
};

void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << "arguments:";
    for (const std::string& a : c.arguments)
        *os << " \"" << a << '"';
}

// A case's name: its arguments, an option without its dash, "Arg" before one that
// is no option ("-dc=3 x" is "dcIs3_Argx").
std::string argumentsName(const testing::TestParamInfo<ParseCase>& info)
{
    if (info.param.arguments.empty())
        return "NoArguments";
    std::string name;
    for (const std::string& argument : info.param.arguments) {
        if (!name.empty())
            name += '_';
        if (argument.empty())
            name += test::caseName(argument);
        else if (argument[0] == '-')
            name += test::caseName(std::string_view(argument).substr(1));
        else
            name += "Arg" + test::caseName(argument);
    }
    return name;
}

class ParseCommandLine : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseCommandLine, SetsOptionsCurveAndRestartArguments)
{
    const ParseCase& c = GetParam();
    RunState run;
    parseCommandLine(c.arguments, run);
    EXPECT_EQ(setOptions(run), c.options);
    EXPECT_EQ(run.restartArgs, c.restartArgs);
    EXPECT_EQ(run.curveIndex, c.curveIndex);
}

INSTANTIATE_TEST_SUITE_P(
    EachOption, ParseCommandLine,
    testing::Values(ParseCase{{}, "", {}, -1}, ParseCase{{"-eraseAll"}, "enableErase", {"-eraseAll"}, -1},
                    ParseCase{{"-skipFW"}, "skipFW", {"-skipFW"}, -1},
                    ParseCase{{"-copyAstro"}, "copyAstro", {"-copyAstro"}, -1},
                    ParseCase{{"-noLoadCheck"}, "noLoadCheck", {"-noLoadCheck"}, -1},
                    ParseCase{{"-showLog"}, "showLog", {"-showLog"}, -1},
                    ParseCase{{"-debug"}, "debugMode", {"-debug"}, -1},
                    ParseCase{{"-debug", "-eraseAll", "-showLog", "-copyAstro", "-noLoadCheck", "-skipFW"},
                              "enableErase skipFW copyAstro noLoadCheck showLog debugMode",
                              {"-debug", "-eraseAll", "-showLog", "-copyAstro", "-noLoadCheck", "-skipFW"},
                              -1}),
    argumentsName);

// Options match only in full and in their exact case; whatever does not match is
// still handed on to the restarted program, in order.
INSTANTIATE_TEST_SUITE_P(
    OtherArguments, ParseCommandLine,
    testing::Values(
        ParseCase{{"-SkipFW", "-DEBUG", "-eraseall"}, "", {"-SkipFW", "-DEBUG", "-eraseall"}, -1},
        ParseCase{{"-skipFW ", "skipFW", "--skipFW", "-skip"}, "", {"-skipFW ", "skipFW", "--skipFW", "-skip"}, -1},
        ParseCase{
            {"report.cfg", "", "-skipFW", "report.cfg"}, "skipFW", {"report.cfg", "", "-skipFW", "report.cfg"}, -1}),
    argumentsName);

// "-dc=" counts anywhere in an argument; its value is whatever follows the
// argument's first four characters, and the argument itself is never handed on.
INSTANTIATE_TEST_SUITE_P(
    CurveArgument, ParseCommandLine,
    testing::Values(ParseCase{{"-skipFW", "-dc=3", "-debug"}, "skipFW debugMode", {"-skipFW", "-debug"}, 3},
                    ParseCase{{"-dc=0"}, "", {}, 0}, ParseCase{{"-dc=12"}, "", {}, 12},
                    ParseCase{{"-dc=+7"}, "", {}, 7}, ParseCase{{"-dc=x"}, "", {}, -1}, ParseCase{{"-dc="}, "", {}, -1},
                    ParseCase{{"-dc=4x"}, "", {}, -1}, ParseCase{{"-dc= 4"}, "", {}, -1},
                    ParseCase{{"-dc=4 "}, "", {}, -1}, ParseCase{{"-dc=+-4"}, "", {}, -1},
                    ParseCase{{"-dc=99999999999"}, "", {}, -1}, ParseCase{{"-dc=-2"}, "", {}, -1},
                    ParseCase{{"x-dc=3"}, "", {}, -1}, ParseCase{{"-debug-dc=5"}, "", {}, -1},
                    ParseCase{{"-dc=3", "-dc=x"}, "", {}, -1}, ParseCase{{"-dc=x", "-dc=5"}, "", {}, 5}),
    argumentsName);

TEST(ParseCommandLineState, ClearsWhatAnEarlierRunSetAndLeavesTheRestAlone)
{
    RunState run;
    run.enableErase = run.skipFW = run.copyAstro = run.noLoadCheck = run.showLog = run.debugMode = true;
    run.curveIndex = 7;
    run.restartArgs = {"-old"};
    run.formDisabled = run.remoteMode = true;
    run.selectedSlot = 2;

    parseCommandLine({"-copyAstro"}, run);

    EXPECT_EQ(setOptions(run), "copyAstro");
    EXPECT_EQ(run.curveIndex, -1);
    EXPECT_EQ(run.restartArgs, Args{"-copyAstro"});
    EXPECT_TRUE(run.formDisabled);
    EXPECT_TRUE(run.remoteMode);
    EXPECT_EQ(run.selectedSlot, 2);
}

class RestartArguments : public testing::Test {
protected:
    RunState run;
    void SetUp() override { parseCommandLine({"-skipFW", "-dc=3", "-debug"}, run); }
};

TEST_F(RestartArguments, CarryTheCurveOnlyWhenAskedAndOneIsSelected)
{
    EXPECT_EQ(restartArguments(run, false), (Args{"-skipFW", "-debug"}));
    EXPECT_EQ(restartArguments(run, true), (Args{"-skipFW", "-debug", "-dc=3"}));
    run.curveIndex = 0;
    EXPECT_EQ(restartArguments(run, true), (Args{"-skipFW", "-debug", "-dc=0"}));
    run.curveIndex = -1;
    EXPECT_EQ(restartArguments(run, true), (Args{"-skipFW", "-debug"}));
}

TEST_F(RestartArguments, TheRestartedRunParsesBackTheSameState)
{
    run.curveIndex = 11;
    RunState restarted;
    parseCommandLine(restartArguments(run, true), restarted);
    EXPECT_EQ(setOptions(restarted), setOptions(run));
    EXPECT_EQ(restarted.restartArgs, run.restartArgs);
    EXPECT_EQ(restarted.curveIndex, 11);
}

} // namespace
} // namespace ormid
