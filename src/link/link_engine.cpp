#include "link/link_engine.h"

#include <algorithm>
#include <utility>

#include "core/text_lines.h"

namespace ormid {

namespace {

constexpr std::size_t kLastWriteMemoryAddress = 225; // the tenth Write Memory frame
constexpr std::size_t kLastWriteEeAddress = 96;      // 'V' below or at it: one more Write EE frame
constexpr std::size_t kReadEnd = 255;                // a read whose next address reaches it is complete
constexpr Byte kNoVersion = 0xFF;
constexpr Byte kLogShownFrom = 72;
constexpr std::uint32_t kOverTempUnitMinutes = 15;
constexpr std::size_t kDumpRow = 16;

std::uint32_t littleEndian(const EeBlock& image, std::size_t at, std::size_t count)
{
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;)
        value = (value << 8) | (at + i < image.size() ? image[at + i] : 0);
    return value;
}

// Pages of 72 bytes that carry `size` image bytes.
int pagesFor(std::size_t size)
{
    return static_cast<int>((size + kPageBytes - 1) / kPageBytes);
}

// A link reply other than the identification, which the device sends unasked.
bool answersAFrame(const Report& report)
{
    const std::optional<Byte> code = linkReplyCode(report);
    return code && *code != static_cast<Byte>(ReplyCode::identification);
}

} // namespace

DeviceLog readDeviceLog(const EeBlock& eeBlock)
{
    return {.operationMinutes = littleEndian(eeBlock, field::operatingMinutes, 3),
            .switchCount = static_cast<std::uint16_t>(littleEndian(eeBlock, field::switchCount, 2)),
            .overTempMinutes = littleEndian(eeBlock, field::overTempTime, 2) * kOverTempUnitMinutes,
            .maxTemperature = static_cast<Byte>(littleEndian(eeBlock, field::maxTemperature, 1))};
}

bool deviceLogShown(bool showLog, Byte deviceFwVersion)
{
    return showLog && deviceFwVersion >= kLogShownFrom;
}

std::string firmwareVersionText(Byte firmware)
{
    return firmware == kNoVersion ? "FW ???" : "FW 1." + std::to_string(firmware);
}

std::string firmwareVersionText(const DeviceIdentification& identification)
{
    return firmwareVersionText(identification.firmware);
}

std::string deviceText(const DeviceIdentification& identification)
{
    return "Device Nr. " + identification.deviceNumber() + ", " + firmwareVersionText(identification);
}

LinkEngine::LinkEngine(HidTransport& transport, EeBlock& eeBlock, LinkEngineOptions options, LinkLog log)
    : transport_(transport), eeBlock_(eeBlock), options_(options), log_(std::move(log))
{
}

std::string LinkEngine::versionQuestion(Byte deviceFwVersion, Byte embeddedFwVersion)
{
    return "The Ormid Firmware version (1." + std::to_string(deviceFwVersion) + ") and the embedded version (1."
        + std::to_string(embeddedFwVersion) + ") are different!" + "\r" + "Do you want to update the firmware?";
}

void LinkEngine::start()
{
    phase_ = WaitingForDevice{};
}

LinkPhase LinkEngine::phase() const
{
    return std::visit([](const auto& phase) { return phase.kPhase; }, phase_);
}

bool LinkEngine::busy() const
{
    switch (phase()) {
    case LinkPhase::notStarted:
    case LinkPhase::waitingForDevice:
    case LinkPhase::idle:
        return false;
    case LinkPhase::readPause:
    case LinkPhase::reading:
    case LinkPhase::writingMemory:
    case LinkPhase::writingEe:
    case LinkPhase::sendingSegment:
    case LinkPhase::awaitingRestart:
        return true;
    }
    return false;
}

std::optional<LinkEngine::Family> LinkEngine::awaitedFamily() const
{
    switch (phase()) {
    case LinkPhase::reading:
        return Family::read;
    case LinkPhase::writingMemory:
        return Family::writeMemory;
    case LinkPhase::writingEe:
        return Family::writeEe;
    case LinkPhase::sendingSegment:
        return Family::firmware;
    default:
        return std::nullopt;
    }
}

