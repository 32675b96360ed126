#include "cli/cli.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_commands.h"
#include "core/program_version.h"

// The command table, argument parsing, usage and runCli. The commands themselves are
// carried out in cli_files.cpp, cli_stick.cpp, cli_backup.cpp, cli_device.cpp,
// cli_diff.cpp, cli_night.cpp and cli_profile.cpp.

namespace ormid {

using namespace cliCommands;

namespace {

struct OptionRule {
    std::string_view name;
    bool takesValue;
};

using Handler = int (*)(const Arguments&, std::ostream& out, std::ostream& err);

struct Command {
    std::string_view name; // one or more words ("stick status")
    std::string_view synopsis;
    std::string_view summary;
    std::vector<OptionRule> options;
    std::vector<std::string_view> required; // options that must be given
    std::size_t minPositional;
    std::size_t maxPositional;
    Handler run;
};

const std::vector<Command>& commands()
{
    // clang-format off
    static const std::vector<Command> table = {
        {"new", "new -o FILE [--info TEXT]",
         "Write the default configuration to FILE, with an info text of up to 8 characters.",
         {{"-o", true}, {"--info", true}}, {"-o"}, 0, 0, runNewCommand},
        {"check", "check FILE",
         "Tell what FILE is (configuration, old-form configuration, firmware container,\n"
         "dimming curve or unknown) and whether it is valid.",
         {}, {}, 1, 1, runCheckCommand},
        {"show", "show [FILE] [--no-load-check] [--copy-astro]",
         "Load a configuration file as \"Load\" does and print it in words; without FILE the\n"
         "built-in default image. --no-load-check takes the data despite a wrong checksum,\n"
         "--copy-astro keeps the file's astro-clock bytes.",
         {{"--no-load-check", false}, {"--copy-astro", false}}, {}, 0, 1, runShowCommand},
        {"report",
         "report FILE -o OUT.pdf [--project NAME] [--luminaire L] [--driver D] [--png PREFIX] [--profile --lat DEGREES --date YYYY-MM-DD [--twilight DEGREES] [--lst HH:MM] [--age-hours N]]",
         "Load a configuration file as \"Load\" does and print its report, one or two A4\n"
         "pages, to OUT.pdf. With NAME the report starts with the project line (name, date,\n"
         "luminaire, driver). --png also draws each page as PREFIX-1.png, PREFIX-2.png.\n"
         "The address lines at the top come from pdf.ini (section Header, Line1 and Line2).\n"
         "--profile adds a page with the chart of that night's light and the yearly saving,\n"
         "an estimate as \"profile\" gives it; the site options are those of \"profile\".",
         {{"-o", true}, {"--project", true}, {"--luminaire", true}, {"--driver", true}, {"--png", true},
          {"--profile", false}, {"--lat", true}, {"--date", true}, {"--twilight", true}, {"--lst", true},
          {"--age-hours", true}},
         {"-o"}, 1, 1, runReportCommand},
        {"diff", "diff A B",
         "Compare two configurations, each a configuration file, a stick memory (stick:M1 to\n"
         "stick:M4) or the connected Ormid (device:), read as \"Load\", choosing the memory or\n"
         "\"device read\" take them. Prints each difference in the report's words, section by\n"
         "section (\"Power On: Delay= Random \u2192 Delay= 00:01:30\"), then the info text (not\n"
         "against the device, which keeps none), then bytes neither report shows (the same\n"
         "both ways round). Exit\n"
         "code 0 the same, 1 different, 2 a usage error or a source that is no configuration,\n"
         "3 and 4 as for the stick commands.",
         {}, {}, 2, 2, runDiffCommand},
        {"night", "night [--lat DEGREES] [--date YYYY-MM-DD] [--twilight DEGREES]",
         "Print the length of the night from evening to morning twilight as HH:MM, as the\n"
         "ISD editor's length-of-night calculator computes it for the Auto DST thresholds:\n"
         "at --lat degrees north, south negative (default 50), on --date from 2000 on\n"
         "(default today), with twilight at --twilight degrees of the sun below the horizon,\n"
         "-18 to 0 (default -3). \"no night\" or \"no day\" when the sun stays above or below\n"
         "that angle all day. Degrees are decimal (47.5).",
         {{"--lat", true}, {"--date", true}, {"--twilight", true}}, {}, 0, 0, runNightCommand},
        {"profile",
         "profile FILE --lat DEGREES --date YYYY-MM-DD [--twilight DEGREES] [--lst HH:MM] [--age-hours N] [--png OUT.png] [--csv OUT.csv]",
         "Estimate the light a configuration file gives over the night of --date at --lat\n"
         "degrees north (south negative): switch-on and switch-off where the sun crosses\n"
         "--twilight degrees (-18 to 0, default -3, as the night calculator), midnight in the\n"
         "middle of the night moved by the ISD offset and DST, the steps of dimming engine 1\n"
         "and, from an LSt event at --lst, of engine 2, the power-on delay and level, the\n"
         "block timer, the minimum level and the MFF level at --age-hours operating hours\n"
         "(default 0). Prints the switching times, the steps and the energy saved that night\n"
         "and over 365 nights, then the notes and assumptions of the estimate. --png draws\n"
         "the chart, --csv writes the level of each minute (minute,time,level).",
         {{"--lat", true}, {"--date", true}, {"--twilight", true}, {"--lst", true}, {"--age-hours", true},
          {"--png", true}, {"--csv", true}},
         {"--lat", "--date"}, 1, 1, runProfileCommand},
        {"stick status", "stick status",
         "Find the stick as the programmer does at start-up and print its mode; in memory\n"
         "mode also the memories M1 to M4 and the firmware record. When ORMID_HID_BRIDGE\n"
         "names a socket, the stick simulator on it is asked instead of the USB stick.",
         {}, {}, 0, 0, runStickStatusCommand},
        {"stick read", "stick read M1..M4 -o FILE [--force]",
         "Read the memory from a stick in memory mode and save it as a configuration file\n"
         "named after the memory. A damaged memory is refused; --force reads one whose\n"
         "records only fail their checksums all the same, naming them.",
         {{"-o", true}, {"--force", false}}, {"-o"}, 1, 1, runStickReadCommand},
        {"stick write", "stick write M1..M4 FILE [--name TEXT] [--tx LIST] [--no-verify]",
         "Load a configuration file as \"Load\" does and store it in the memory as \"Transfer\"\n"
         "does: data block first, control block last. The memory's name is TEXT (up to 8\n"
         "characters), else the file's info text; without either it keeps its old name.\n"
         "On a remote stick LIST chooses the remote frames, the Tx boxes of the window:\n"
         "pol,isd,isden,isdengine,lsten,lstengine; without it the memory keeps its choice\n"
         "(all for an empty memory). The frames written are printed, as \"stick read\" does.\n"
         "Then the data block and the memory's record are read back and compared; a byte\n"
         "that differs is printed with its address and fails the command (--no-verify skips it).",
         {{"--name", true}, {"--tx", true}, {"--no-verify", false}}, {}, 2, 2, runStickWriteCommand},
        {"stick erase", "stick erase [--remote]",
         "Erase all four memories without asking; --remote also makes the stick a remote\n"
         "stick, without it the stick becomes a local one.",
         {{"--remote", false}}, {}, 0, 0, runStickEraseCommand},
        {"stick backup", "stick backup DIR [--force]",
         "Save every used memory of a stick in memory mode as a configuration file in DIR,\n"
         "named after its slot and name (M2-Street.kdc), then DIR/manifest.ini with the\n"
         "stick's kind, each memory's name, status byte and Tx boxes, and the firmware\n"
         "record. DIR must be new or empty (--force replaces an older backup in it). The\n"
         "backup takes DIR's place only when it is complete: one that fails leaves DIR as it was.",
         {{"--force", false}}, {}, 1, 1, runStickBackupCommand},
        {"stick restore", "stick restore DIR [--slots M1,M3]",
         "Write the memories of a backup back to a stick of the same kind, as \"stick write\"\n"
         "does, each verified: all used ones, or the slots named. The manifest and every\n"
         "file needed are checked first; when one is missing or damaged nothing is written.\n"
         "Memories not restored stay as they are; the firmware is not restored.",
         {{"--slots", true}}, {}, 1, 1, runStickRestoreCommand},
        {"device status", "device status",
         "With the stick in USB Stick mode: wait for the connected Ormid to announce itself\n"
         "and print its device number and firmware version.",
         {}, {}, 0, 0, runDeviceStatusCommand},
        {"device read", "device read -o FILE [--raw FILE] [--force]",
         "Read the connected Ormid's memory and save bytes 0 to 95 as a configuration file;\n"
         "--raw also writes all 256 bytes as they were read.",
         {{"-o", true}, {"--raw", true}, {"--force", false}}, {"-o"}, 0, 0, runDeviceReadCommand},
        {"device write",
         "device write FILE [--no-verify] [--batch [--log LOG.csv [--force]] [--count N] [--update-fw]]",
         "Load a configuration file as \"Load\" does and write it to the connected Ormid:\n"
         "the device is read first, so bytes 96 to 249 go back as read. Then the read that\n"
         "the device's next announcement starts is compared with bytes 0 to 249 as sent; a\n"
         "byte that differs is printed and fails the command (--no-verify skips it).\n"
         "--batch programs one device after another: it waits for a device to announce\n"
         "itself, with --update-fw brings it to the built-in firmware, writes and verifies\n"
         "it, prints a line (number, device, firmware, result) and adds a row with the time\n"
         "to LOG.csv, then waits for a device with another number. A device that fails is\n"
         "reported and the batch goes on; it ends after N devices (exit code 4 when one of\n"
         "them failed, 1 when a row could not be logged) or at Ctrl-C, which lets the device\n"
         "under way finish first. LOG.csv must be a regular file; a write-protected one is\n"
         "appended to only with --force.",
         {{"--no-verify", false},
          {"--batch", false},
          {"--log", true},
          {"--force", false},
          {"--count", true},
          {"--update-fw", false}},
         {}, 1, 1, runDeviceWriteCommand},
        {"device update-fw", "device update-fw [FILE.kdp]",
         "Update the connected Ormid's firmware page by page with the image from FILE.kdp,\n"
         "else with the built-in one, printing \"page n/m\" per page; the device is reset\n"
         "at the end.",
         {}, {}, 0, 1, runDeviceUpdateFwCommand},
    };
    // clang-format on
    return table;
}

void printUsage(std::ostream& os)
{
    os << "Usage: ormid-cli COMMAND [ARGUMENTS]\n\nCommands:\n";
    for (const auto& command : commands()) {
        os << "  " << command.synopsis << '\n';
        std::string_view summary = command.summary;
        while (!summary.empty()) {
            const auto end = std::min(summary.find('\n'), summary.size());
            os << "      " << summary.substr(0, end) << '\n';
            summary.remove_prefix(std::min(end + 1, summary.size()));
        }
    }
    os << "  help, --help\n      Show this text.\n"
          "  --version\n      Print the version.\n\n"
          "The stick commands ask the stick simulator on ORMID_HID_BRIDGE when it names a socket.\n"
          "A file that is written replaces the old one as a whole; a write-protected one is\n"
          "refused (stick read and device read replace it with --force).\n\n"
          "Exit codes: 0 success, 1 invalid input, 2 usage error, 3 no stick found,\n"
          "4 the stick did not do what was asked (no control block, the wrong mode, a block\n"
          "read or write failed, no device answered, a device write failed, the device refused\n"
          "a firmware page or did not come back with the new firmware).\n";
}

// Splits the arguments of `command` into positional ones, valued options
// ("-o FILE", "--info=TEXT") and flags; nullopt with `problem` set on a usage error.
std::optional<Arguments> parseArguments(const Command& command, const std::vector<std::string>& args,
                                        std::string& problem)
{
    Arguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        const auto equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
        const std::string_view name = std::string_view(arg).substr(0, equals);
        const auto option = std::find_if(command.options.begin(), command.options.end(),
                                         [name](const OptionRule& o) { return o.name == name; });
        if (option == command.options.end()) {
            problem = "unknown option " + std::string(name) + " for " + std::string(command.name);
            return std::nullopt;
        }
        if (!option->takesValue) {
            if (equals != std::string::npos) {
                problem = std::string(name) + " takes no value";
                return std::nullopt;
            }
            parsed.flags.emplace(name);
        } else if (equals != std::string::npos) {
            parsed.values[std::string(name)] = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            parsed.values[std::string(name)] = args[++i];
        } else {
            problem = std::string(name) + " needs a value";
            return std::nullopt;
        }
    }
    for (const auto required : command.required)
        if (!parsed.value(required)) {
            problem = std::string(command.name) + " needs " + std::string(required);
            return std::nullopt;
        }
    if (parsed.positional.size() < command.minPositional)
        problem = std::string(command.name) + ": missing FILE";
    else if (parsed.positional.size() > command.maxPositional)
        problem = std::string(command.name) + ": unexpected argument " + parsed.positional[command.maxPositional];
    if (!problem.empty())
        return std::nullopt;
    return parsed;
}

// True when the leading arguments spell the command's name, word by word.
bool namesCommand(const std::vector<std::string>& args, const Command& command)
{
    std::string_view name = command.name;
    for (const std::string& arg : args) {
        const std::size_t end = std::min(name.find(' '), name.size());
        if (name.substr(0, end) != arg)
            return false;
        if (end == name.size())
            return true;
        name.remove_prefix(end + 1);
    }
    return false;
}

std::size_t wordCount(std::string_view name)
{
    return static_cast<std::size_t>(std::count(name.begin(), name.end(), ' ')) + 1;
}

// "help" as the command, or "--help" / "-h" anywhere.
bool asksForHelp(const std::vector<std::string>& args)
{
    return args.front() == "help"
        || std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; });
}

bool asksForVersion(const std::vector<std::string>& args)
{
    return std::find(args.begin(), args.end(), "--version") != args.end();
}

} // namespace

namespace cliCommands {

int usageError(std::ostream& err, std::string_view problem)
{
    err << "ormid-cli: " << problem << "\n\n";
    printUsage(err);
    return cliExit::usage;
}

} // namespace cliCommands

int runCli(std::vector<std::string> args, std::ostream& out, std::ostream& err)
{
    if (args.empty())
        return usageError(err, "missing command");
    if (asksForHelp(args)) {
        printUsage(out);
        return cliExit::success;
    }
    if (asksForVersion(args)) {
        out << versionText("ormid-cli");
        return cliExit::success;
    }
    const auto& table = commands();
    const auto command
        = std::find_if(table.begin(), table.end(), [&](const Command& c) { return namesCommand(args, c); });
    if (command == table.end())
        return usageError(err, "unknown command " + args.front());

    std::string problem;
    const auto rest = args.begin() + static_cast<std::ptrdiff_t>(wordCount(command->name));
    const auto parsed = parseArguments(*command, {rest, args.end()}, problem);
    if (!parsed)
        return usageError(err, problem);
    return command->run(*parsed, out, err);
}

} // namespace ormid
