// ormid-cli's device commands: device status, read, write (one device or a batch)
// and update-fw on the Ormid connected to a stick in USB Stick mode, through the
// link engine.

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
#include "core/image.h"
#include "core/text_lines.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "link/embedded_firmware.h"
#include "link/firmware_image.h"
#include "link/hid_transport.h"
#include "link/link_engine.h"
#include "link/stick_frames.h"
#include "link/stick_probe.h"
#include "link/waiter.h"

namespace ormid {

namespace cliCommands {

namespace {

// "bytes 25 to 49", or "byte 7".
std::string byteRange(std::size_t first, std::size_t last)
{
    return first == last ? "byte " + std::to_string(first)
                         : "bytes " + std::to_string(first) + " to " + std::to_string(last);
}

// Which bytes a write that did not end left new on the device. Of the frame whose
// acknowledgement never came nobody knows whether the device carried it out.
std::string writtenBytesText(const WriteProgress& progress)
{
    constexpr std::size_t kMemoryEnd = LinkEngine::kWrittenBytes;
    constexpr std::size_t kEeEnd = std::size_t{LinkEngine::kWriteFrames / 2} * kWriteEeChunk; // 120
    // The frame at `from` unconfirmed, the ones after it not sent.
    const auto open = [](std::string_view frame, std::size_t from, std::size_t chunk, std::size_t end) {
        std::string text = "; the " + std::string(frame) + " for " + byteRange(from, std::min(from + chunk, end) - 1)
            + " may or may not have been carried out";
        if (from + chunk < end)
            text += "; " + std::string(frame) + "s for " + byteRange(from + chunk, end - 1) + " were not sent";
        return text + ".";
    };
    if (progress.memoryBytes < kMemoryEnd)
        return "The device confirmed "
            + (progress.memoryBytes == 0 ? std::string("no frame") : byteRange(0, progress.memoryBytes - 1))
            + open("Write Memory frame", progress.memoryBytes, kWriteMemoryChunk, kMemoryEnd);
    return "The device confirmed " + byteRange(0, kMemoryEnd - 1)
        + (progress.eeBytes == 0 ? std::string() : " and the Write EE frames for " + byteRange(0, progress.eeBytes - 1))
        + open("Write EE frame", progress.eeBytes, kWriteEeChunk, kEeEnd);
}

constexpr const char* kPulledOut = "The stick was pulled out.";

std::string versionText(Byte version)
{
    return firmwareVersionText(DeviceIdentification{.id = {}, .firmware = version});
}

// The link engine for the command line: ticks it on the waiter and waits for the
// outcome that ends an operation; progress lines go to `progress`. It looks for the
// stick once a second, so that a stick pulled out ends the wait at once instead of
// after every repeat of a frame nobody receives.
class DeviceSession {
public:
    static constexpr int kIdentifyTicks = 100;
    static constexpr int kPresenceTicks = 10;
    // The engine ends every operation itself: each frame is given up after its sixth
    // unanswered try. These bounds, past that worst case, only keep a fault of ours
    // from waiting for ever.
    static constexpr int kReadFrames = 10;
    static constexpr int ticksFor(int frames)
    {
        return LinkEngine::kReadPauseTicks + (frames * LinkEngine::kMaxTries + 1) * LinkEngine::kReplyTimeoutTicks;
    }

    DeviceSession(HidTransport& transport, Waiter& waiter, std::ostream& progress)
        : transport_(transport), waiter_(waiter), progress_(progress), engine_(transport, image_, {.skipFW = true})
    {
    }

    // Finds the stick in USB Stick mode and starts listening for the device; the exit
    // code when the stick is missing or in the other mode.
    std::optional<int> start(std::ostream& err)
    {
        StickProbe probe;
        if (const auto failed = probeFailure(runStickProbe(probe, transport_, waiter_), ProbeResult::usbStickMode, err))
            return failed;
        engine_.start();
        return std::nullopt;
    }

    // Finds the stick and waits for the device's identification; the exit code when
    // either fails.
    std::optional<int> connect(std::ostream& err)
    {
        if (const auto failed = start(err))
            return failed;
        return awaitIdentification(err);
    }

    // Finds the device and reads its memory into the image (the read its identification
    // starts); the exit code when either fails.
    std::optional<int> connectAndRead(std::ostream& err)
    {
        if (const auto failed = connect(err))
            return failed;
        return awaitRead(err);
    }

    enum class DeviceWait { arrived, interrupted, stickGone };

    // Batch: waits, however long, until a device with another number than `previous`
    // (none before the first) has announced itself and is not being read, or until
    // `interrupted` is set.
    DeviceWait awaitAnotherDevice(const std::optional<std::string>& previous, const std::atomic<bool>* interrupted)
    {
        for (;;) {
            if (stickGone_)
                return DeviceWait::stickGone;
            if (interrupted && *interrupted)
                return DeviceWait::interrupted;
            if (engine_.isIdle() && engine_.identification().deviceNumber() != previous)
                return DeviceWait::arrived;
            nextTick();
        }
    }