void LinkEngine::log(const std::string& line) const
{
    if (log_)
        log_(line);
}

const std::vector<LinkEngine::ReplyRule>& LinkEngine::replyRules()
{
    static const std::vector<ReplyRule> rules = {
        {ReplyCode::identification, std::nullopt, &LinkEngine::onIdentification},
        {ReplyCode::noDevice, std::nullopt, &LinkEngine::onNoDevice},
        {ReplyCode::memoryData, Family::read, &LinkEngine::onMemoryData},
        {ReplyCode::writeDone, Family::writeMemory, &LinkEngine::onWriteDone},
        {ReplyCode::writeFailed, Family::writeMemory, &LinkEngine::onWriteFailed},
        {ReplyCode::eeWriteDone, Family::writeEe, &LinkEngine::onEeWriteDone},
        {ReplyCode::eeWriteFailed, Family::writeEe, &LinkEngine::onEeWriteFailed},
        {ReplyCode::segmentAccepted, Family::firmware, &LinkEngine::onSegmentAccepted},
        {ReplyCode::segmentRefused, Family::firmware, &LinkEngine::onPageRefused},
        {ReplyCode::pageWritten, Family::firmware, &LinkEngine::onPageWritten},
        {ReplyCode::pageRefused, Family::firmware, &LinkEngine::onPageRefused},
    };
    return rules;
}

std::vector<LinkOutcome> LinkEngine::tick()
{
    if (phase() == LinkPhase::notStarted)
        return {};
    ++ticks_;
    if (auto* pause = std::get_if<ReadPause>(&phase_); pause && --pause->ticksLeft == 0) {
        phase_ = Reading{};
        readMemoryAt(0);
    }
    if (const std::optional<Report> report = nextReport())
        handleReport(*report);
    if (awaitedFamily() && ticks_ - awaitedSentAt_ >= kReplyTimeoutTicks)
        replyOverdue();
    if (const auto* restart = std::get_if<AwaitingRestart>(&phase_); restart && ticks_ >= restart->deadline)
        restartMissed();
    return std::exchange(outcomes_, {});
}

std::optional<Report> LinkEngine::nextReport()
{
    if (earlyReplies_.empty())
        return transport_.readData();
    Report report = std::move(earlyReplies_.front());
    earlyReplies_.pop_front();
    return report;
}

void LinkEngine::handleReport(const Report& report)
{
    const std::optional<Byte> code = linkReplyCode(report);
    if (!code) {
        log("?: " + hexByte(report[0]));
        return;
    }
    const auto& rules = replyRules();
    const auto rule = std::find_if(rules.begin(), rules.end(),
                                   [&](const ReplyRule& r) { return static_cast<Byte>(r.code) == *code; });
    if (rule == rules.end()) {
        log("RET: " + hexByte(*code));
        return;
    }
    if (rule->code == ReplyCode::memoryData) {
        const MemoryDataReply reply = parseMemoryData(report);
        if (reply.length == kSyncReadLength) { // no read of the image asks for a single byte
            onSyncAnswer(reply);
            return;
        }
    }
    if (rule->family && !answersAwaitedFrame(*rule->family))
        return;
    (this->*rule->handler)(report);
}

bool LinkEngine::answersAwaitedFrame(Family family)
{
    forgetExpiredReplies();
    std::deque<OwedReply>& owed = owed_[static_cast<std::size_t>(family)];
    if (owed.empty())
        return false;
    const OwedReply answered = owed.front();
    owed.pop_front();
    return awaitedFamily() == family && answered.frame == awaitedFrame_;
}

void LinkEngine::forgetExpiredReplies()
{
    for (std::deque<OwedReply>& owed : owed_)
        while (!owed.empty() && ticks_ - owed.front().sentAt > kLateReplyTicks)
            owed.pop_front();
}

