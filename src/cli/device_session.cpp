#include "cli/device_session.h"

#include <algorithm>
#include <ostream>
#include <string_view>

#include "cli/cli.h"
#include "cli/cli_commands.h"
#include "link/stick_frames.h"
#include "link/stick_probe.h"

namespace ormid {

namespace {

// Outcomes that end a read or a write, for better or worse.
constexpr LinkOutcome kOperationEnds[] = {
    LinkOutcome::deviceGone, LinkOutcome::readDone,    LinkOutcome::readFailed,
    LinkOutcome::writeDone,  LinkOutcome::writeFailed,
};
// Outcomes that end the wait for the device's return from the Reset before the pages.
constexpr LinkOutcome kPagesBegin[] = {LinkOutcome::deviceGone, LinkOutcome::pagesBegin, LinkOutcome::updateNotStarted};
// Outcomes that end the sending of the pages.
constexpr LinkOutcome kUpdateEnds[] = {
    LinkOutcome::deviceGone,
    LinkOutcome::resetSent,
    LinkOutcome::updateRefused,
    LinkOutcome::updateUnanswered,
};
// After the Reset: the device is expected to go and to come back.
constexpr LinkOutcome kRestartEnds[]
    = {LinkOutcome::updateDone, LinkOutcome::updateNotTaken, LinkOutcome::updateUnconfirmed};

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

// A refusal ('Y', '['), or a reply that answers another segment ('Z' to segment 1 or 2, 'X' to segment 3).
std::string refusalText(const FirmwareStop& stop, const std::string& page)
{
    const Byte code = stop.reply.value_or(0);
    const bool accepted = code == static_cast<Byte>(ReplyCode::segmentAccepted);
    if (!accepted && code != static_cast<Byte>(ReplyCode::pageWritten))
        return "The device refused firmware page " + page + ".";
    return "The device answered segment " + std::to_string(stop.segment) + " of firmware page " + page + " with '"
        + std::string(1, static_cast<char>(code)) + "', which answers " + (accepted ? "segments 1 and 2" : "segment 3")
        + " only: the update was stopped.";
}

} // namespace

DeviceSession::DeviceSession(HidTransport& transport, Waiter& waiter, std::ostream& progress)
    : transport_(transport), waiter_(waiter), progress_(progress), engine_(transport, image_, {.skipFW = true})
{
}

std::optional<int> DeviceSession::start(std::ostream& err)
{
    StickProbe probe;
    if (const auto failed
        = cliCommands::probeFailure(runStickProbe(probe, transport_, waiter_), ProbeResult::usbStickMode, err))
        return failed;
    engine_.start();
    return std::nullopt;
}

std::optional<int> DeviceSession::connect(std::ostream& err)
{
    if (const auto failed = start(err))
        return failed;
    return awaitIdentification(err);
}

std::optional<int> DeviceSession::connectAndRead(std::ostream& err)
{
    if (const auto failed = connect(err))
        return failed;
    return awaitRead(err);
}

DeviceSession::DeviceWait DeviceSession::awaitAnotherDevice(const std::optional<std::string>& previous,
                                                            const std::atomic<bool>* interrupted)
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

std::optional<int> DeviceSession::readAfresh(std::ostream& err)
{
    for (int tick = 0; tick < LinkEngine::kReadPauseTicks && !stickGone_; ++tick)
        nextTick();
    if (engine_.startRead() != LinkStart::started) {
        err << (stickGone_ ? kPulledOut : "The device could not be read.") << '\n';
        return cliExit::transferFailed;
    }
    return awaitRead(err);
}

std::optional<int> DeviceSession::readBack(std::ostream& err)
{
    if (const auto failed = awaitIdentification(err))
        return failed;
    return awaitRead(err);
}

bool DeviceSession::write(std::ostream& err)
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

bool DeviceSession::updateFirmware(const FirmwareImage& firmware, std::ostream& err)
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

std::optional<int> DeviceSession::awaitIdentification(std::ostream& err)
{
    for (int tick = 0; tick < kIdentifyTicks && !stickGone_ && engine_.isWaitingForDevice(); ++tick)
        nextTick();
    if (!engine_.isWaitingForDevice())
        return std::nullopt;
    err << (stickGone_ ? kPulledOut : "No device announced itself on the stick.") << '\n';
    return cliExit::transferFailed;
}

std::optional<int> DeviceSession::awaitRead(std::ostream& err)
{
    if (awaitEnd(ticksFor(kReadFrames), kOperationEnds) == LinkOutcome::readDone)
        return std::nullopt;
    err << "Reading the device failed" << (stickGone_ ? ": the stick was pulled out.\n" : ".\n");
    return cliExit::transferFailed;
}

std::string DeviceSession::notBackText(std::optional<LinkOutcome> end) const
{
    if (stickGone_)
        return "The stick was pulled out before the device came back from the Reset that starts the update";
    if (end == LinkOutcome::deviceGone)
        return "The stick reports no device after the Reset that starts the update";
    return "The device did not come back from the Reset that starts the update within "
        + std::to_string(LinkEngine::kRestartTicks / 10) + " s";
}

std::string DeviceSession::updateStopText(std::optional<LinkOutcome> end) const
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

bool DeviceSession::awaitRestart(std::ostream& err)
{
    const std::optional<LinkOutcome> end = awaitEnd(LinkEngine::kRestartTicks + 1, kRestartEnds);
    if (end == LinkOutcome::updateDone)
        return true;
    err << "All " << engine_.firmwarePages() << " pages were acknowledged";
    if (stickGone_)
        err << ", but the stick was pulled out before the device announced itself after the Reset: whether it "
            << "got the Reset and runs " << firmwareVersionText(engine_.firmwareVersion()) << " is not known";
    else if (end == LinkOutcome::updateNotTaken)
        err << " and the device was reset, but it announces " << firmwareVersionText(engine_.identification())
            << ", not " << firmwareVersionText(engine_.firmwareVersion());
    else
        err << " and the Reset was sent, but the device did not announce itself within "
            << LinkEngine::kRestartTicks / 10 << " s";
    err << ": the update is not confirmed.\n";
    return false;
}

std::optional<LinkOutcome> DeviceSession::awaitEnd(int maxTicks, std::span<const LinkOutcome> ends)
{
    for (int tick = 0; tick < maxTicks && !stickGone_; ++tick) {
        for (const LinkOutcome outcome : nextTick()) {
            if (std::find(ends.begin(), ends.end(), outcome) != ends.end())
                return outcome;
        }
    }
    return std::nullopt;
}

// The engine's tick comes before the look for the stick: a reply the stick sent
// before it was pulled out still counts.
std::vector<LinkOutcome> DeviceSession::nextTick()
{
    waiter_.sleep(LinkEngine::kTickPeriod);
    std::vector<LinkOutcome> outcomes = engine_.tick();
    if (++ticks_ % kPresenceTicks == 0 && !findStick(transport_))
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

} // namespace ormid
