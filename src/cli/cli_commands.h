#pragma once
// Inside ormid-cli: what the command table (cli.cpp) shares with the command groups
// that carry out its commands: cli_files.cpp (new, check, show, report), cli_stick.cpp
// (stick status/read/write/erase), cli_backup.cpp (stick backup/restore),
// cli_device.cpp (device status/read/write/update-fw), cli_diff.cpp, cli_night.cpp and
// cli_site.cpp (the site options night, profile and report share), cli_profile.cpp.
// Not part of the library's interface; cli/cli.h is.

#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"
#include "core/byte_compare.h"
#include "core/image.h"
#include "core/memories.h"
#include "core/night_profile.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "link/stick_probe.h"

namespace ormid {

class HidTransport;
class Waiter;

namespace cliCommands {

// A command's arguments after its name, as the table's rules split them.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string, std::less<>> values;
    std::set<std::string, std::less<>> flags;

    const std::string* value(std::string_view name) const
    {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : &it->second;
    }
    bool flag(std::string_view name) const { return flags.contains(name); }
};

// "ormid-cli: PROBLEM", a blank line and the usage text on `err`; the usage exit code.
int usageError(std::ostream& err, std::string_view problem);

// --- cli_files.cpp -----------------------------------------------------------

int runNewCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runCheckCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runShowCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runReportCommand(const Arguments& args, std::ostream& out, std::ostream& err);

// Writes a command's output file atomically and says so on `out`; false, the reason on
// `err`, when it cannot be written.
bool writeOutput(const std::string& path, const std::string& bytes, std::ostream& out, std::ostream& err);

// A configuration file taken onto the default image: as "Load" and the window's redraw
// leave it (the standard layout; a remote stick's layout is applied where the stick is
// known), or as saved; nullopt, the reasons on `err`, when it cannot be used.
std::optional<ConfigLoadResult> loadConfigurationFile(const std::string& path, ConfigLoadOptions options,
                                                      std::ostream& err, FileImage fileImage = FileImage::asLoad);

// --- cli_stick.cpp -----------------------------------------------------------

int runStickStatusCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runStickReadCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runStickWriteCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runStickEraseCommand(const Arguments& args, std::ostream& out, std::ostream& err);

// A configuration read from a stick memory or a device: the image and its info text
// (the memory's name), or the exit code when it could not be read (the reason on `err`).
struct ConfigRead {
    int exitCode = 0;
    EeBlock image = makeDefaultImage();
    std::string info{};
    bool remoteStick = false; // read from a remote stick
};

// "M1".."M4" (either case) as a memory number; nullopt for anything else.
std::optional<int> parseMemoryName(std::string_view text);

// Memory n of the stick the probe found, as start-up takes it from the control block.
TMemory memoryOnStick(const StickProbe& probe, int n);

// Memory n of a stick in memory mode as choosing it takes it (astro bytes cleared). A
// damaged data block is refused; with `takeDamaged` one whose records only fail their
// checksums is read all the same, the records named on `err`.
ConfigRead readStickMemory(HidTransport& transport, Waiter& waiter, int memory, std::ostream& err,
                           bool takeDamaged = false);
// The same on the stick `probe` has already found in memory mode.
ConfigRead readProbedMemory(HidTransport& transport, Waiter& waiter, const StickProbe& probe, int memory,
                            std::ostream& err, bool takeDamaged = false);

// What a command does with the stick, given the transport and a waiter; its exit code.
using StickAction = std::function<int(HidTransport& transport, Waiter& waiter)>;

// Opens the default stick (the simulator on ORMID_HID_BRIDGE when that names a
// socket, else the USB stick) and runs `action` on it in real time; the no-stick exit
// code, the reason on `err`, when ORMID_HID_BRIDGE names a path no socket can have.
int onDefaultStick(std::ostream& err, const StickAction& action);

// Each byte as "  0xADDR: wrote 0xAA, read 0xBB", the address with `addressDigits` digits.
void printMismatches(const std::vector<ByteMismatch>& mismatches, int addressDigits, std::ostream& out);

// Writes an output file atomically; false, the reason on `err`, when it cannot be written.
bool saveOutputFile(const std::string& path, std::string_view bytes, FileWriteOptions options, std::ostream& err);
// The options of a command that writes files: --force replaces a write-protected one.
FileWriteOptions outputOptions(const Arguments& args);

// The exit code and message when the probe did not find a stick in the mode a
// command needs (any mode when `wanted` is empty).
std::optional<int> probeFailure(ProbeResult found, std::optional<ProbeResult> wanted, std::ostream& err);

// --- cli_backup.cpp ----------------------------------------------------------

int runStickBackupCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runStickRestoreCommand(const Arguments& args, std::ostream& out, std::ostream& err);

// --- cli_device.cpp ----------------------------------------------------------

int runDeviceStatusCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runDeviceReadCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runDeviceWriteCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int runDeviceUpdateFwCommand(const Arguments& args, std::ostream& out, std::ostream& err);

// The connected device's memory, read as "device read" reads it.
ConfigRead readDeviceConfiguration(HidTransport& transport, Waiter& waiter, std::ostream& out, std::ostream& err);

// --- cli_diff.cpp ------------------------------------------------------------

int runDiffCommand(const Arguments& args, std::ostream& out, std::ostream& err);

// --- cli_night.cpp -----------------------------------------------------------

int runNightCommand(const Arguments& args, std::ostream& out, std::ostream& err);

// --- cli_site.cpp ------------------------------------------------------------

// The site of a night: --lat (degrees, south negative), --date (YYYY-MM-DD, from 2000
// on) and --twilight (degrees, -18 to 0), each defaulting to where the window's
// length-of-night calculator starts (the date to today).
struct SiteArguments {
    long double latitude;
    CalendarDay date;
    long double twilight;
};
// nullopt after a usage error on `err`.
std::optional<SiteArguments> siteArguments(const Arguments& args, std::ostream& err);

// --- cli_profile.cpp ---------------------------------------------------------

int runProfileCommand(const Arguments& args, std::ostream& out, std::ostream& err);

// The profile options --lst HH:MM and --age-hours N with the site: the night they ask
// for; nullopt after a usage error on `err`.
std::optional<ProfileRequest> profileRequest(const Arguments& args, std::ostream& err);

} // namespace cliCommands
} // namespace ormid
