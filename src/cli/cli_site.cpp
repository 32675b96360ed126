// The site options that night, profile and report's profile page share: latitude, date
// and twilight, with the length-of-night calculator's start values as defaults.

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/cli_commands.h"
#include "core/night_length.h"
#include "core/text_lines.h"

namespace ormid::cliCommands {

namespace {

// An angle option: its default (where the window's calculator starts) and the
// values it takes.
struct AngleOption {
    std::string_view name;
    long double fallback;
    long double lowest;
    long double highest;
    bool endsIncluded;
    std::string_view takes; // for the usage error
};

// At a pole the hour angle has no meaning: the latitude stops short of them.
constexpr AngleOption kLatitude{"--lat", kCalculatorLatitude,
                                -90,     90,
                                false,   "degrees north (south negative) between -90 and 90, the poles excluded"};
// From astronomical twilight up to the horizon; the window offers -6 to 0.
constexpr AngleOption kTwilight{
    "--twilight", kCalculatorTwilight, -18, 0, true, "the sun's elevation in degrees, from -18 to 0"};

// "47.5", "-3", "50": a decimal number in the C locale; nullopt for anything else.
std::optional<long double> parseDegrees(std::string_view text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool inRange(const AngleOption& option, long double value)
{
    return option.endsIncluded ? option.lowest <= value && value <= option.highest
                               : option.lowest < value && value < option.highest;
}

// The option's value, its default when it is not given; nullopt after a usage error.
std::optional<long double> angleArgument(const Arguments& args, const AngleOption& option, std::ostream& err)
{
    const std::string* text = args.value(option.name);
    if (!text)
        return option.fallback;
    const std::optional<long double> value = parseDegrees(*text);
    if (!value || !inRange(option, *value)) {
        usageError(err,
                   std::string(option.name) + " takes " + std::string(option.takes) + ", not " + textForMessage(*text));
        return std::nullopt;
    }
    return value;
}

// "YYYY-MM-DD", a day of the calendar; nullopt for anything else.
std::optional<CalendarDay> parseIsoDate(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const std::optional<int> year = parseDecimal(text.substr(0, 4));
    const std::optional<int> month = parseDecimal(text.substr(5, 2));
    const std::optional<int> day = parseDecimal(text.substr(8, 2));
    if (!year || !month || !day || *year < 0 || *month < 1 || *day < 1)
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year{*year}, std::chrono::month{static_cast<unsigned>(*month)},
                                           std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok())
        return std::nullopt;
    return CalendarDay{*day, *month, *year};
}

CalendarDay today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

// --date, today when it is not given; nullopt after a usage error.
std::optional<CalendarDay> dateArgument(const Arguments& args, std::ostream& err)
{
    const std::string* text = args.value("--date");
    if (!text)
        return today();
    const std::optional<CalendarDay> date = parseIsoDate(*text);
    if (!date || date->year < kFirstSeriesYear) {
        usageError(err,
                   "--date takes a day from " + std::to_string(kFirstSeriesYear) + " on as YYYY-MM-DD, not "
                       + textForMessage(*text));
        return std::nullopt;
    }
    return date;
}

} // namespace

std::optional<SiteArguments> siteArguments(const Arguments& args, std::ostream& err)
{
    const std::optional<long double> latitude = angleArgument(args, kLatitude, err);
    if (!latitude)
        return std::nullopt;
    const std::optional<CalendarDay> date = dateArgument(args, err);
    if (!date)
        return std::nullopt;
    const std::optional<long double> twilight = angleArgument(args, kTwilight, err);
    if (!twilight)
        return std::nullopt;
    return SiteArguments{*latitude, *date, *twilight};
}

} // namespace ormid::cliCommands
