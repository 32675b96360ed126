// ormid-cli's device commands: device status, read, write and update-fw on the
// Ormid connected to a stick in USB Stick mode, through the link engine.

#include <algorithm>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_commands.h"
#include "core/image.h"
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

// The link engine for the command line: ticks it on the waiter and waits for the
// outcome that ends an operation; progress lines go to `progress`.
class DeviceSession {
public:
    static constexpr int kIdentifyTicks = 100;
    // The engine ends every operation itself: each frame is given up after its sixth
    // unanswered try. These bounds, past that worst case, only keep a fault of ours
    // from waiting for ever.
    static constexpr int kReadFrames = 10;
    static constexpr int kWriteFrames = 20;
    static constexpr int ticksFor(int frames)
    {
        return LinkEngine::kReadPauseTicks + (frames * LinkEngine::kMaxTries + 1) * LinkEngine::kReplyTimeoutTicks;
    }

    DeviceSession(HidTransport& transport, Waiter& waiter, std::ostream& progress)
        : transport_(transport), waiter_(waiter), progress_(progress), engine_(transport, image_, {.skipFW = true})
    {
    }

    // Finds the stick in USB Stick mode and waits for the device's identification;
    // the exit code when that fails.
    std::optional<int> connect(std::ostream& err)
    {
        StickProbe probe;
        if (const auto failed = probeFailure(runStickProbe(probe, transport_, waiter_), ProbeResult::usbStickMode, err))
            return failed;
        engine_.start();
        for (int tick = 0; tick < kIdentifyTicks && engine_.stickState() != LinkEngine::kRead; ++tick)
            nextTick();
        if (engine_.stickState() != LinkEngine::kRead) {
            err << "No device announced itself on the stick.\n";
            return cliExit::transferFailed;
        }
        return std::nullopt;
    }

    // Finds the device and reads its memory into the image (the read its identification
    // starts); the exit code when either fails.
    std::optional<int> connectAndRead(std::ostream& err)
    {
        if (const auto failed = connect(err))
            return failed;
        if (awaitEnd(ticksFor(kReadFrames)) == LinkOutcome::readDone)
            return std::nullopt;
        err << "Reading the device failed.\n";
        return cliExit::transferFailed;
    }

    // Writes the image to the device with the engine's repeats.
    bool write(std::ostream& err)
    {
        if (engine_.startWrite() == LinkStart::started && awaitEnd(ticksFor(kWriteFrames)) == LinkOutcome::writeDone)
            return true;
        err << kTransferError << '\n';
        return false;
    }

    // Sends the firmware page by page and the Reset after the last; false when a page
    // is refused or the device stops answering.
    bool updateFirmware(const FirmwareImage& firmware, std::ostream& err)
    {
        if (!engine_.setFirmware(firmware.fwImage, firmware.fwSize)) {
            err << "The firmware image does not hold the " << firmware.fwSize << " bytes it announces.\n";
            return false;
        }
        if (engine_.startUpdate() != LinkStart::started) {
            err << "The firmware update could not start.\n";
            return false;
        }
        // An unanswered segment ends the update at once.
        const int segments = engine_.firmwarePages() * kSegmentsPerPage;
        const std::optional<LinkOutcome> end = awaitEnd((segments + 1) * LinkEngine::kReplyTimeoutTicks);
        const std::string page
            = std::to_string(engine_.firmwareProgress()) + " of " + std::to_string(engine_.firmwarePages());
        if (end == LinkOutcome::updateDone)
            return true;
        if (end == LinkOutcome::updateUnanswered)
            err << "The device stopped answering at firmware page " << page << ".\n";
        else if (end == LinkOutcome::updateRefused)
            err << "The device refused firmware page " << page << ".\n";
        else
            err << "The firmware update did not end (page " << page << ").\n";
        return false;
    }

    EeBlock& image() { return image_; }
    const LinkEngine& engine() const { return engine_; }

private:
    // Outcomes that end a read, a write or an update, for better or worse.
    static bool endsAnOperation(LinkOutcome outcome)
    {
        static constexpr LinkOutcome kEnds[] = {
            LinkOutcome::deviceGone,    LinkOutcome::readDone,         LinkOutcome::readFailed,
            LinkOutcome::writeDone,     LinkOutcome::writeFailed,      LinkOutcome::updateDone,
            LinkOutcome::updateRefused, LinkOutcome::updateUnanswered,
        };
        return std::find(std::begin(kEnds), std::end(kEnds), outcome) != std::end(kEnds);
    }

