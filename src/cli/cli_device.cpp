// ormid-cli's device commands: device status, read, write (one device or a batch)
// and update-fw on the Ormid connected to a stick in USB Stick mode, each through a
// DeviceSession.

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <signal.h>

#include "cli/cli.h"
#include "cli/cli_commands.h"
#include "cli/device_session.h"
#include "core/image.h"
#include "core/text_lines.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "link/embedded_firmware.h"
#include "link/firmware_image.h"
#include "link/hid_transport.h"
#include "link/link_engine.h"
#include "link/waiter.h"

namespace ormid {

namespace cliCommands {

namespace {

// The firmware of a `.kdp` file as "Load" takes it; nullopt (the reason on `err`) when refused.
std::optional<FirmwareImage> firmwareFromFile(const std::string& path, std::ostream& err)
{
    const auto file = readWholeFile(path, kMaxFirmwareFileSize);
    if (!file.ok()) {
        err << file.error << '\n';
        return std::nullopt;
    }
    FirmwareImage firmware;
    const FirmwareFileLoad load = loadFirmwareFile(firmware, file.bytes, true);
    switch (load.outcome) {
    case FirmwareFileLoad::Outcome::loaded:
        return firmware;
    case FirmwareFileLoad::Outcome::ignoredTooLarge:
        err << "The image size " << load.header.size << " does not fit the " << kFirmwareBufferSize
            << "-byte firmware buffer.\n";
        return std::nullopt;
    case FirmwareFileLoad::Outcome::refused:
        break;
    }
    err << load.message.value_or(std::string(configMessage::corrupted)) << '\n';
    return std::nullopt;
}

// The built-in firmware as start-up reads it in USB Stick mode.
std::optional<FirmwareImage> builtInFirmware(std::ostream& err)
{
    FirmwareImage firmware;
    if (!loadEmbeddedFirmware(firmware, embeddedFirmwareContainer(), true)) {
        err << "The built-in firmware container is damaged.\n";
        return std::nullopt;
    }
    // In USB Stick mode loadEmbeddedFirmware leaves the record's version alone; the header's is the image's.
    firmware.fwVersion = firmware.embeddedFwVersion;
    return firmware;
}

// Writes `image`'s bytes 0..95 over the device image just read, and with `verify`
// compares the read after it with what was sent; the exit code when either fails.
std::optional<int> writeAndVerify(DeviceSession& session, const EeBlock& image, bool verify, std::ostream& err)
{
    std::copy_n(image.begin(), kStoredImageBytes, session.image().begin());
    if (!session.write(err))
        return cliExit::transferFailed;
    if (!verify)
        return std::nullopt;
    const std::string device = session.engine().identification().deviceNumber();
    if (const auto failed = session.readBack(err)) {
        err << "Verify failed: device " << device << " could not be read back.\n";
        return failed;
    }
    const ByteSpan sent = ByteSpan(session.engine().writtenImage()).first(LinkEngine::kWrittenBytes);
    const ByteSpan read = ByteSpan(session.image()).first(LinkEngine::kWrittenBytes);
    if (const std::vector<ByteMismatch> differences = byteMismatches(sent, read); !differences.empty()) {
        err << "Verify failed: device " << device << " reads back otherwise than it was written:\n";
        printMismatches(differences, 2, err);
        return cliExit::transferFailed;
    }
    return std::nullopt;
}

// The update, then the read of the device that comes back with the new version.
std::optional<int> updateAndReread(DeviceSession& session, const FirmwareImage& firmware, std::ostream& err)
{
    if (!session.updateFirmware(firmware, err))
        return cliExit::transferFailed;
    return session.readAfresh(err);
}

// A message on one line, for a line of the batch.
std::string oneLine(std::string text)
{
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// One programmed device of a batch.
struct BatchRow {
    int number = 0;
    std::string device;
    std::string firmware;
    std::string result; // "done" or "failed: why"
};

// The batch's CSV log: a header when the file is new, then a row per device, each
// appended and flushed at once so that an interrupted batch keeps every row. The file
// is opened like every other output: regular files only, never waited on, a
// write-protected one only with --force.
class BatchLog {
public:
    BatchLog(std::string path, FileWriteOptions options) : path_(std::move(path)), options_(options) {}

    // The header when the file is new or empty, or nothing when it is not; the reason
    // when the log cannot be written.
    std::string start()
    {
        std::error_code error;
        const bool fresh = !std::filesystem::exists(path_, error) || std::filesystem::file_size(path_, error) == 0;
        return appendToFile(path_, fresh ? "number,time,device,firmware,result\n" : "", options_).error;
    }
    // False when the row could not be written.
    bool add(const BatchRow& row)
    {
        const std::string line = std::to_string(row.number) + ',' + utcTimestamp() + ',' + row.device + ','
            + row.firmware + ',' + csvField(row.result) + '\n';
        return appendToFile(path_, line, options_).ok();
    }

private:
    static std::string utcTimestamp()
    {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
        return text;
    }
    // Quoted, with its quotes doubled, when it holds a comma or a quote.
    static std::string csvField(const std::string& text)
    {
        if (text.find_first_of(",\"") == std::string::npos)
            return text;
        std::string quoted = "\"";
        for (const char c : text)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        return quoted + "\"";
    }

    std::string path_;
    FileWriteOptions options_;
};

// Ctrl-C in a batch: the device being programmed is finished and logged first; a
// second Ctrl-C ends the program at once.
std::atomic<bool> batchInterrupted{false};

void onBatchInterrupt(int)
{
    batchInterrupted = true;
}

class BatchInterruptHandler {
public:
    BatchInterruptHandler()
    {
        struct sigaction action {};
        action.sa_handler = onBatchInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~BatchInterruptHandler() { sigaction(SIGINT, &previous_, nullptr); }
    BatchInterruptHandler(const BatchInterruptHandler&) = delete;
    BatchInterruptHandler& operator=(const BatchInterruptHandler&) = delete;

private:
    struct sigaction previous_ {};
};

} // namespace

ConfigRead readDeviceConfiguration(HidTransport& transport, Waiter& waiter, std::ostream& out, std::ostream& err)
{
    ConfigRead result;
    DeviceSession session(transport, waiter, out);
    if (const auto failed = session.connectAndRead(err)) {
        result.exitCode = *failed;
        return result;
    }
    result.image = session.image();
    return result;
}

int runDeviceStatusCommand(const Arguments&, std::ostream& out, std::ostream& err)
{
    return onDefaultStick(
        err, [&](HidTransport& transport, Waiter& waiter) { return runDeviceStatus(transport, waiter, out, err); });
}

int runDeviceReadCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    return onDefaultStick(err, [&](HidTransport& transport, Waiter& waiter) {
        return runDeviceRead(transport, waiter, *args.value("-o"), args.value("--raw"), out, err, outputOptions(args));
    });
}

int runDeviceWriteCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    if (args.flag("--batch")) {
        if (args.flag("--no-verify"))
            return usageError(err, "--batch verifies every device; --no-verify does not go with it");
        DeviceBatch batch{.path = args.positional.front(),
                          .logPath = args.value("--log"),
                          .logOptions = outputOptions(args),
                          .updateFirmware = args.flag("--update-fw"),
                          .count = std::nullopt,
                          .interrupted = &batchInterrupted};
        if (const std::string* count = args.value("--count")) {
            batch.count = parseDecimal(*count);
            if (batch.count.value_or(0) < 1)
                return usageError(err, "--count takes a number of devices from 1, not " + *count);
        }
        const BatchInterruptHandler interruptHandler;
        return onDefaultStick(err, [&](HidTransport& transport, Waiter& waiter) {
            return runDeviceBatch(transport, waiter, batch, out, err);
        });
    }
    if (args.flag("--update-fw") || args.value("--log") || args.value("--count") || args.flag("--force"))
        return usageError(err, "--log, --force, --count and --update-fw go with --batch");
    return onDefaultStick(err, [&](HidTransport& transport, Waiter& waiter) {
        return runDeviceWrite(transport, waiter, args.positional.front(), out, err, !args.flag("--no-verify"));
    });
}

int runDeviceUpdateFwCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::string* path = args.positional.empty() ? nullptr : &args.positional.front();
    return onDefaultStick(err, [&](HidTransport& transport, Waiter& waiter) {
        return runDeviceUpdateFw(transport, waiter, path, out, err);
    });
}

} // namespace cliCommands

