#include "sim/stick_model.h"

#include <algorithm>
#include <utility>

#include "core/crc16.h"
#include "link/control_block.h"

namespace ormid::sim {

namespace {

// Report lengths of the two kinds of stick (the feature report is 0 for both).
struct ReportLengths {
    Byte input;
    Byte output;
};
constexpr ReportLengths reportLengths(StickMode mode)
{
    return mode == StickMode::usb ? ReportLengths{64, 64} : ReportLengths{8, 8};
}

// Memory replies: C0 22 5A b3 b4, C0 44 x x n, C0 33 lo hi s.
constexpr Byte kModeAnswer1 = 0x22;
constexpr Byte kModeAnswer2 = 0x5A;
constexpr std::array<Byte, 2> kRemoteMark = {0x79, 0xA5};
constexpr Byte kReadHeader = 0x44;
constexpr Byte kWriteAck = 0x33;
constexpr Byte kWritten = 1;
constexpr Byte kNotWritten = 0;

// Link replies to a read block command: an Ormid is connected / 'Q' none is.
constexpr Byte kDeviceConnected = 0x50;

// Link frames: CA C5 op ...
constexpr std::size_t kOpAt = 2;
constexpr Byte kReadMemoryOp = 0x02;
constexpr Byte kWriteMemoryOp = 0x04;
constexpr Byte kWriteEeOp = 0x05;
constexpr Byte kSegmentOp = 0x08;
constexpr Byte kResetOp = 0x0E;
// Read Memory: 02 addr len.
constexpr std::size_t kReadAddressAt = 3;
constexpr std::size_t kReadLengthAt = 4;
constexpr std::size_t kMemoryDataHeader = 6; // B2 52 crcLo crcHi addr len
// Write Memory / Write EE: op crcLo crcHi addr len <len bytes>; segment: op crcLo crcHi seg <26 bytes>.
constexpr std::size_t kCrcAt = 3;
constexpr std::size_t kWriteAddressAt = 5;
constexpr std::size_t kWriteLengthAt = 6;
constexpr std::size_t kWriteDataAt = 7;
constexpr std::size_t kSegmentAt = 5;
constexpr std::size_t kSegmentDataAt = 6;

// Replies the PC has not taken are kept up to this many, as a device's report buffer
// is finite; a PC that floods the stick without reading cannot exhaust memory.
constexpr std::size_t kMaxPendingReports = 4096;

constexpr Byte lowByte(std::uint16_t v)
{
    return static_cast<Byte>(v & 0xFF);
}
constexpr Byte highByte(std::uint16_t v)
{
    return static_cast<Byte>(v >> 8);
}

std::uint16_t le16(const Report& report, std::size_t at)
{
    return static_cast<std::uint16_t>(report[at] | (report[at + 1] << 8));
}

// True when the report's first `count` bytes are those of `command`.
bool matches(const Report& report, const MemoryCommand& command, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (report[i] != command[i])
            return false;
    return true;
}

bool isLinkFrame(const Report& report)
{
    return report[0] == kLinkFramePrefix[0] && report[1] == kLinkFramePrefix[1];
}

// The address of a block command (read block, write block): lo hi at bytes 4 and 5.
std::uint16_t blockCommandAddress(const Report& report)
{
    return le16(report, 4);
}

// The data of a Write Memory / Write EE frame when its length byte is the expected
// one, the bytes fit the device memory and the CRC over addr, len and the data matches.
std::optional<ByteSpan> checkedDeviceData(const Report& frame, Byte expectedLength)
{
    const std::vector<Byte>& bytes = frame.bytes();
    if (bytes.size() < kWriteDataAt + expectedLength || frame[kWriteLengthAt] != expectedLength)
        return std::nullopt;
    if (frame[kWriteAddressAt] + std::size_t{expectedLength} > kDeviceMemorySize)
        return std::nullopt;
    const ByteSpan covered = ByteSpan(bytes).subspan(kWriteAddressAt, 2 + std::size_t{expectedLength});
    if (crc16(covered) != le16(frame, kCrcAt))
        return std::nullopt;
    return ByteSpan(bytes).subspan(kWriteDataAt, expectedLength);
}

// The image bytes of a firmware segment when its number is `expected` and its CRC matches.
std::optional<ByteSpan> checkedSegmentData(const Report& frame, Byte expected)
{
    const Byte segment = frame[kSegmentAt];
    const std::size_t count = segmentImageBytes(segment);
    const std::vector<Byte>& bytes = frame.bytes();
    if (segment != expected || count == 0 || bytes.size() < kSegmentDataAt + count)
        return std::nullopt;
    const ByteSpan data = ByteSpan(bytes).subspan(kSegmentDataAt, count);
    if (crc16(data) != le16(frame, kCrcAt))
        return std::nullopt;
    return data;
}

} // namespace

Block readStickBlock(const StickState& state, std::uint16_t address)
{
    Block block;
    for (std::size_t i = 0; i < block.size(); ++i) {
        const std::size_t at = (address + i) % kStickMemorySize;
        block[i] = at < state.memory.size() ? state.memory[at] : 0xFF;
    }
    return block;
}

void writeStickBlock(StickState& state, std::uint16_t address, const Block& block)
{
    for (std::size_t i = 0; i < block.size(); ++i) {
        const std::size_t at = (address + i) % kStickMemorySize;
        if (at < state.memory.size())
            state.memory[at] = block[i];
    }
}

// Write Memory and Write EE differ only in these.
struct StickModel::DeviceWrite {
    int Faults::*refusals;
    Byte length;
    ReplyCode done;
    ReplyCode failed;
};

StickModel::StickModel(StickConfig config, Faults faults, StickState state)
    : config_(config), faults_(std::move(faults)), state_(std::move(state))
{
    state_.memory.resize(kStickMemorySize, 0xFF);
    state_.deviceFirmware = config_.deviceFirmware;
    lineDeviceMemory_ = state_.deviceMemory;
    lineDeviceFirmware_ = state_.deviceFirmware;
}

Byte StickModel::inputReportLength() const
{
    return reportLengths(config_.mode).input;
}

Byte StickModel::outputReportLength() const
{
    return reportLengths(config_.mode).output;
}

void StickModel::connect(Millis /*now: a new connection starts with nothing due*/)
{
    pending_.clear();
    blockWrite_.reset();
    nextIdentify_.reset();
    reportsCounted_ = 0;
    dropped_ = false;
}

void StickModel::receive(ByteSpan report, Millis now)
{
    if (!admit())
        return;
    if (reportSeen_)
        reportSeen_(Direction::in, report);
    handle(report, now);
    dropIfDue();
}

void StickModel::advance(Millis now)
{
    if (dropped_)
        return;
    if (const std::optional<Millis> swap = swapDue(); swap && *swap <= now)
        swapDevice(*swap);
    if (!nextIdentify_ || *nextIdentify_ > now)
        return;
    Millis due = *nextIdentify_;
    if (config_.identifyPeriod > 0) {
        due += (now - due) / config_.identifyPeriod * config_.identifyPeriod;
        nextIdentify_ = due + config_.identifyPeriod;
    } else {
        nextIdentify_.reset();
    }
    queue(identification(), due);
}

std::optional<std::vector<Byte>> StickModel::takeInput(Millis now)
{
    advance(now);
    if (dropped_ || pending_.empty() || pending_.front().due > now)
        return std::nullopt;
    if (!admit())
        return std::nullopt;
    std::vector<Byte> report = std::move(pending_.front().report);
    pending_.pop_front();
    if (reportSeen_)
        reportSeen_(Direction::out, report);
    dropIfDue();
    return report;
}

std::optional<Millis> StickModel::nextDue() const
{
    if (dropped_)
        return std::nullopt;
    std::optional<Millis> due = nextIdentify_;
    for (const std::optional<Millis> other :
         {swapDue(), pending_.empty() ? std::nullopt : std::optional<Millis>(pending_.front().due)})
        if (other)
            due = due ? std::min(*due, *other) : *other;
    return due;
}

std::optional<Millis> StickModel::swapDue() const
{
    if (!lastLinkFrame_ || nextDevice_ >= config_.nextDevices.size())
        return std::nullopt;
    return *lastLinkFrame_ + config_.swapWhenIdle;
}

void StickModel::swapDevice(Millis due)
{
    const LineDevice& next = config_.nextDevices[nextDevice_++];
    config_.deviceId = next.id;
    config_.deviceRefusesWrites = next.refusesWrites;
    state_.deviceMemory = lineDeviceMemory_;
    state_.deviceFirmware = lineDeviceFirmware_;
    firmware_ = {};
    pageSinceReset_ = false;
    lastLinkFrame_.reset();
    changed();
    nextIdentify_ = due + config_.identifyDelay;
}

bool StickModel::connectionDropped() const
{
    return dropped_;
}

void StickModel::onStateChanged(std::function<void()> callback)
{
    stateChanged_ = std::move(callback);
}

void StickModel::onBlockStored(std::function<void(std::uint16_t address, const Block& block)> callback)
{
    blockStored_ = std::move(callback);
}

void StickModel::onReport(std::function<void(Direction, ByteSpan)> callback)
{
    reportSeen_ = std::move(callback);
}

// --- connection and queue ------------------------------------------------------

// Counts one report in or out; false when the connection is gone.
bool StickModel::admit()
{
    dropIfDue();
    if (dropped_)
        return false;
    ++reportsCounted_;
    return true;
}

void StickModel::dropIfDue()
{
    if (!faults_.dropAfterReports || reportsCounted_ < *faults_.dropAfterReports)
        return;
    faults_.dropAfterReports.reset();
    dropped_ = true;
    pending_.clear();
    blockWrite_.reset();
}

void StickModel::changed()
{
    if (stateChanged_)
        stateChanged_();
}

std::vector<Byte> StickModel::makeReply(std::initializer_list<Byte> leading) const
{
    std::vector<Byte> report(inputReportLength(), 0x00);
    std::copy_n(leading.begin(), std::min(leading.size(), report.size()), report.begin());
    return report;
}

void StickModel::queue(std::vector<Byte> report, Millis due)
{
    if (pending_.size() >= kMaxPendingReports || loseReply(report))
        return;
    const auto at
        = std::upper_bound(pending_.begin(), pending_.end(), due, [](Millis d, const Queued& q) { return d < q.due; });
    pending_.insert(at, Queued{due, std::move(report)});
}

bool StickModel::loseReply(const std::vector<Byte>& report)
{
    const std::optional<LostReply>& lost = faults_.loseReply;
    if (!lost || report.size() < 2 || report[0] != kLinkReply || report[1] != lost->code)
        return false;
    return ++repliesWithLostCode_ == lost->count;
}

void StickModel::reply(std::vector<Byte> report, Millis now)
{
    queue(std::move(report), now + faults_.replyDelay);
}

void StickModel::linkReply(Byte code, Millis now)
{
    reply(makeReply({kLinkReply, code}), now);
}

void StickModel::answerFrame(Byte code, Millis now)
{
    ++answeredFrames_;
    if (faults_.loseLinkAck == answeredFrames_)
        return;
    if (faults_.wrongLinkAck == answeredFrames_) {
        const bool writeMemoryReply
            = code == static_cast<Byte>(ReplyCode::writeDone) || code == static_cast<Byte>(ReplyCode::writeFailed);
        code = static_cast<Byte>(writeMemoryReply ? ReplyCode::eeWriteDone : ReplyCode::writeDone);
    }
    constexpr Byte kAccepted = static_cast<Byte>(ReplyCode::segmentAccepted);
    constexpr Byte kWritten = static_cast<Byte>(ReplyCode::pageWritten);
    if ((code == kAccepted || code == kWritten) && faults_.swapSegmentAck == ++segmentAnswers_)
        code = code == kAccepted ? kWritten : kAccepted;
    linkReply(code, now);
}

// --- memory commands -------------------------------------------------------------

void StickModel::handle(ByteSpan received, Millis now)
{
    if (received.empty() || received.size() > outputReportLength()) {
        blockWrite_.reset(); // no HID report looks like this; it cannot be block data either
        return;
    }
    std::vector<Byte> bytes(received.begin(), received.end());
    bytes.resize(outputReportLength(), 0x00);
    const Report report(std::move(bytes));

    if (blockWrite_ && takeBlockData(report, now))
        return;
    if (config_.mode == StickMode::usb && isLinkFrame(report))
        handleLinkFrame(report, now);
    else
        handleMemoryCommand(report, now);
}

void StickModel::handleMemoryCommand(const Report& report, Millis now)
{
    struct Command {
        MemoryCommand pattern;
        std::size_t significant; // leading bytes that identify the command
        Handler handler;
    };
    static const std::array<Command, 5> kMemoryModeCommands = {{
        {modeQueryCommand(), 3, &StickModel::answerModeQuery},
        {readBlockCommand(0), 4, &StickModel::answerReadBlock},
        {writeBlockCommand(0), 4, &StickModel::startBlockWrite},
        {eraseCommand(), 6, &StickModel::eraseToLocal},
        {goRemoteCommand(), 8, &StickModel::eraseToRemote},
    }};
    static const std::array<Command, 1> kUsbModeCommands = {{
        {readBlockCommand(0), 4, &StickModel::answerUsbReadBlock},
    }};

    const auto run = [&](const auto& table) {
        const auto it = std::find_if(table.begin(), table.end(),
                                     [&](const Command& c) { return matches(report, c.pattern, c.significant); });
        if (it != table.end())
            (this->*(it->handler))(report, now);
    };
    if (config_.mode == StickMode::usb)
        run(kUsbModeCommands);
    else
        run(kMemoryModeCommands);
}

void StickModel::answerModeQuery(const Report& /*report*/, Millis now)
{
    if (config_.legacy)
        return;
    const std::array<Byte, 2> mark = state_.remote ? kRemoteMark : std::array<Byte, 2>{0x00, 0x00};
    reply(makeReply({kMemoryReply, kModeAnswer1, kModeAnswer2, mark[0], mark[1]}), now);
}

void StickModel::answerReadBlock(const Report& report, Millis now)
{
    reply(makeReply({kMemoryReply, kReadHeader, 0x00, 0x00, static_cast<Byte>(kBlockSize)}), now);
    const Block block = readStickBlock(state_, blockCommandAddress(report));
    for (std::size_t at = 0; at < block.size(); at += kDataReportSize)
        reply(std::vector<Byte>(block.begin() + at, block.begin() + at + kDataReportSize), now);
}

void StickModel::startBlockWrite(const Report& report, Millis now)
{
    blockWrite_ = BlockWrite{blockCommandAddress(report), {}, now};
}

// Data reports of a block write are taken by position, whatever their content, as
// block data may look like any command. False when the write was given up (too late).
bool StickModel::takeBlockData(const Report& report, Millis now)
{
    if (now - blockWrite_->lastReport > kBlockWriteTimeout) {
        blockWrite_.reset();
        return false;
    }
    const std::vector<Byte>& bytes = report.bytes();
    blockWrite_->data.insert(blockWrite_->data.end(), bytes.begin(), bytes.begin() + kDataReportSize);
    blockWrite_->lastReport = now;
    if (blockWrite_->data.size() == kBlockSize)
        finishBlockWrite(now);
    return true;
}

void StickModel::finishBlockWrite(Millis now)
{
    const BlockWrite write = std::move(*blockWrite_);
    blockWrite_.reset();
    ++blockWrites_;
    if (faults_.neverAckBlockWrite)
        return;
    const auto acknowledge = [&](std::uint16_t address, Byte status) {
        reply(makeReply({kMemoryReply, kWriteAck, lowByte(address), highByte(address), status}), now);
    };
    if (faults_.ackOtherAddress) {
        acknowledge(static_cast<std::uint16_t>(write.address + kBlockSize), kWritten);
        return;
    }
    if (faults_.ackStatusZero) {
        acknowledge(write.address, kNotWritten);
        return;
    }
    Block block;
    std::copy(write.data.begin(), write.data.end(), block.begin());
    writeStickBlock(state_, write.address, block);
    flipStored(write.address, kBlockSize, state_.memory);
    changed();
    if (blockStored_)
        blockStored_(write.address, block);
    if (faults_.loseBlockAck != blockWrites_)
        acknowledge(write.address, kWritten);
}

template <typename Memory>
void StickModel::flipStored(std::size_t first, std::size_t count, Memory& memory) const
{
    const std::optional<std::uint16_t> at = faults_.flipStoredAt;
    if (at && *at >= first && *at < first + count && *at < memory.size())
        memory[*at] = static_cast<Byte>(~memory[*at]);
}

void StickModel::eraseToLocal(const Report& /*report*/, Millis /*now: erase is not answered*/)
{
    eraseMemories(false);
}

void StickModel::eraseToRemote(const Report& /*report*/, Millis /*now: erase is not answered*/)
{
    eraseMemories(true);
}

// The four memories' records, data blocks and remote-frame blocks become FF; the
// firmware record, the firmware blocks and control-block bytes 80..127 stay.
void StickModel::eraseMemories(bool remote)
{
    Block erased;
    erased.fill(0xFF);
    Block control = readStickBlock(state_, kControlBlockAddress);
    for (int n = 1; n <= kMemoryCount; ++n) {
        writeStickBlock(state_, dataBlockAddress(n), erased);
        writeStickBlock(state_, remoteBlockAddress(n), erased);
        std::fill_n(control.begin() + memoryRecordOffset(n), kRecordSize, 0xFF);
    }
    writeStickBlock(state_, kControlBlockAddress, control);
    state_.remote = remote;
    changed();
}

void StickModel::answerUsbReadBlock(const Report& /*report*/, Millis now)
{
    if (!config_.deviceConnected) {
        linkReply(static_cast<Byte>(ReplyCode::noDevice), now);
        return;
    }
    linkReply(kDeviceConnected, now);
    nextIdentify_ = now + faults_.replyDelay + config_.identifyDelay;
}

// --- link frames -----------------------------------------------------------------

void StickModel::handleLinkFrame(const Report& report, Millis now)
{
    lastLinkFrame_ = now;
    if (!config_.deviceConnected) {
        linkReply(static_cast<Byte>(ReplyCode::noDevice), now);
        return;
    }
    struct Operation {
        Byte op;
        Handler handler;
    };
    static constexpr std::array<Operation, 5> kOperations = {{
        {kReadMemoryOp, &StickModel::readMemory},
        {kWriteMemoryOp, &StickModel::writeMemory},
        {kWriteEeOp, &StickModel::writeEe},
        {kSegmentOp, &StickModel::firmwareSegment},
        {kResetOp, &StickModel::reset},
    }};
    const auto it = std::find_if(kOperations.begin(), kOperations.end(),
                                 [&](const Operation& o) { return o.op == report[kOpAt]; });
    if (it != kOperations.end())
        (this->*(it->handler))(report, now);
}

void StickModel::readMemory(const Report& report, Millis now)
{
    const Byte address = report[kReadAddressAt];
    const std::size_t length = std::min({std::size_t{report[kReadLengthAt]}, kDeviceMemorySize - address,
                                         std::size_t{inputReportLength()} - kMemoryDataHeader});
    std::vector<Byte> answer = makeReply(
        {kLinkReply, static_cast<Byte>(ReplyCode::memoryData), 0x00, 0x00, address, static_cast<Byte>(length)});
    std::copy_n(state_.deviceMemory.begin() + address, length, answer.begin() + kMemoryDataHeader);
    std::uint16_t crc = crc16(ByteSpan(answer).subspan(4, 2 + length));
    if (faults_.corruptReadAt == address)
        crc = static_cast<std::uint16_t>(~crc);
    answer[2] = lowByte(crc);
    answer[3] = highByte(crc);
    reply(std::move(answer), now);
}

void StickModel::writeMemory(const Report& report, Millis now)
{
    static constexpr DeviceWrite kWriteMemory{&Faults::refuseWriteMemory, kWriteMemoryChunk, ReplyCode::writeDone,
                                              ReplyCode::writeFailed};
    writeDevice(report, kWriteMemory, now);
}

void StickModel::writeEe(const Report& report, Millis now)
{
    static constexpr DeviceWrite kWriteEe{&Faults::refuseWriteEe, kWriteEeChunk, ReplyCode::eeWriteDone,
                                          ReplyCode::eeWriteFailed};
    writeDevice(report, kWriteEe, now);
}

void StickModel::writeDevice(const Report& report, const DeviceWrite& kind, Millis now)
{
    int& refusals = faults_.*kind.refusals;
    if (config_.deviceRefusesWrites || refusals > 0) {
        refusals = std::max(0, refusals - 1);
        answerFrame(static_cast<Byte>(kind.failed), now);
        return;
    }
    const std::optional<ByteSpan> data = checkedDeviceData(report, kind.length);
    if (!data) {
        answerFrame(static_cast<Byte>(kind.failed), now);
        return;
    }
    std::copy(data->begin(), data->end(), state_.deviceMemory.begin() + report[kWriteAddressAt]);
    flipStored(report[kWriteAddressAt], data->size(), state_.deviceMemory);
    changed();
    answerFrame(static_cast<Byte>(kind.done), now);
}

// Segments 1, 2 and 3 make a page of 72 bytes; an update starts with its first
// accepted segment 1 and ends with a refusal or a Reset.
void StickModel::firmwareSegment(const Report& report, Millis now)
{
    const std::optional<ByteSpan> data = checkedSegmentData(report, firmware_.nextSegment);
    if (!data) {
        refuseSegment(now);
        return;
    }
    if (!firmware_.running) {
        firmware_.running = true;
        state_.receivedFirmware.clear();
        changed();
    }
    firmware_.page.insert(firmware_.page.end(), data->begin(), data->end());
    if (firmware_.page.size() < kPageBytes) {
        ++firmware_.nextSegment;
        answerFrame(static_cast<Byte>(ReplyCode::segmentAccepted), now);
        return;
    }
    acceptPage(now);
}

void StickModel::acceptPage(Millis now)
{
    if (faults_.refusePage == firmware_.pagesInUpdate) {
        faults_.refusePage.reset();
        refuseSegment(now);
        return;
    }
    if (state_.receivedFirmware.size() + firmware_.page.size() > kMaxReceivedFirmware) {
        refuseSegment(now);
        return;
    }
    state_.receivedFirmware.insert(state_.receivedFirmware.end(), firmware_.page.begin(), firmware_.page.end());
    firmware_.page.clear();
    firmware_.nextSegment = 1;
    ++firmware_.pagesInUpdate;
    pageSinceReset_ = true;
    changed();
    answerFrame(static_cast<Byte>(ReplyCode::pageWritten), now);
}

// The update stops where it is; the PC starts again from its first page.
void StickModel::refuseSegment(Millis now)
{
    firmware_ = {};
    answerFrame(faults_.refusePageCode, now);
}

void StickModel::reset(const Report& /*report*/, Millis now)
{
    firmware_ = {};
    if (pageSinceReset_) {
        pageSinceReset_ = false;
        state_.deviceFirmware = config_.firmwareAfterUpdate;
        changed();
    }
    nextIdentify_ = now + faults_.replyDelay + config_.identifyDelay;
}

std::vector<Byte> StickModel::identification() const
{
    const auto& id = config_.deviceId;
    return makeReply({kLinkReply, static_cast<Byte>(ReplyCode::identification), id[0], id[1], id[2], id[3], 0x00,
                      state_.deviceFirmware});
}

} // namespace ormid::sim
