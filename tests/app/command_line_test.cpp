#include "app/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "case_name.h"

namespace ormid {
namespace {

using Args = std::vector<std::string>;

// The option flags that are set, by name, so a failure shows which one is wrong.
std::string setOptions(const ProgramOptions& options)
{
    struct Flag {
        const char* name;
        bool ProgramOptions::*flag;
    };
    static constexpr Flag kFlags[] = {
        {"enableErase", &ProgramOptions::enableErase}, {"skipFW", &ProgramOptions::skipFW},
        {"copyAstro", &ProgramOptions::copyAstro},     {"noLoadCheck", &ProgramOptions::noLoadCheck},
        {"showLog", &ProgramOptions::showLog},         {"debugMode", &ProgramOptions::debugMode},
    };
    std::string names;
    for (const Flag& f : kFlags)
        if (options.*f.flag)
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
    const ProgramOptions run = parseCommandLine(c.arguments);
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

// What the program prints instead of starting: "usage", "version" or nothing.
std::string informationKind(const Args& arguments)
{
    const std::optional<std::string> text = informationRequested(arguments);
    if (!text)
        return "";
    if (text->starts_with("Usage: ormid-programmer [OPTION]...\n"))
        return "usage";
    if (text->starts_with("ormid-programmer " ORMID_PROJECT_VERSION "\n"))
        return "version";
    return "other: " + *text;
}

TEST(InformationRequested, HelpOrVersionAnywhereElseTheWindow)
{
    const struct {
        Args arguments;
        const char* kind;
    } cases[] = {
        {{}, ""},
        {{"-skipFW", "-dc=2"}, ""},
        {{"--help"}, "usage"},
        {{"-help"}, "usage"},
        {{"-h"}, "usage"},
        {{"-skipFW", "--help", "-debug"}, "usage"},
        {{"--version"}, "version"},
        {{"-version"}, "version"},
        {{"-debug", "--version"}, "version"},
        {{"--version", "--help"}, "usage"},
        {{"-HELP", "help", "--help ", "-v", "--Version", "-dc=--help"}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(informationKind(c.arguments), c.kind) << testing::PrintToString(c.arguments);
}

TEST(InformationRequested, TheUsageNamesEveryOptionTheParserKnows)
{
    const std::string usage = informationRequested({"--help"}).value_or("");
    for (const char* option : {"-eraseAll", "-skipFW", "-copyAstro", "-noLoadCheck", "-showLog", "-debug"}) {
        EXPECT_NE(usage.find(std::string("\n  ") + option + " "), std::string::npos) << option;
        EXPECT_NE(setOptions(parseCommandLine({option})), "") << option << " is listed but sets nothing";
    }
    for (const char* option : {"-dc=N", "--help", "--version"})
        EXPECT_NE(usage.find(std::string("\n  ") + option + " "), std::string::npos) << option;
}

TEST(CommandLineWarnings, NameWhatTheWindowDoesNotUse)
{
    const auto unknown
        = [](const std::string& shown) { return '"' + shown + "\" ignored: no option of the programmer (see --help)"; };
    const auto noOption = [](const std::string& shown) {
        return '"' + shown + "\" ignored: the programmer takes only options (see --help)";
    };
    const auto replaced = [](const std::string& shown) { return '"' + shown + "\" ignored: a later -dc= counts"; };
    const auto noCurve = [](const std::string& shown) {
        return '"' + shown + "\" names no curve (-dc=N, N a whole number from 0): no curve is selected";
    };
    const struct {
        Args arguments;
        Args warnings;
    } cases[] = {
        {{}, {}},
        {{"-eraseAll", "-skipFW", "-copyAstro", "-noLoadCheck", "-showLog", "-debug", "-dc=3"}, {}},
        {{"-SkipFW", "--debug", "-skipFW "}, {unknown("-SkipFW"), unknown("--debug"), unknown("-skipFW ")}},
        {{"street.kdc", ""}, {noOption("street.kdc"), noOption("")}},
        {{"-dc=x"}, {noCurve("-dc=x")}},
        {{"-dc=-2"}, {noCurve("-dc=-2")}},
        {{"-debug-dc=5"}, {noCurve("-debug-dc=5")}},
        {{"-dc=3", "-dc=x"}, {replaced("-dc=3"), noCurve("-dc=x")}},
        {{"-dc=x", "-skipFW", "-dc=5"}, {replaced("-dc=x")}},
        {{"-x\n\x1B[2J"}, {unknown("-x??[2J")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(commandLineWarnings(c.arguments), c.warnings) << testing::PrintToString(c.arguments);
}

TEST(CommandLineWarnings, AHugeArgumentIsCut)
{
    const std::string huge = "-dc=" + std::string(100 * 1024, '7');
    const Args warnings = commandLineWarnings({huge, std::string(100 * 1024, 'y')});
    ASSERT_EQ(warnings.size(), 2u);
    for (const std::string& warning : warnings)
        EXPECT_LT(warning.size(), 200u) << warning.substr(0, 300);
    EXPECT_TRUE(warnings[0].starts_with("\"-dc=777")) << warnings[0];
    EXPECT_NE(warnings[0].find("... (102404 bytes)\" names no curve"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find("... (102400 bytes)\" ignored"), std::string::npos) << warnings[1];
}

class RestartArguments : public testing::Test {
protected:
    const ProgramOptions run = parseCommandLine({"-skipFW", "-dc=3", "-debug"});
};

TEST_F(RestartArguments, CarryTheCurveOnlyWhenOneIsPassed)
{
    EXPECT_EQ(restartArguments(run), (Args{"-skipFW", "-debug"}));
    EXPECT_EQ(restartArguments(run, 3), (Args{"-skipFW", "-debug", "-dc=3"}));
    EXPECT_EQ(restartArguments(run, 0), (Args{"-skipFW", "-debug", "-dc=0"}));
    EXPECT_EQ(restartArguments(run, -1), (Args{"-skipFW", "-debug"}));
}

TEST_F(RestartArguments, TheRestartedRunParsesBackTheSameState)
{
    const ProgramOptions restarted = parseCommandLine(restartArguments(run, 11));
    EXPECT_EQ(setOptions(restarted), setOptions(run));
    EXPECT_EQ(restarted.restartArgs, run.restartArgs);
    EXPECT_EQ(restarted.curveIndex, 11);
}

} // namespace
} // namespace ormid
