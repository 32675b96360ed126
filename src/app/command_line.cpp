#include "app/command_line.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace ormid {
namespace {

constexpr std::string_view kCurveMark = "-dc=";
// The curve value starts after the first four characters of the argument, wherever
// the mark was found in it.
constexpr std::size_t kCurveValueOffset = 4;

struct Option {
    std::string_view argument;
    bool RunState::*flag;
};

constexpr Option kOptions[] = {
    {"-eraseAll", &RunState::enableErase},    {"-skipFW", &RunState::skipFW},   {"-copyAstro", &RunState::copyAstro},
    {"-noLoadCheck", &RunState::noLoadCheck}, {"-showLog", &RunState::showLog}, {"-debug", &RunState::debugMode},
};

// A whole decimal number with an optional sign; anything else (blanks, other
// characters, out of range) is no number.
std::optional<int> toInteger(std::string_view text)
{
    const bool plus = !text.empty() && text.front() == '+';
    if (plus)
        text.remove_prefix(1);
    if (text.empty() || text.front() == '+' || (plus && text.front() == '-'))
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A negative position names no curve; it becomes -1 so that no later lookup
// indexes the curve list with it.
int curvePosition(std::string_view argument)
{
    const std::string_view value
        = argument.size() > kCurveValueOffset ? argument.substr(kCurveValueOffset) : std::string_view{};
    const std::optional<int> number = toInteger(value);
    return number && *number >= 0 ? *number : -1;
}

void clearOptions(RunState& run)
{
    for (const Option& option : kOptions)
        run.*option.flag = false;
    run.curveIndex = -1;
    run.restartArgs.clear();
}

} // namespace

void parseCommandLine(const std::vector<std::string>& arguments, RunState& run)
{
    clearOptions(run);
    for (const std::string& argument : arguments) {
        if (argument.find(kCurveMark) != std::string::npos) {
            run.curveIndex = curvePosition(argument);
            continue;
        }
        for (const Option& option : kOptions)
            if (argument == option.argument)
                run.*option.flag = true;
        run.restartArgs.push_back(argument);
    }
}

std::vector<std::string> restartArguments(const RunState& run, bool withCurve)
{
    std::vector<std::string> arguments = run.restartArgs;
    if (withCurve && run.curveIndex != -1)
        arguments.push_back(std::string(kCurveMark) + std::to_string(run.curveIndex));
    return arguments;
}

} // namespace ormid
