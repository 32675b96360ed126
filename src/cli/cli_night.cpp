// ormid-cli's night: the length of the night for a latitude, a date and a twilight angle,
// computed as the ISD editor's length-of-night calculator computes it.

#include <optional>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "cli/cli_commands.h"
#include "core/night_length.h"

namespace ormid::cliCommands {

namespace {

// "10:46", or what there is instead of a night.
std::string nightText(const Night& night)
{
    switch (night.twilight) {
    case Twilight::alwaysAbove:
        return "no night";
    case Twilight::alwaysBelow:
        return "no day";
    case Twilight::crossed:
        break;
    }
    return hoursToHM(night.hours);
}

} // namespace

int runNightCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::optional<SiteArguments> site = siteArguments(args, err);
    if (!site)
        return cliExit::usage;
    const CalendarDay& date = site->date;
    const std::optional<Night> night = nightAt(date.day, date.month, date.year, site->latitude, site->twilight);
    if (!night) { // only today can lie before the series: a clock that was never set
        err << "ormid-cli: the night is computed for days from " << kFirstSeriesYear
            << " on; today's date is earlier: give --date\n";
        return cliExit::invalidInput;
    }
    out << nightText(*night) << '\n';
    return cliExit::success;
}

} // namespace ormid::cliCommands