bool LinkEngine::replyStillOwed()
{
    forgetExpiredReplies();
    return std::any_of(owed_.begin(), owed_.end(), [](const std::deque<OwedReply>& owed) { return !owed.empty(); });
}

void LinkEngine::forgetOwedReplies()
{
    for (std::deque<OwedReply>& owed : owed_)
        owed.clear();
    sync_.reset();
}

void LinkEngine::sendFrame(const LinkCommand& command)
{
    const LinkFrame frame = buildLinkFrame(command.bytes, transport_.getOutputReportLength());
    if (frame.status != LinkFrameStatus::built)
        return;
    transport_.writeData(frame.report);
    ++sends_;
    // The read after every frame clears what the stick left in the queue (the device's
    // periodic identification among it), but this frame's answer may already be there
    // and must not be lost.
    if (std::optional<Report> early = transport_.readData(); early && answersAFrame(*early))
        earlyReplies_.push_back(std::move(*early));
    if (!command.logText.empty())
        log("Send: " + command.logText);
}

std::optional<LinkCommand> LinkEngine::buildCommand(StickCommand kind) const
{
    switch (kind) {
    case StickCommand::readMemory:
        return readMemoryCommand(memAddr_);
    case StickCommand::writeMemory:
        return writeMemoryCommand(memAddr_, writeImage_);
    case StickCommand::writeEe:
        return writeEeCommand(memAddr_, writeImage_);
    case StickCommand::firmwareSegment:
        return firmwareSegmentCommand(segmentInFlight(), fwImage_, fwAddr_);
    case StickCommand::reset:
        return resetCommand();
    }
    return std::nullopt;
}

bool LinkEngine::sendCommand(StickCommand kind, bool repeat)
{
    // The family of replies that answers a frame of each kind, in the order of StickCommand.
    static constexpr std::array<std::optional<Family>, 5> kAnsweredBy = {
        Family::read, Family::writeMemory, Family::writeEe, Family::firmware, std::nullopt, // Reset is not answered
    };
    const std::optional<LinkCommand> command = buildCommand(kind);
    if (!command)
        return false;
    const std::optional<Family> family = kAnsweredBy[static_cast<std::size_t>(kind)];
    if (family && replyStillOwed()) {
        // Waits like a frame on the wire: its time-out counts as an unanswered try.
        deferred_ = kind;
        markAwaited(repeat);
        sendSyncRead();
        return true;
    }
    deferred_.reset();
    sendFrame(*command);
    if (family)
        awaitReply(*family, repeat);
    return true;
}

void LinkEngine::markAwaited(bool repeat)
{
    if (!repeat)
        awaitedFrame_ = ++lastFrame_;
    awaitedSentAt_ = ticks_;
}

void LinkEngine::awaitReply(Family family, bool repeat)
{
    markAwaited(repeat);
    owed_[static_cast<std::size_t>(family)].push_back({awaitedFrame_, ticks_, sends_});
}

void LinkEngine::dropDeferredFrame()
{
    deferred_.reset();
}

void LinkEngine::sendSyncRead()
{
    const Byte tag = nextSyncTag_++;
    sendFrame(syncReadCommand(tag));
    sync_ = SyncRead{tag, sends_};
}

// The device answers in order: a reply still owed to a frame sent before the sync
// read will not come any more. The frame that waited goes out now.
void LinkEngine::onSyncAnswer(const MemoryDataReply& reply)
{
    if (!sync_ || reply.status != MemoryDataStatus::valid || reply.address != sync_->tag) {
        log("Sync answer dropped");
        return;
    }
    const std::uint64_t syncSent = sync_->sent;
    sync_.reset();
    for (std::deque<OwedReply>& owed : owed_)
        std::erase_if(owed, [&](const OwedReply& o) { return o.sent < syncSent; });
    if (const std::optional<StickCommand> waiting = std::exchange(deferred_, std::nullopt))
        sendCommand(*waiting, true);
}