using namespace cliCommands;

int runDeviceStatus(HidTransport& transport, Waiter& waiter, std::ostream& out, std::ostream& err)
{
    DeviceSession session(transport, waiter, out);
    if (const auto failed = session.connect(err))
        return *failed;
    const DeviceIdentification& identification = session.engine().identification();
    out << "Device Nr. " << identification.deviceNumber() << '\n' << firmwareVersionText(identification) << '\n';
    return cliExit::success;
}

int runDeviceRead(HidTransport& transport, Waiter& waiter, const std::string& path, const std::string* rawPath,
                  std::ostream& out, std::ostream& err, FileWriteOptions save)
{
    const ConfigRead read = readDeviceConfiguration(transport, waiter, out, err);
    if (read.exitCode != cliExit::success)
        return read.exitCode;
    const EeBlock& image = read.image;
    for (const auto& [file, bytes] : {std::pair{&path, saveConfiguration(image, "")},
                                      std::pair{rawPath, std::string(image.begin(), image.end())}}) {
        if (!file)
            continue;
        if (!saveOutputFile(*file, bytes, save, err))
            return cliExit::invalidInput;
        out << "Wrote " << *file << '\n';
    }
    return cliExit::success;
}

int runDeviceWrite(HidTransport& transport, Waiter& waiter, const std::string& path, std::ostream& out,
                   std::ostream& err, bool verify)
{
    const auto loaded = loadConfigurationFile(path, {}, err);
    if (!loaded)
        return cliExit::invalidInput;
    DeviceSession session(transport, waiter, out);
    if (const auto failed = session.connectAndRead(err))
        return *failed;
    const std::string device = session.engine().identification().deviceNumber();
    if (const auto failed = writeAndVerify(session, loaded->image, verify, err))
        return *failed;
    out << "Wrote " << path << " to device " << device << (verify ? ", verified" : "") << '\n';
    return cliExit::success;
}

