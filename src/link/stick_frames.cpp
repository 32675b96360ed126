#include "link/stick_frames.h"

#include "core/crc16.h"

namespace ormid {

namespace {

constexpr Byte kMemoryCommandLead0 = 0xAA;
constexpr Byte kMemoryCommandLead1 = 0x55;
constexpr Byte kModeQuery = 0xF8;
constexpr Byte kReadBlock = 0xF2;
constexpr Byte kWriteBlock = 0xF1;
constexpr Byte kErase = 0xFC;
constexpr Byte kBlockLengthCode = 0x10;

constexpr Byte kModeAnswer1 = 0x22;
constexpr Byte kModeAnswer2 = 0x5A;
constexpr Byte kReadHeader = 0x44;
constexpr Byte kWriteAck = 0x33;

constexpr Byte kReadMemoryOp = 0x02;
constexpr Byte kWriteMemoryOp = 0x04;
constexpr Byte kWriteEeOp = 0x05;
constexpr Byte kSegmentOp = 0x08;
constexpr Byte kResetOp = 0x0E;

constexpr Byte lowByte(std::uint16_t v)
{
    return static_cast<Byte>(v & 0xFF);
}
constexpr Byte highByte(std::uint16_t v)
{
    return static_cast<Byte>(v >> 8);
}

MemoryCommand blockCommand(Byte op, std::uint16_t address)
{
    return {kMemoryCommandLead0, kMemoryCommandLead1, op,   kBlockLengthCode,
            lowByte(address),    highByte(address),   0x00, 0x00};
}

bool startsWith(const Report& report, Byte b0, Byte b1)
{
    return report.size() >= 2 && report[0] == b0 && report[1] == b1;
}

// True when `count` bytes from `offset` lie inside a span of `size` bytes.
bool fits(std::size_t offset, std::size_t count, std::size_t size)
{
    return offset <= size && count <= size - offset;
}

// Builds 'code' op crcLo crcHi addr length <data>, with the CRC over addr, length and data.
LinkCommand writeCommand(Byte replyCode, Byte op, Byte address, Byte length, ByteSpan data)
{
    LinkCommand cmd;
    cmd.bytes = {replyCode, op, 0x00, 0x00, address, length};
    cmd.bytes.insert(cmd.bytes.end(), data.begin(), data.end());
    const std::uint16_t crc = crc16(ByteSpan(cmd.bytes).subspan(4));
    cmd.bytes[2] = lowByte(crc);
    cmd.bytes[3] = highByte(crc);
    return cmd;
}

} // namespace

// --- memory commands -------------------------------------------------------

MemoryCommand modeQueryCommand()
{
    return {kMemoryCommandLead0, kMemoryCommandLead1, kModeQuery, 0, 0, 0, 0, 0};
}

MemoryCommand readBlockCommand(std::uint16_t address)
{
    return blockCommand(kReadBlock, address);
}

MemoryCommand writeBlockCommand(std::uint16_t address)
{
    return blockCommand(kWriteBlock, address);
}

MemoryCommand eraseCommand()
{
    return {kMemoryCommandLead0, kMemoryCommandLead1, kErase, 0x00, 0x55, 0xAA, 0x00, 0x00};
}

MemoryCommand goRemoteCommand()
{
    return {kMemoryCommandLead0, kMemoryCommandLead1, kErase, 0x01, 0x55, 0xAA, 0x79, 0xA5};
}

// --- memory replies --------------------------------------------------------

std::optional<StickVariant> parseModeAnswer(const Report& report)
{
    if (report.size() < 3 || report[0] != kMemoryReply || report[1] != kModeAnswer1 || report[2] != kModeAnswer2)
        return std::nullopt;
    return (report[3] == 0x79 && report[4] == 0xA5) ? StickVariant::remote : StickVariant::local;
}

std::optional<Byte> parseReadHeader(const Report& report)
{
    if (!startsWith(report, kMemoryReply, kReadHeader))
        return std::nullopt;
    return report[4];
}

std::optional<WriteAcknowledgement> parseWriteAcknowledgement(const Report& report)
{
    if (!startsWith(report, kMemoryReply, kWriteAck))
        return std::nullopt;
    WriteAcknowledgement ack;
    ack.address = static_cast<std::uint16_t>(report[2] | (report[3] << 8));
    ack.status = report[4];
    return ack;
}

bool isUsbStickSwitch(const Report& report)
{
    return startsWith(report, kLinkReply, 0x50) || startsWith(report, kLinkReply, 0x51);
}

// --- link commands ---------------------------------------------------------

Byte readMemoryLength(Byte address)
{
    return address + kReadMemoryChunk < static_cast<int>(kDeviceMemorySize)
        ? kReadMemoryChunk
        : static_cast<Byte>(kDeviceMemorySize - address);
}

std::size_t segmentImageBytes(Byte segment)
{
    switch (segment) {
    case 1:
    case 2:
        return kSegmentBytes;
    case 3:
        return kLastSegmentBytes;
    default:
        return 0;
    }
}

LinkCommand readMemoryCommand(Byte address)
{
    return {{static_cast<Byte>(ReplyCode::memoryData), kReadMemoryOp, address, readMemoryLength(address)},
            "Read Memory 0x" + hexByte(address)};
}

LinkCommand syncReadCommand(Byte tag)
{
    return {{static_cast<Byte>(ReplyCode::memoryData), kReadMemoryOp, tag, kSyncReadLength},
            "Read Memory 0x" + hexByte(tag) + " (sync)"};
}

std::optional<LinkCommand> writeMemoryCommand(Byte address, ByteSpan image)
{
    if (!fits(address, kWriteMemoryChunk, image.size()))
        return std::nullopt;
    LinkCommand cmd = writeCommand(static_cast<Byte>(ReplyCode::writeDone), kWriteMemoryOp, address, kWriteMemoryChunk,
                                   image.subspan(address, kWriteMemoryChunk));
    cmd.bytes.push_back(0x00);
    cmd.logText = "Write Memory 0x" + hexByte(address);
    return cmd;
}

std::optional<LinkCommand> writeEeCommand(Byte address, ByteSpan image)
{
    if (!fits(address, kWriteEeChunk, image.size()))
        return std::nullopt;
    LinkCommand cmd = writeCommand(static_cast<Byte>(ReplyCode::eeWriteDone), kWriteEeOp, address, kWriteEeChunk,
                                   image.subspan(address, kWriteEeChunk));
    cmd.logText = "Write Memory 0x" + hexByte(address) + " write EE";
    return cmd;
}

std::optional<LinkCommand> firmwareSegmentCommand(Byte segment, ByteSpan firmware, std::size_t offset)
{
    const std::size_t count = segmentImageBytes(segment);
    if (count == 0 || !fits(offset, count, firmware.size()))
        return std::nullopt;
    const ByteSpan data = firmware.subspan(offset, count);
    const std::uint16_t crc = crc16(data);
    LinkCommand cmd;
    cmd.bytes = {static_cast<Byte>(ReplyCode::segmentAccepted), kSegmentOp, lowByte(crc), highByte(crc), segment};
    cmd.bytes.insert(cmd.bytes.end(), data.begin(), data.end());
    cmd.bytes.resize(5 + kSegmentBytes, 0x00); // segment 3: 6 zero bytes after the 20 image bytes
    return cmd;
}

LinkCommand resetCommand()
{
    return {{kNoReplyAwaited, kResetOp}, "Reset!"};
}

LinkFrame buildLinkFrame(ByteSpan command, std::size_t outputReportLength)
{
    LinkFrame frame;
    if (command.size() < 2)
        return frame; // its status stays nothingToSend: no operation byte to send
    const std::size_t frameLength = kLinkFramePrefix.size() + command.size() - 1;
    if (frameLength > outputReportLength) {
        frame.status = LinkFrameStatus::tooLong;
        return frame;
    }
    frame.status = LinkFrameStatus::built;
    frame.report.assign(outputReportLength, 0x00);
    frame.report[0] = kLinkFramePrefix[0];
    frame.report[1] = kLinkFramePrefix[1];
    for (std::size_t i = 1; i < command.size(); ++i)
        frame.report[kLinkFramePrefix.size() + i - 1] = command[i];
    return frame;
}

// --- link replies ----------------------------------------------------------

bool isLinkReply(const Report& report)
{
    return report.size() >= 2 && report[0] == kLinkReply;
}

std::optional<Byte> linkReplyCode(const Report& report)
{
    if (!isLinkReply(report))
        return std::nullopt;
    return report[1];
}

std::optional<DeviceIdentification> parseIdentification(const Report& report)
{
    constexpr std::size_t kIdentificationSize = 8; // B2 5F id0 id1 id2 id3 x fw
    if (linkReplyCode(report) != static_cast<Byte>(ReplyCode::identification) || report.size() < kIdentificationSize)
        return std::nullopt;
    DeviceIdentification ident;
    for (std::size_t i = 0; i < ident.id.size(); ++i)
        ident.id[i] = report[2 + i];
    ident.firmware = report[7];
    return ident;
}

MemoryDataReply parseMemoryData(const Report& report)
{
    constexpr std::size_t kHeaderSize = 6; // B2 52 crcLo crcHi addr len
    MemoryDataReply reply;
    if (linkReplyCode(report) != static_cast<Byte>(ReplyCode::memoryData))
        return reply; // its status stays notMemoryData
    reply.status = MemoryDataStatus::truncated;
    if (report.size() < kHeaderSize)
        return reply;
    reply.address = report[4];
    reply.length = report[5];
    if (report.size() - kHeaderSize < reply.length)
        return reply;
    const auto& bytes = report.bytes();
    reply.data.assign(bytes.begin() + kHeaderSize, bytes.begin() + kHeaderSize + reply.length);
    const std::uint16_t received = static_cast<std::uint16_t>(report[2] | (report[3] << 8));
    const std::uint16_t computed = crc16(ByteSpan(bytes).subspan(4, 2 + reply.length));
    reply.status = received == computed ? MemoryDataStatus::valid : MemoryDataStatus::badCrc;
    return reply;
}

} // namespace ormid