void LinkEngine::replyOverdue()
{
    switch (*awaitedFamily()) {
    case Family::read:
        repeatRead();
        return;
    case Family::writeMemory:
        repeatWriteMemory();
        return;
    case Family::writeEe:
        repeatWriteEe();
        return;
    case Family::firmware:
        log("FW Update: no answer");
        stopUpdate(LinkOutcome::updateUnanswered, std::nullopt);
        return;
    }
}

void LinkEngine::readMemoryAt(Byte address, bool repeat)
{
    memAddr_ = address;
    sendCommand(StickCommand::readMemory, repeat);
}

void LinkEngine::sendWriteMemory(bool repeat)
{
    if (!sendCommand(StickCommand::writeMemory, repeat))
        endWrite(LinkOutcome::writeFailed); // the snapshot is not a device image: nothing of it may go out
}

void LinkEngine::sendWriteEe(bool repeat)
{
    if (!sendCommand(StickCommand::writeEe, repeat))
        endWrite(LinkOutcome::writeFailed);
}

Byte LinkEngine::segmentInFlight() const
{
    const auto* sending = std::get_if<SendingSegment>(&phase_);
    return sending ? sending->segment : Byte{0};
}

void LinkEngine::sendSegment(Byte segment)
{
    phase_ = SendingSegment{segment};
    if (!sendCommand(StickCommand::firmwareSegment))
        return; // setFirmware keeps only images that hold every page
    fwAddr_ += segmentImageBytes(segment);
    if (segment == kSegmentsPerPage) {
        ++firmwareProgress_;
        outcomes_.push_back(LinkOutcome::pageSent);
    }
}

void LinkEngine::onIdentification(const Report& report)
{
    const auto identification = parseIdentification(report);
    if (identification)
        identification_ = *identification;
    // The announcement after a Reset starts the pages or confirms the update, not a read.
    if (identification && phase() == LinkPhase::awaitingRestart)
        restartAnnounced();
    if (!isWaitingForDevice())
        return;
    beginRead();
    phase_ = ReadPause{};
}

// Until the read ends the image is no device image to write back; the data goes to
// a buffer of its own, so a read that stops leaves the image as it was.
void LinkEngine::beginRead()
{
    enlargeToDeviceImage(eeBlock_);
    readImage_.assign(kDeviceMemorySize, 0);
    imageRead_ = false;
    retryCount_ = 0;
}

void LinkEngine::onNoDevice(const Report&)
{
    phase_ = WaitingForDevice{};
    imageRead_ = false;
    dropDeferredFrame();
    forgetOwedReplies(); // no device is left to answer
    outcomes_.push_back(LinkOutcome::deviceGone);
}

void LinkEngine::onMemoryData(const Report& report)
{
    // Only data for the address asked for moves the read on; an empty reply would ask
    // for the same bytes for ever.
    const MemoryDataReply reply = parseMemoryData(report);
    if (reply.status != MemoryDataStatus::valid || reply.address != memAddr_ || reply.data.empty()
        || reply.address + reply.data.size() > readImage_.size()) {
        stopRead();
        return;
    }
    retryCount_ = 0;
    std::copy(reply.data.begin(), reply.data.end(), readImage_.begin() + reply.address);
    const std::size_t next = reply.address + reply.data.size();
    if (next < kReadEnd) {
        readMemoryAt(static_cast<Byte>(next));
        return;
    }
    endRead();
}

void LinkEngine::endRead()
{
    dropDeferredFrame();
    phase_ = Idle{};
    eeBlock_ = readImage_;
    deviceFwVersion_ = identification_.firmware == kNoVersion ? Byte{0} : identification_.firmware;
    imageRead_ = true;
    memoryDump();
    outcomes_.push_back(LinkOutcome::readDone);
    if (deviceFwVersion_ != options_.embeddedFwVersion && !options_.skipFW)
        outcomes_.push_back(LinkOutcome::questionDue);
}

void LinkEngine::stopRead()
{
    dropDeferredFrame();
    phase_ = Idle{};
    log("Read stopped");
    outcomes_.push_back(LinkOutcome::readFailed);
}

