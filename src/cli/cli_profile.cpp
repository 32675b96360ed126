// ormid-cli's profile: tonight's light as a configuration file gives it at a site, with
// the switching times, the steps, the saving, and the chart and the minutes as files.

#include <charconv>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/cli.h"
#include "cli/cli_commands.h"
#include "core/encodings.h"
#include "core/night_profile.h"
#include "core/text_lines.h"
#include "files/profile_chart.h"

namespace ormid::cliCommands {

namespace {

// The chart file: a picture for a page or a screen.
constexpr int kPngWidth = 1200;
constexpr int kPngHeight = 900;
// Operating hours beyond any lifetime the MFF can hold (255 × 500 h).
constexpr int kMostAgeHours = 1'000'000;

// "22:30" as minutes after 00:00; nullopt for anything else.
std::optional<int> parseClockTime(std::string_view text)
{
    if (text.size() != 5 || text[2] != ':')
        return std::nullopt;
    const std::optional<int> hours = parseDecimal(text.substr(0, 2));
    const std::optional<int> minutes = parseDecimal(text.substr(3, 2));
    if (!hours || !minutes || *hours < 0 || *hours > 23 || *minutes < 0 || *minutes > 59)
        return std::nullopt;
    return *hours * 60 + *minutes;
}

// What a mark stands for, in the words of the step list.
std::string markText(const ProfileMark& mark)
{
    const auto level = [&] { return ": " + std::to_string(mark.level) + " %"; };
    const auto fade
        = [&] { return mark.fadeMs > 0 ? ", fade " + millisecondsText(mark.fadeMs) + " s/%" : std::string(); };
    const auto relay = [&] { return mark.relayOff ? ", relay off" : ""; };
    switch (mark.kind) {
    case ProfileMarkKind::switchOn:
        return "Switch-on";
    case ProfileMarkKind::lightOn:
        return "Power-on delay over" + level() + fade();
    case ProfileMarkKind::blockEnd:
        return "Block timer over";
    case ProfileMarkKind::engine1Step:
        return "Engine 1 step " + std::to_string(mark.step) + level() + fade() + relay();
    case ProfileMarkKind::lstEvent:
        return "LSt event";
    case ProfileMarkKind::engine2Step:
        return "Engine 2 step " + std::to_string(mark.step) + level() + fade() + relay();
    case ProfileMarkKind::switchOff:
        break;
    }
    return "Switch-off";
}

std::string levelText(double level)
{
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, level, std::chars_format::fixed, 1);
    return std::string(text, end.ptr);
}

std::string minutesText(int minutes)
{
    return (minutes < 0 ? "-" : "") + offsetCodeText(std::abs(minutes)).substr(0, 5);
}

void printProfile(const NightProfile& profile, const ProfileRequest& request, std::optional<double> year,
                  std::ostream& out)
{
    out << "Night of " << profileTitle(request) << " (an estimate)\n";
    if (profile.levels.empty()) {
        out << "No night: the sun stays above the twilight angle, the light stays off.\n";
    } else {
        out << "Switch-on:  " << clockText(profile.switchOn) << '\n'
            << "Middle:     " << clockText(profile.middle) << " (ISD offset "
            << (profile.offsetMinutes == 0 ? std::string("0") : minutesText(profile.offsetMinutes)) << ", "
            << (profile.dst ? "summer time" : "no summer time") << ")\n"
            << "Switch-off: " << clockText(profile.switchOff) << '\n'
            << "Steps:\n";
        for (const ProfileMark& mark : profile.marks)
            out << "  " << clockText(mark.minute) << "  " << markText(mark) << '\n';
    }
    out << savingLine(profile, year) << '\n';
    if (!profile.notes.empty()) {
        out << "Notes:\n";
        for (const std::string& note : profile.notes)
            out << "  " << note << '\n';
    }
    out << "Assumptions:\n";
    for (const std::string_view assumption : profileAssumptions())
        out << "  - " << assumption << '\n';
}

// minute,time,level: one line per minute from switch-on.
std::string profileCsv(const NightProfile& profile)
{
    std::string csv = "minute,time,level\n";
    for (std::size_t i = 0; i < profile.levels.size(); ++i)
        csv += std::to_string(i) + "," + clockText(profile.switchOn + static_cast<double>(i)) + ","
            + levelText(profile.levels[i]) + "\n";
    return csv;
}

} // namespace

std::optional<ProfileRequest> profileRequest(const Arguments& args, std::ostream& err)
{
    const std::optional<SiteArguments> site = siteArguments(args, err);
    if (!site)
        return std::nullopt;
    ProfileRequest request{.date = site->date,
                           .latitude = static_cast<double>(site->latitude),
                           .twilight = static_cast<double>(site->twilight)};
    if (const std::string* lst = args.value("--lst")) {
        request.lstEvent = parseClockTime(*lst);
        if (!request.lstEvent) {
            usageError(err, "--lst takes the time of the LSt event as HH:MM, not " + textForMessage(*lst));
            return std::nullopt;
        }
    }
    if (const std::string* age = args.value("--age-hours")) {
        const std::optional<int> hours = parseDecimal(*age);
        if (!hours || *hours < 0 || *hours > kMostAgeHours) {
            usageError(err,
                       "--age-hours takes the operating hours as a whole number from 0 to "
                           + std::to_string(kMostAgeHours) + ", not " + textForMessage(*age));
            return std::nullopt;
        }
        request.ageHours = *hours;
    }
    return request;
}

int runProfileCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::optional<ProfileRequest> request = profileRequest(args, err);
    if (!request)
        return cliExit::usage;
    const auto loaded = loadConfigurationFile(args.positional.front(), {}, err);
    if (!loaded)
        return cliExit::invalidInput;
    const std::optional<NightProfile> night = nightProfile(loaded->image, *request);
    if (!night) {
        err << "ormid-cli: the sun series holds from " << kFirstSeriesYear << " on\n";
        return cliExit::invalidInput;
    }
    const NightProfile& profile = *night;
    const std::optional<double> year = yearEnergy(loaded->image, *request);
    printProfile(profile, *request, year, out);

    if (const std::string* png = args.value("--png")) {
        const RenderResult chart
            = renderProfileChartPng(makeProfileChart(profile, *request, year), kPngWidth, kPngHeight);
        if (!chart.ok()) {
            err << chart.error << '\n';
            return cliExit::invalidInput;
        }
        if (!writeOutput(*png, chart.bytes, out, err))
            return cliExit::invalidInput;
    }
    if (const std::string* csv = args.value("--csv"); csv && !writeOutput(*csv, profileCsv(profile), out, err))
        return cliExit::invalidInput;
    return cliExit::success;
}

} // namespace ormid::cliCommands