    // Reads the device memory again into the image, after the second a device needs
    // once it has announced itself (a device back from an update is not read by itself).
    std::optional<int> readAfresh(std::ostream& err)
    {
        for (int tick = 0; tick < LinkEngine::kReadPauseTicks && !stickGone_; ++tick)
            nextTick();
        if (engine_.startRead() != LinkStart::started) {
            err << (stickGone_ ? kPulledOut : "The device could not be read.") << '\n';
            return cliExit::transferFailed;
        }
        return awaitRead(err);
    }

    // After a write: the read the device's next identification starts, into the image.
    std::optional<int> readBack(std::ostream& err)
    {
        if (const auto failed = awaitIdentification(err))
            return failed;
        return awaitRead(err);
    }

    // Writes the image to the device with the engine's repeats, a "frame n/20" line for
    // each frame the device acknowledges.
    bool write(std::ostream& err)
    {
        if (engine_.startWrite() == LinkStart::started
            && awaitEnd(ticksFor(LinkEngine::kWriteFrames), kOperationEnds) == LinkOutcome::writeDone)
            return true;
        err << kTransferError << '\n';
        if (stickGone_)
            err << kPulledOut << '\n';
        err << writtenBytesText(engine_.writeProgress()) << " Writing the whole file again recovers.\n";
        return false;
    }

    // Resets the device, sends the firmware page by page once it is back and the Reset
    // after the last, then waits for the device to come back with the new version;
    // false when it does not come back, a page is refused or unanswered, or the device
    // comes back with another version.
    bool updateFirmware(const FirmwareImage& firmware, std::ostream& err)
    {
        if (!engine_.setFirmware(firmware.fwImage, firmware.fwSize, firmware.fwVersion)) {
            err << "The firmware image does not hold the " << firmware.fwSize << " bytes it announces.\n";
            return false;
        }
        if (engine_.startUpdate() != LinkStart::started) {
            err << "The firmware update could not start.\n";
            return false;
        }
        progress_ << "Reset: the device restarts, so that no unfinished update is left in it" << std::endl;
        const std::optional<LinkOutcome> back = awaitEnd(LinkEngine::kRestartTicks + 1, kPagesBegin);
        if (back != LinkOutcome::pagesBegin) {
            err << notBackText(back) << ": no firmware page was sent.\n";
            return false;
        }
        // An unanswered segment ends the update at once.
        const int segments = engine_.firmwarePages() * kSegmentsPerPage;
        const std::optional<LinkOutcome> end = awaitEnd((segments + 1) * LinkEngine::kReplyTimeoutTicks, kUpdateEnds);
        if (end == LinkOutcome::resetSent)
            return awaitRestart(err);
        err << updateStopText(end) << " The device may be left in the middle of the update; the next update "
            << "resets it before its first page.\n";
        return false;
    }

    EeBlock& image() { return image_; }
    const LinkEngine& engine() const { return engine_; }

private:
    // Outcomes that end a read or a write, for better or worse.
    static constexpr LinkOutcome kOperationEnds[] = {
        LinkOutcome::deviceGone, LinkOutcome::readDone,    LinkOutcome::readFailed,
        LinkOutcome::writeDone,  LinkOutcome::writeFailed,
    };
    // Outcomes that end the wait for the device's return from the Reset before the pages.
    static constexpr LinkOutcome kPagesBegin[]
        = {LinkOutcome::deviceGone, LinkOutcome::pagesBegin, LinkOutcome::updateNotStarted};
    // Outcomes that end the sending of the pages.
    static constexpr LinkOutcome kUpdateEnds[] = {
        LinkOutcome::deviceGone,
        LinkOutcome::resetSent,
        LinkOutcome::updateRefused,
        LinkOutcome::updateUnanswered,
    };
    // After the Reset: the device is expected to go and to come back.
    static constexpr LinkOutcome kRestartEnds[]
        = {LinkOutcome::updateDone, LinkOutcome::updateNotTaken, LinkOutcome::updateUnconfirmed};

    std::optional<int> awaitIdentification(std::ostream& err)
    {
        for (int tick = 0; tick < kIdentifyTicks && !stickGone_ && engine_.isWaitingForDevice(); ++tick)
            nextTick();
        if (!engine_.isWaitingForDevice())
            return std::nullopt;
        err << (stickGone_ ? kPulledOut : "No device announced itself on the stick.") << '\n';
        return cliExit::transferFailed;
    }

    std::optional<int> awaitRead(std::ostream& err)
    {
        if (awaitEnd(ticksFor(kReadFrames), kOperationEnds) == LinkOutcome::readDone)
            return std::nullopt;
        err << "Reading the device failed" << (stickGone_ ? ": the stick was pulled out.\n" : ".\n");
        return cliExit::transferFailed;
    }

    // Why the device did not come back from the Reset before the pages.
    std::string notBackText(std::optional<LinkOutcome> end) const
    {
        if (stickGone_)
            return "The stick was pulled out before the device came back from the Reset that starts the update";
        if (end == LinkOutcome::deviceGone)
            return "The stick reports no device after the Reset that starts the update";
        return "The device did not come back from the Reset that starts the update within "
            + std::to_string(LinkEngine::kRestartTicks / 10) + " s";
    }