void LinkEngine::memoryDump()
{
    log("------------------ Memory dump --------------------");
    for (std::size_t row = 0; row + kDumpRow <= eeBlock_.size(); row += kDumpRow) {
        std::string line = hexByte(static_cast<Byte>(row)) + ": ";
        for (std::size_t i = row; i < row + kDumpRow; ++i)
            line += hexByte(eeBlock_[i]) + " ";
        log(line);
    }
    log("----------------------------------------------------");
}

void LinkEngine::repeatRead()
{
    if (retryCount_ + 1 >= kMaxTries) {
        stopRead();
        return;
    }
    ++retryCount_;
    log("Read Repeat");
    readMemoryAt(memAddr_, true);
}

LinkStart LinkEngine::startRead()
{
    if (busy())
        return LinkStart::busy;
    if (!isIdle())
        return LinkStart::notReady;
    beginRead();
    phase_ = Reading{};
    readMemoryAt(0);
    return LinkStart::started;
}

LinkStart LinkEngine::startWrite()
{
    if (busy())
        return LinkStart::busy;
    if (!imageRead_)
        return LinkStart::notRead;
    writeImage_ = eeBlock_;
    phase_ = WritingMemory{};
    memAddr_ = 0;
    retryCount_ = 0;
    writeProgress_ = {};
    sendWriteMemory();
    return LinkStart::started;
}

void LinkEngine::onWriteDone(const Report&)
{
    retryCount_ = 0;
    writeProgress_.memoryBytes = std::size_t{memAddr_} + kWriteMemoryChunk;
    ++writeProgress_.framesAcknowledged;
    outcomes_.push_back(LinkOutcome::frameWritten);
    if (memAddr_ < kLastWriteMemoryAddress) {
        memAddr_ = static_cast<Byte>(memAddr_ + kWriteMemoryChunk);
        sendWriteMemory();
        return;
    }
    memAddr_ = 0;
    phase_ = WritingEe{};
    sendWriteEe();
}

void LinkEngine::onWriteFailed(const Report&)
{
    repeatWriteMemory();
}

void LinkEngine::repeatWriteMemory()
{
    if (retryCount_ + 1 >= kMaxTries) {
        endWrite(LinkOutcome::writeFailed);
        return;
    }
    ++retryCount_;
    sendWriteMemory(true);
}

void LinkEngine::onEeWriteDone(const Report&)
{
    writeProgress_.eeBytes = std::size_t{memAddr_} + kWriteEeChunk;
    ++writeProgress_.framesAcknowledged;
    outcomes_.push_back(LinkOutcome::frameWritten);
    if (memAddr_ <= kLastWriteEeAddress) {
        retryCount_ = 0;
        memAddr_ = static_cast<Byte>(memAddr_ + kWriteEeChunk);
        sendWriteEe();
        return;
    }
    log("EE Write OK");
    endWrite(LinkOutcome::writeDone);
}

void LinkEngine::onEeWriteFailed(const Report&)
{
    repeatWriteEe();
}

void LinkEngine::repeatWriteEe()
{
    if (retryCount_ + 1 >= kMaxTries) {
        endWrite(LinkOutcome::writeFailed);
        return;
    }
    ++retryCount_;
    log("EE Write Repeat");
    sendWriteEe(true);
}

// After a good write the device's next identification reads it back. A failed one
// keeps the image as read: a read now would replace the configuration the user just
// tried to write with what the device half holds.
void LinkEngine::endWrite(LinkOutcome outcome)
{
    dropDeferredFrame();
    if (outcome == LinkOutcome::writeDone)
        phase_ = WaitingForDevice{};
    else
        phase_ = Idle{};
    outcomes_.push_back(outcome);
}

bool LinkEngine::setFirmware(ByteSpan fwImage, std::size_t fwSize, Byte fwVersion)
{
    const int pages = pagesFor(fwSize);
    if (fwSize == 0 || static_cast<std::size_t>(pages) * kPageBytes > fwImage.size()) {
        fwImage_.clear();
        firmwarePages_ = 0;
        return false;
    }
    fwImage_.assign(fwImage.begin(), fwImage.end());
    fwVersion_ = fwVersion;
    firmwarePages_ = pages;
    return true;
}