    // Ticks until an outcome ends the running operation; nullopt after `maxTicks`.
    std::optional<LinkOutcome> awaitEnd(int maxTicks)
    {
        for (int tick = 0; tick < maxTicks; ++tick) {
            for (const LinkOutcome outcome : nextTick()) {
                if (endsAnOperation(outcome))
                    return outcome;
            }
        }
        return std::nullopt;
    }

    std::vector<LinkOutcome> nextTick()
    {
        waiter_.sleep(LinkEngine::kTickPeriod);
        std::vector<LinkOutcome> outcomes = engine_.tick();
        for (const LinkOutcome outcome : outcomes) {
            if (outcome == LinkOutcome::pageSent)
                progress_ << "page " << engine_.firmwareProgress() << '/' << engine_.firmwarePages() << std::endl;
        }
        return outcomes;
    }

    HidTransport& transport_;
    Waiter& waiter_;
    std::ostream& progress_;
    EeBlock image_ = makeDefaultImage();
    LinkEngine engine_;
};

// The firmware of a `.kdp` file as "Load" takes it; nullopt (the reason on `err`) when refused.
std::optional<FirmwareImage> firmwareFromFile(const std::string& path, std::ostream& err)
{
    const auto file = readWholeFile(path);
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
        err << "The image size " << firmware.fwSize << " does not fit the " << kFirmwareBufferSize
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

} // namespace

int runDeviceStatusCommand(const Arguments&, std::ostream& out, std::ostream& err)
{
    return onDefaultStick(
        [&](HidTransport& transport, Waiter& waiter) { return runDeviceStatus(transport, waiter, out, err); });
}

int runDeviceReadCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    return onDefaultStick([&](HidTransport& transport, Waiter& waiter) {
        return runDeviceRead(transport, waiter, *args.value("-o"), args.value("--raw"), out, err);
    });
}

int runDeviceWriteCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    return onDefaultStick([&](HidTransport& transport, Waiter& waiter) {
        return runDeviceWrite(transport, waiter, args.positional.front(), out, err);
    });
}

int runDeviceUpdateFwCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::string* path = args.positional.empty() ? nullptr : &args.positional.front();
    return onDefaultStick(
        [&](HidTransport& transport, Waiter& waiter) { return runDeviceUpdateFw(transport, waiter, path, out, err); });
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
                  std::ostream& out, std::ostream& err)
{
    DeviceSession session(transport, waiter, out);
    if (const auto failed = session.connectAndRead(err))
        return *failed;
    const EeBlock& image = session.image();
    for (const auto& [file, bytes] : {std::pair{&path, saveConfiguration(image, "")},
                                      std::pair{rawPath, std::string(image.begin(), image.end())}}) {
        if (!file)
            continue;
        if (const auto written = writeFileAtomically(*file, bytes); !written.ok()) {
            err << written.error << '\n';
            return cliExit::invalidInput;
        }
        out << "Wrote " << *file << '\n';
    }
    return cliExit::success;
}

int runDeviceWrite(HidTransport& transport, Waiter& waiter, const std::string& path, std::ostream& out,
                   std::ostream& err)
{
    const auto loaded = loadConfigurationFile(path, {}, err);
    if (!loaded)
        return cliExit::invalidInput;
    DeviceSession session(transport, waiter, out);
    if (const auto failed = session.connectAndRead(err))
        return *failed;
    std::copy_n(loaded->image.begin(), kStoredImageBytes, session.image().begin());
    if (!session.write(err))
        return cliExit::transferFailed;
    out << "Wrote " << path << " to device " << session.engine().identification().deviceNumber() << '\n';
    return cliExit::success;
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
        << " to FW 1." << static_cast<int>(firmware->fwVersion) << '\n';
    if (!session.updateFirmware(*firmware, err))
        return cliExit::transferFailed;
    out << "FW Update finished.\n";
    return cliExit::success;
}

} // namespace ormid
