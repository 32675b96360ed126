#include "link/link_engine.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/text_lines.h"

namespace ormid {

namespace {

constexpr std::string_view kReady = "            Ready...";
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

LinkEngine::LinkEngine(HidTransport& transport, EeBlock& eeBlock, LinkEngineEvents& events, Waiter& waiter,
                       LinkEngineOptions options)
    : transport_(transport), eeBlock_(eeBlock), events_(events), waiter_(waiter), options_(options)
{
}

std::string LinkEngine::versionQuestion(Byte deviceFwVersion, Byte embeddedFwVersion)
{
    return "The Ormid Firmware version (1." + std::to_string(deviceFwVersion) + ") and the embedded version (1."
           + std::to_string(embeddedFwVersion) + ") are different!" + "\r" + "Do you want to update the firmware?";
}

void LinkEngine::start()
{
    stickState_ = kWaiting;
}

const std::vector<LinkEngine::ReplyRule>& LinkEngine::replyRules()
{
    static const std::vector<ReplyRule> rules = {
        {ReplyCode::identification, &LinkEngine::onIdentification},
        {ReplyCode::noDevice, &LinkEngine::onNoDevice},
        {ReplyCode::memoryData, &LinkEngine::onMemoryData},
        {ReplyCode::writeDone, &LinkEngine::onWriteDone},
        {ReplyCode::writeFailed, &LinkEngine::onWriteFailed},
        {ReplyCode::eeWriteDone, &LinkEngine::onEeWriteDone},
        {ReplyCode::eeWriteFailed, &LinkEngine::onEeWriteFailed},
        {ReplyCode::segmentAccepted, &LinkEngine::onSegmentAccepted},
        {ReplyCode::segmentRefused, &LinkEngine::onPageRefused},
        {ReplyCode::pageWritten, &LinkEngine::onPageWritten},
        {ReplyCode::pageRefused, &LinkEngine::onPageRefused},
    };
    return rules;
}

void LinkEngine::Timer3Timer()
{
    if (stickState_ == kNotStarted)
        return;
    const std::optional<Report> report = nextReport();
    if (!report) {
        quietTick();
        return;
    }
    handleReport(*report);
    if (updateRequested_) {
        updateRequested_ = false;
        bUpdateFwClick();
    }
}

std::optional<Report> LinkEngine::nextReport()
{
    if (earlyReplies_.empty())
        return transport_.readData();
    Report report = std::move(earlyReplies_.front());
    earlyReplies_.pop_front();
    return report;
}

void LinkEngine::quietTick()
{
    if (onSilence_ == nullptr || ++quietTicks_ < kReplyTimeoutTicks)
        return;
    const SilenceHandler onSilence = std::exchange(onSilence_, nullptr);
    (this->*onSilence)();
}

void LinkEngine::handleReport(const Report& report)
{
    const std::optional<Byte> code = linkReplyCode(report);
    if (!code) {
        events_.log("?: " + hexByte(report[0]));
        return;
    }
    const auto& rules = replyRules();
    const auto rule = std::find_if(rules.begin(), rules.end(),
                                   [&](const ReplyRule& r) { return static_cast<Byte>(r.code) == *code; });
    if (rule == rules.end()) {
        events_.log("RET: " + hexByte(*code));
        return;
    }
    (this->*rule->handler)(report);
}

void LinkEngine::send2Stick(const LinkCommand& command)
{
    const LinkFrame frame = buildLinkFrame(command.bytes, transport_.getOutputReportLength());
    if (frame.status != LinkFrameStatus::built)
        return;
    transport_.writeData(frame.report);
    // The read after every frame clears what the stick left in the queue (the device's
    // periodic identification among it), but this frame's answer may already be there
    // and must not be lost.
    if (std::optional<Report> early = transport_.readData(); early && answersAFrame(*early))
        earlyReplies_.push_back(std::move(*early));
    if (!command.logText.empty())
        events_.log("Send: " + command.logText);
}

std::optional<LinkCommand> LinkEngine::buildCommand(StickCommand kind) const
{
    switch (kind) {
    case StickCommand::readMemory:
        return readMemoryCommand(memAddr_);
    case StickCommand::writeMemory:
        return writeMemoryCommand(memAddr_, eeBlock_);
    case StickCommand::writeEe:
        return writeEeCommand(memAddr_, eeBlock_);
    case StickCommand::firmwareSegment:
        return firmwareSegmentCommand(currentSegment(), fwImage_, fwAddr_);
    case StickCommand::reset:
        return resetCommand();
    }
    return std::nullopt;
}

bool LinkEngine::stickCmd(StickCommand kind)
{
    // What a frame of each kind does when its reply does not come, in the order of StickCommand.
    static constexpr std::array<SilenceHandler, 5> onSilence = {
        &LinkEngine::repeatRead, &LinkEngine::repeatWriteMemory, &LinkEngine::repeatWriteEe,
        &LinkEngine::segmentUnanswered, nullptr, // Reset is not answered
    };
    const std::optional<LinkCommand> command = buildCommand(kind);
    if (!command)
        return false;
    send2Stick(*command);
    onSilence_ = onSilence[static_cast<std::size_t>(kind)];
    quietTicks_ = 0;
    return true;
}

void LinkEngine::readMemoryAt(Byte address)
{
    memAddr_ = address;
    stickCmd(StickCommand::readMemory);
}

void LinkEngine::writeMemory()
{
    if (!stickCmd(StickCommand::writeMemory))
        writeFailure(); // the image is not a device image: nothing of it may go out
}

void LinkEngine::writeEe()
{
    if (!stickCmd(StickCommand::writeEe))
        writeFailure();
}

Byte LinkEngine::currentSegment() const
{
    return static_cast<Byte>(stickState_ - kFirstSegment + 1);
}

void LinkEngine::sendSegment()
{
    if (!stickCmd(StickCommand::firmwareSegment))
        return; // setFirmware keeps only images that hold every page
    fwAddr_ += segmentImageBytes(currentSegment());
    if (stickState_ == kLastSegment) {
        ++firmwareProgress_;
        events_.showFirmwareProgress(firmwareProgress_, firmwarePages_);
    }
}

void LinkEngine::onIdentification(const Report& report)
{
    events_.defaultCursor();
    if (const auto identification = parseIdentification(report))
        identification_ = *identification;
    if (stickState_ != kWaiting)
        return;
    stickState_ = kRead;
    beginRead();
    waiter_.sleep(kReadPause);
    readMemoryAt(0);
}

// Until the read ends the image is no device image to write back.
void LinkEngine::beginRead()
{
    enlargeToDeviceImage(eeBlock_);
    imageRead_ = false;
    retryCount_ = 0;
}

void LinkEngine::onNoDevice(const Report&)
{
    events_.setCaption("USB Stick");
    stickState_ = kWaiting;
    onSilence_ = nullptr; // no device to answer
    events_.setFormDisabled(true);
    events_.showActionButtons(false);
}

void LinkEngine::onMemoryData(const Report& report)
{
    const MemoryDataReply reply = parseMemoryData(report);
    // A reply reaching past the image is dropped like one with a bad CRC.
    if (reply.status != MemoryDataStatus::valid || reply.address + reply.data.size() > eeBlock_.size()) {
        readStopped();
        return;
    }
    retryCount_ = 0;
    std::copy(reply.data.begin(), reply.data.end(), eeBlock_.begin() + reply.address);
    const std::size_t next = reply.address + reply.data.size();
    if (next < kReadEnd) {
        readMemoryAt(static_cast<Byte>(next));
        return;
    }
    endOfRead();
}

void LinkEngine::endOfRead()
{
    onSilence_ = nullptr;
    std::string caption = "USB Stick, Device Nr. " + identification_.deviceNumber();
    if (identification_.firmware != kNoVersion) {
        deviceFwVersion_ = identification_.firmware;
        caption += ", FW 1." + std::to_string(deviceFwVersion_);
    } else {
        deviceFwVersion_ = 0;
        caption += ", FW ???";
    }
    if (deviceFwVersion_ != options_.embeddedFwVersion && !options_.skipFW)
        updateRequested_ = events_.askFirmwareUpdate(versionQuestion(deviceFwVersion_, options_.embeddedFwVersion));
    events_.setCaption(caption + std::string(kReady));
    if (options_.showLog && deviceFwVersion_ >= kLogShownFrom)
        events_.showDeviceLog(readDeviceLog(eeBlock_));
    else
        events_.showDeviceLog(std::nullopt);
    memoryDump();
    imageRead_ = true;
    events_.redraw();
    events_.setFormDisabled(false);
    events_.showActionButtons(true);
}

// Nothing more is sent; the window is released so that "ReRead" can start the read
// again (a "Transfer" stays refused until a read is complete).
void LinkEngine::readStopped()
{
    onSilence_ = nullptr;
    events_.log("Read stopped");
    events_.setCaption(std::string(kReadError));
    events_.defaultCursor();
    events_.setFormDisabled(false);
    events_.showActionButtons(true);
}

void LinkEngine::memoryDump()
{
    events_.log("------------------ Memory dump --------------------");
    for (std::size_t row = 0; row + kDumpRow <= eeBlock_.size(); row += kDumpRow) {
        std::string line = hexByte(static_cast<Byte>(row)) + ": ";
        for (std::size_t i = row; i < row + kDumpRow; ++i)
            line += hexByte(eeBlock_[i]) + " ";
        events_.log(line);
    }
    events_.log("----------------------------------------------------");
}

void LinkEngine::storeUSBStick()
{
    if (!imageRead_) {
        events_.setCaption(std::string(kTransferError)); // the read goes on; nothing was sent
        return;
    }
    stickState_ = kWriting;
    memAddr_ = 0;
    retryCount_ = 0;
    writeMemory();
}

void LinkEngine::onWriteDone(const Report&)
{
    retryCount_ = 0;
    stickState_ = kWriting;
    if (memAddr_ < kLastWriteMemoryAddress) {
        memAddr_ = static_cast<Byte>(memAddr_ + kWriteMemoryChunk);
        writeMemory();
        return;
    }
    memAddr_ = 0;
    writeEe();
}

void LinkEngine::onWriteFailed(const Report&)
{
    repeatWriteMemory();
}

void LinkEngine::repeatWriteMemory()
{
    if (retryCount_ + 1 >= kMaxTries) {
        writeFailure();
        return;
    }
    ++retryCount_;
    writeMemory();
}

void LinkEngine::onEeWriteDone(const Report&)
{
    if (memAddr_ <= kLastWriteEeAddress) {
        retryCount_ = 0;
        memAddr_ = static_cast<Byte>(memAddr_ + kWriteEeChunk);
        writeEe();
        return;
    }
    events_.log("EE Write OK");
    endWrite();
    events_.appendCaption("->Transfer finished.");
}

void LinkEngine::onEeWriteFailed(const Report&)
{
    repeatWriteEe();
}

void LinkEngine::repeatWriteEe()
{
    if (retryCount_ + 1 >= kMaxTries) {
        writeFailure();
        return;
    }
    ++retryCount_;
    events_.log("EE Write Repeat");
    writeEe();
}

void LinkEngine::endWrite()
{
    onSilence_ = nullptr;
    stickState_ = kWaiting;
    events_.showActionButtons(true);
    events_.setFormDisabled(false);
    events_.defaultCursor();
}

void LinkEngine::writeFailure()
{
    endWrite();
    events_.setCaption(std::string(kTransferError));
}

void LinkEngine::bRereadClick()
{
    if (events_.formDisabled() || stickState_ != kRead)
        return;
    beginRead();
    readMemoryAt(0);
}

void LinkEngine::repeatRead()
{
    if (retryCount_ + 1 >= kMaxTries) {
        readStopped();
        return;
    }
    ++retryCount_;
    events_.log("Read Repeat");
    readMemoryAt(memAddr_);
}

bool LinkEngine::setFirmware(ByteSpan fwImage, std::size_t fwSize)
{
    const int pages = pagesFor(fwSize);
    if (fwSize == 0 || static_cast<std::size_t>(pages) * kPageBytes > fwImage.size()) {
        fwImage_.clear();
        firmwarePages_ = 0;
        return false;
    }
    fwImage_.assign(fwImage.begin(), fwImage.end());
    firmwarePages_ = pages;
    return true;
}

void LinkEngine::bUpdateFwClick()
{
    if (events_.formDisabled() || fwImage_.empty())
        return;
    events_.setFormDisabled(true);
    stickState_ = kFirstSegment;
    fwAddr_ = 0;
    firmwareProgress_ = 0;
    events_.showFirmwareProgress(firmwareProgress_, firmwarePages_);
    sendSegment();
}

// Firmware replies count only during an update: a stray one must neither move the
// read or write state nor send segments or a Reset to the device.
void LinkEngine::onSegmentAccepted(const Report&)
{
    if (!inFirmwareUpdate() || stickState_ == kLastSegment)
        return;
    ++stickState_;
    sendSegment();
}

void LinkEngine::onPageWritten(const Report&)
{
    if (!inFirmwareUpdate())
        return;
    if (firmwareProgress_ < firmwarePages_) {
        stickState_ = kFirstSegment;
        sendSegment();
        return;
    }
    stickState_ = kRead;
    events_.log("FW Update done.");
    events_.appendCaption("->FW Update finished.");
    events_.hideFirmwareProgress();
    stickCmd(StickCommand::reset);
    events_.setFormDisabled(false);
}

void LinkEngine::onPageRefused(const Report&)
{
    if (inFirmwareUpdate())
        endUpdateRefused();
}

void LinkEngine::segmentUnanswered()
{
    events_.log(std::string(kFirmwareUnanswered));
    endUpdateRefused();
}

void LinkEngine::endUpdateRefused()
{
    onSilence_ = nullptr;
    events_.beep();
    events_.setFormDisabled(false);
}

} // namespace ormid