LinkStart LinkEngine::startUpdate()
{
    if (busy())
        return LinkStart::busy;
    if (fwImage_.empty())
        return LinkStart::noFirmware;
    fwAddr_ = 0;
    firmwareProgress_ = 0;
    firmwarePagesWritten_ = 0;
    firmwareStop_.reset();
    log("FW Update: Reset first");
    sendReset(RestartFor::pages);
    return LinkStart::started;
}

// 'X' answers segments 1 and 2 only, 'Z' segment 3 only: they differ in one bit, and
// taking one for the other would skip or repeat a part of a page.
void LinkEngine::onSegmentAccepted(const Report& report)
{
    const Byte segment = segmentInFlight();
    if (segment == kSegmentsPerPage) {
        wrongFirmwareReply(report);
        return;
    }
    sendSegment(static_cast<Byte>(segment + 1));
}

void LinkEngine::onPageWritten(const Report& report)
{
    if (segmentInFlight() != kSegmentsPerPage) {
        wrongFirmwareReply(report);
        return;
    }
    ++firmwarePagesWritten_;
    if (firmwareProgress_ < firmwarePages_) {
        sendSegment(1);
        return;
    }
    log("FW Update done.");
    // Every page went through, but only the device itself can tell that it runs them:
    // until it announces itself nothing else may start.
    endUpdate(LinkOutcome::resetSent);
    sendReset(RestartFor::confirmation);
}

void LinkEngine::onPageRefused(const Report& report)
{
    stopUpdate(LinkOutcome::updateRefused, report[1]);
}

void LinkEngine::wrongFirmwareReply(const Report& report)
{
    log("FW Update: '" + std::string(1, static_cast<char>(report[1])) + "' does not answer segment "
        + std::to_string(segmentInFlight()));
    stopUpdate(LinkOutcome::updateRefused, report[1]);
}

// However an update ends, it is over: the device image is read as before, and a
// reply that comes late belongs to no frame any more.
void LinkEngine::endUpdate(LinkOutcome outcome)
{
    dropDeferredFrame();
    phase_ = Idle{};
    outcomes_.push_back(outcome);
}

// An update that ends here leaves the device in the middle of it; the next one resets it first.
void LinkEngine::stopUpdate(LinkOutcome outcome, std::optional<Byte> reply)
{
    firmwareStop_ = FirmwareStop{firmwarePageInFlight(), segmentInFlight(), reply};
    endUpdate(outcome);
}

void LinkEngine::sendReset(RestartFor purpose)
{
    sendCommand(StickCommand::reset);
    phase_ = AwaitingRestart{purpose, ticks_ + kRestartTicks};
}

void LinkEngine::restartMissed()
{
    const RestartFor purpose = std::get<AwaitingRestart>(phase_).purpose;
    phase_ = Idle{};
    log("FW Update: the device did not announce itself");
    outcomes_.push_back(purpose == RestartFor::pages ? LinkOutcome::updateNotStarted : LinkOutcome::updateUnconfirmed);
}

// After a Reset the device answers nothing it was asked before: replies still owed are lost.
void LinkEngine::restartAnnounced()
{
    const RestartFor purpose = std::get<AwaitingRestart>(phase_).purpose;
    phase_ = Idle{};
    forgetOwedReplies();
    if (purpose == RestartFor::pages) {
        log("FW Update: the device is back");
        outcomes_.push_back(LinkOutcome::pagesBegin);
        sendSegment(1);
        return;
    }
    const bool updated = identification_.firmware == fwVersion_;
    log(updated ? "FW Update confirmed" : "FW Update: the device announces " + firmwareVersionText(identification_));
    outcomes_.push_back(updated ? LinkOutcome::updateDone : LinkOutcome::updateNotTaken);
}

} // namespace ormid