    // Why the pages stopped. Of the segment in flight nobody knows whether the device took it.
    std::string updateStopText(std::optional<LinkOutcome> end) const
    {
        const std::optional<FirmwareStop>& stop = engine_.firmwareStop();
        const int pageNumber = engine_.firmwarePageInFlight();
        const std::string page = std::to_string(pageNumber) + " of " + std::to_string(engine_.firmwarePages());
        const std::string mayBeStored = ": page " + std::to_string(pageNumber) + " may or may not have been stored.";
        if (stickGone_)
            return "The stick was pulled out at firmware page " + page + mayBeStored;
        if (end == LinkOutcome::updateUnanswered)
            return "The device stopped answering at firmware page " + page + mayBeStored;
        if (end == LinkOutcome::updateRefused && stop)
            return refusalText(*stop, page);
        if (end == LinkOutcome::deviceGone)
            return "The stick reports no device any more, at firmware page " + page + mayBeStored;
        return "The firmware update did not end (page " + page + ")" + mayBeStored;
    }

    // A refusal ('Y', '['), or a reply that answers another segment ('Z' to segment 1 or 2, 'X' to segment 3).
    static std::string refusalText(const FirmwareStop& stop, const std::string& page)
    {
        const Byte code = stop.reply.value_or(0);
        const bool accepted = code == static_cast<Byte>(ReplyCode::segmentAccepted);
        if (!accepted && code != static_cast<Byte>(ReplyCode::pageWritten))
            return "The device refused firmware page " + page + ".";
        return "The device answered segment " + std::to_string(stop.segment) + " of firmware page " + page + " with '"
            + std::string(1, static_cast<char>(code)) + "', which answers "
            + (accepted ? "segments 1 and 2" : "segment 3") + " only: the update was stopped.";
    }

    bool awaitRestart(std::ostream& err)
    {
        const std::optional<LinkOutcome> end = awaitEnd(LinkEngine::kRestartTicks + 1, kRestartEnds);
        if (end == LinkOutcome::updateDone)
            return true;
        err << "All " << engine_.firmwarePages() << " pages were acknowledged";
        if (stickGone_)
            err << ", but the stick was pulled out before the device announced itself after the Reset: whether it "
                << "got the Reset and runs " << versionText(engine_.firmwareVersion()) << " is not known";
        else if (end == LinkOutcome::updateNotTaken)
            err << " and the device was reset, but it announces " << firmwareVersionText(engine_.identification())
                << ", not " << versionText(engine_.firmwareVersion());
        else
            err << " and the Reset was sent, but the device did not announce itself within "
                << LinkEngine::kRestartTicks / 10 << " s";
        err << ": the update is not confirmed.\n";
        return false;
    }

    // Ticks until one of `ends` comes; nullopt after `maxTicks` or when the stick is gone.
    template <std::size_t N>
    std::optional<LinkOutcome> awaitEnd(int maxTicks, const LinkOutcome (&ends)[N])
    {
        for (int tick = 0; tick < maxTicks && !stickGone_; ++tick) {
            for (const LinkOutcome outcome : nextTick()) {
                if (std::find(std::begin(ends), std::end(ends), outcome) != std::end(ends))
                    return outcome;
            }
        }
        return std::nullopt;
    }

    // The engine's tick comes before the look for the stick: a reply the stick sent
    // before it was pulled out still counts.
    std::vector<LinkOutcome> nextTick()
    {
        waiter_.sleep(LinkEngine::kTickPeriod);
        std::vector<LinkOutcome> outcomes = engine_.tick();
        if (++ticks_ % kPresenceTicks == 0 && !transport_.findHidDevice(kStickVendorId, kStickProductId))
            stickGone_ = true;
        for (const LinkOutcome outcome : outcomes) {
            if (outcome == LinkOutcome::pageSent)
                progress_ << "page " << engine_.firmwareProgress() << '/' << engine_.firmwarePages() << std::endl;
            if (outcome == LinkOutcome::frameWritten)
                progress_ << "frame " << engine_.writeProgress().framesAcknowledged << '/' << LinkEngine::kWriteFrames
                          << std::endl;
        }
        return outcomes;
    }

    HidTransport& transport_;
    Waiter& waiter_;
    std::ostream& progress_;
    EeBlock image_ = makeDefaultImage();
    LinkEngine engine_;
    int ticks_ = 0;
    bool stickGone_ = false;
};

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
    if (!loadRes(firmware, embeddedFirmwareContainer(), true)) {
        err << "The built-in firmware container is damaged.\n";
        return std::nullopt;
    }
    // In USB Stick mode loadRes leaves the record's version alone; the header's is the image's.
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
            err << kPulledOut << '\n';
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
        << " to " << versionText(firmware->fwVersion) << '\n';
    if (!session.updateFirmware(*firmware, err))
        return cliExit::transferFailed;
    out << "FW Update finished.\nThe device announces " << firmwareVersionText(identification) << ".\n";
    return cliExit::success;
}

} // namespace ormid
