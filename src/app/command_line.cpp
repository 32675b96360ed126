#include "app/command_line.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

#include "core/program_version.h"
#include "core/text_lines.h"

namespace ormid {
namespace {

constexpr std::string_view kCurveMark = "-dc=";
// The curve value starts after the first four characters of the argument, wherever
// the mark was found in it.
constexpr std::size_t kCurveValueOffset = 4;

struct Option {
    std::string_view argument;
    bool ProgramOptions::*flag;
    std::string_view help;
};

// clang-format off
constexpr Option kOptions[] = {
    {"-eraseAll", &ProgramOptions::enableErase, "offer \"Erase ALL\" for a stick that does not answer the mode query"},
    {"-skipFW", &ProgramOptions::skipFW, "do not compare or store the built-in firmware in memory mode"},
    {"-copyAstro", &ProgramOptions::copyAstro, "keep the astro-clock bytes of a memory or a file when it is loaded"},
    {"-noLoadCheck", &ProgramOptions::noLoadCheck, "load a configuration file even when its checksum is wrong"},
    {"-showLog", &ProgramOptions::showLog, "show the connected device's operating counters (firmware 1.72 and newer)"},
    {"-debug", &ProgramOptions::debugMode, "offer the \"Debug\" box with the link log in USB Stick mode"},
};
// clang-format on

// The requests answered before any window, with the words that ask for them.
struct InformationRequest {
    std::string_view words[3];
    std::string (*text)();
};

constexpr std::size_t kOptionColumn = 16;

std::string usageLine(std::string_view option, std::string_view help)
{
    std::string line = "  " + std::string(option);
    line.resize(std::max(kOptionColumn, line.size() + 1), ' ');
    return line + std::string(help) + '\n';
}

std::string usageText()
{
    std::string text = "Usage: ormid-programmer [OPTION]...\n"
                       "Configure and program the Ormid outdoor-luminaire controller.\n\n"
                       "Options (compared in full and case-sensitively):\n";
    for (const Option& option : kOptions)
        text += usageLine(option.argument, option.help);
    text += usageLine("-dc=N", "select dimming curve N of the curve list (from 0, the files sorted by name)");
    text += usageLine("--help", "print this text and end");
    text += usageLine("--version", "print the version and end");
    return text
        + "\nOther arguments are ignored with a warning. Qt's own options (-platform, -style, ...)\n"
          "are taken as Qt takes them.\n";
}

std::string versionAnswer()
{
    return versionText("ormid-programmer");
}

constexpr InformationRequest kInformationRequests[] = {
    {{"--help", "-help", "-h"}, usageText},
    {{"--version", "-version"}, versionAnswer},
};

bool asks(const InformationRequest& request, const std::vector<std::string>& arguments)
{
    return std::any_of(arguments.begin(), arguments.end(), [&request](const std::string& argument) {
        return std::find(std::begin(request.words), std::end(request.words), argument) != std::end(request.words);
    });
}

bool isOption(std::string_view argument)
{
    return std::any_of(std::begin(kOptions), std::end(kOptions),
                       [argument](const Option& option) { return option.argument == argument; });
}

bool namesCurve(std::string_view argument)
{
    return argument.find(kCurveMark) != std::string_view::npos;
}

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

} // namespace

ProgramOptions parseCommandLine(const std::vector<std::string>& arguments)
{
    ProgramOptions options;
    for (const std::string& argument : arguments) {
        if (namesCurve(argument)) {
            options.curveIndex = curvePosition(argument);
            continue;
        }
        for (const Option& option : kOptions)
            if (argument == option.argument)
                options.*option.flag = true;
        options.restartArgs.push_back(argument);
    }
    return options;
}

std::optional<std::string> informationRequested(const std::vector<std::string>& arguments)
{
    for (const InformationRequest& request : kInformationRequests)
        if (asks(request, arguments))
            return request.text();
    return std::nullopt;
}

std::vector<std::string> commandLineWarnings(const std::vector<std::string>& arguments)
{
    const auto last = std::find_if(arguments.rbegin(), arguments.rend(),
                                   [](const std::string& argument) { return namesCurve(argument); });
    const std::string* lastCurve = last == arguments.rend() ? nullptr : &*last;
    std::vector<std::string> warnings;
    for (const std::string& argument : arguments) {
        const std::string shown = '"' + textForMessage(argument) + '"';
        if (namesCurve(argument)) {
            if (&argument != lastCurve)
                warnings.push_back(shown + " ignored: a later -dc= counts");
            else if (curvePosition(argument) == -1)
                warnings.push_back(shown + " names no curve (-dc=N, N a whole number from 0): no curve is selected");
        } else if (!isOption(argument)) {
            const char* why
                = argument.starts_with('-') ? "no option of the programmer" : "the programmer takes only options";
            warnings.push_back(shown + " ignored: " + why + " (see --help)");
        }
    }
    return warnings;
}

std::vector<std::string> restartArguments(const ProgramOptions& options, int curveIndex)
{
    std::vector<std::string> arguments = options.restartArgs;
    if (curveIndex != -1)
        arguments.push_back(std::string(kCurveMark) + std::to_string(curveIndex));
    return arguments;
}

} // namespace ormid