int runDeviceBatch(HidTransport& transport, Waiter& waiter, const DeviceBatch& batch, std::ostream& out,
                   std::ostream& err)
{
    const auto loaded = loadConfigurationFile(batch.path, {}, err);
    if (!loaded)
        return cliExit::invalidInput;
    std::optional<FirmwareImage> firmware;
    if (batch.updateFirmware && !(firmware = builtInFirmware(err)))
        return cliExit::invalidInput;
    std::optional<BatchLog> log;
    if (batch.logPath) {
        log.emplace(*batch.logPath, batch.logOptions);
        if (const std::string problem = log->start(); !problem.empty()) {
            err << "Cannot write the log " << *batch.logPath << " (" << problem << ").\n";
            return cliExit::invalidInput;
        }
    }
    std::ostream quiet(nullptr);
    DeviceSession session(transport, waiter, quiet);
    if (const auto failed = session.start(err))
        return *failed;
    out << "Waiting for devices; each one is written and verified (Ctrl-C ends).\n" << std::flush;
    std::optional<std::string> previous;
    int done = 0;
    int failedDevices = 0;
    int lostRows = 0;
    const auto summary = [&] {
        out << done + failedDevices << (done + failedDevices == 1 ? " device: " : " devices: ") << done << " done, "
            << failedDevices << " failed.\n";
    };
    while (!batch.count || done + failedDevices < *batch.count) {
        const auto wait = session.awaitAnotherDevice(previous, batch.interrupted);
        if (wait == DeviceSession::DeviceWait::interrupted)
            break;
        if (wait == DeviceSession::DeviceWait::stickGone) {
            summary();
            err << DeviceSession::kPulledOut << '\n';
            return cliExit::transferFailed;
        }
        const int number = done + failedDevices + 1;
        const DeviceIdentification identification = session.engine().identification();
        previous = identification.deviceNumber();
        // A read the announcement started may have run already: each device is read afresh.
        std::ostringstream why;
        std::optional<int> failed = session.readAfresh(why);
        if (!failed && firmware && identification.firmware != firmware->fwVersion)
            failed = updateAndReread(session, *firmware, why);
        if (!failed)
            failed = writeAndVerify(session, loaded->image, true, why);
        ++(failed ? failedDevices : done);
        const BatchRow row{number, *previous, firmwareVersionText(session.engine().identification()),
                           failed ? "failed: " + oneLine(why.str()) : "done"};
        out << row.number << "  Device Nr. " << row.device << "  " << row.firmware << "  " << row.result << std::endl;
        if (log && !log->add(row)) {
            ++lostRows;
            err << "The row of device " << number << " could not be written to " << *batch.logPath << ".\n";
        }
        if (batch.interrupted && *batch.interrupted)
            break;
    }
    summary();
    if (failedDevices > 0)
        return cliExit::transferFailed;
    return lostRows > 0 ? cliExit::invalidInput : cliExit::success;
}

int runDeviceUpdateFw(HidTransport& transport, Waiter& waiter, const std::string* path, std::ostream& out,
                      std::ostream& err)
{
    const auto firmware = path ? firmwareFromFile(*path, err) : builtInFirmware(err);
    if (!firmware)
        return cliExit::invalidInput;
    DeviceSession session(transport, waiter, out);
    // The device takes an update only between whole operations, as the window offers it.
    if (const auto failed = session.connectAndRead(err))
        return *failed;
    const DeviceIdentification& identification = session.engine().identification();
    out << "Updating device " << identification.deviceNumber() << " from " << firmwareVersionText(identification)
        << " to " << firmwareVersionText(firmware->fwVersion) << '\n';
    if (!session.updateFirmware(*firmware, err))
        return cliExit::transferFailed;
    out << "FW Update finished.\nThe device announces " << firmwareVersionText(identification) << ".\n";
    return cliExit::success;
}

} // namespace ormid
