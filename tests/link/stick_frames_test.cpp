#include "link/stick_frames.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "core/crc16.h"

namespace ormid {
namespace {

using Bytes = std::vector<Byte>;

Bytes toBytes(const MemoryCommand& c)
{
    return {c.begin(), c.end()};
}

std::vector<Byte> countingImage(std::size_t size, Byte start = 0)
{
    std::vector<Byte> image(size);
    std::iota(image.begin(), image.end(), start);
    return image;
}

// --- memory commands -------------------------------------------------------

TEST(MemoryCommands, Bytes)
{
    struct Case {
        const char* name;
        MemoryCommand command;
        Bytes expected;
    };
    const std::vector<Case> cases = {
        {"mode query", modeQueryCommand(), {0xAA, 0x55, 0xF8, 0, 0, 0, 0, 0}},
        {"read control block", readBlockCommand(0xFF80), {0xAA, 0x55, 0xF2, 0x10, 0x80, 0xFF, 0, 0}},
        {"read M2 data block", readBlockCommand(0x4000), {0xAA, 0x55, 0xF2, 0x10, 0x00, 0x40, 0, 0}},
        {"read 0x0280", readBlockCommand(0x0280), {0xAA, 0x55, 0xF2, 0x10, 0x80, 0x02, 0, 0}},
        {"write M3 data block", writeBlockCommand(0x8000), {0xAA, 0x55, 0xF1, 0x10, 0x00, 0x80, 0, 0}},
        {"write control block", writeBlockCommand(kControlBlockAddress), {0xAA, 0x55, 0xF1, 0x10, 0x80, 0xFF, 0, 0}},
        {"erase", eraseCommand(), {0xAA, 0x55, 0xFC, 0x00, 0x55, 0xAA, 0x00, 0x00}},
        {"go remote", goRemoteCommand(), {0xAA, 0x55, 0xFC, 0x01, 0x55, 0xAA, 0x79, 0xA5}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(toBytes(c.command), c.expected) << c.name;
}

TEST(MemoryCommands, Constants)
{
    EXPECT_EQ(kControlBlockAddress, 0xFF80);
    EXPECT_EQ(kBlockSize, 128u);
    EXPECT_EQ(kDataReportSize, 8u);
    EXPECT_EQ(kReportsPerBlock, 16u);
}

// --- memory replies --------------------------------------------------------

TEST(MemoryReplies, ModeAnswer)
{
    struct Case {
        const char* name;
        Bytes report;
        std::optional<StickVariant> expected;
    };
    const std::vector<Case> cases = {
        {"remote", {0xC0, 0x22, 0x5A, 0x79, 0xA5, 0, 0, 0}, StickVariant::remote},
        {"local zeros", {0xC0, 0x22, 0x5A, 0x00, 0x00, 0, 0, 0}, StickVariant::local},
        {"local half match", {0xC0, 0x22, 0x5A, 0x79, 0x00, 0, 0, 0}, StickVariant::local},
        {"local swapped", {0xC0, 0x22, 0x5A, 0xA5, 0x79, 0, 0, 0}, StickVariant::local},
        {"short report is local", {0xC0, 0x22, 0x5A}, StickVariant::local},
        {"too short", {0xC0, 0x22}, std::nullopt},
        {"read header", {0xC0, 0x44, 0, 0, 0x80, 0, 0, 0}, std::nullopt},
        {"link reply", {0xB2, 0x50, 0, 0, 0, 0, 0, 0}, std::nullopt},
        {"empty", {}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseModeAnswer(Report(c.report)), c.expected) << c.name;
}

TEST(MemoryReplies, ReadHeader)
{
    EXPECT_EQ(parseReadHeader(Report({0xC0, 0x44, 0x12, 0x34, 0x80, 0, 0, 0})), Byte{0x80});
    EXPECT_EQ(parseReadHeader(Report({0xC0, 0x44, 0x00, 0x00, 0x40, 0, 0, 0})), Byte{0x40});
    EXPECT_EQ(parseReadHeader(Report({0xC0, 0x44})), Byte{0x00}); // n past the end reads 0
    EXPECT_EQ(parseReadHeader(Report({0xC0, 0x33, 0, 0, 0x80})), std::nullopt);
    EXPECT_EQ(parseReadHeader(Report({0xC0})), std::nullopt);
    EXPECT_EQ(parseReadHeader(Report()), std::nullopt);
}

TEST(MemoryReplies, WriteAcknowledgement)
{
    const auto ack = parseWriteAcknowledgement(Report({0xC0, 0x33, 0x80, 0xFF, 0x01, 0, 0, 0}));
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->address, 0xFF80);
    EXPECT_EQ(ack->status, 1);
    EXPECT_TRUE(ack->confirms(0xFF80));
    EXPECT_FALSE(ack->confirms(0x8000)); // another address fails

    const auto notWritten = parseWriteAcknowledgement(Report({0xC0, 0x33, 0x00, 0x40, 0x00, 0, 0, 0}));
    ASSERT_TRUE(notWritten);
    EXPECT_EQ(notWritten->address, 0x4000);
    EXPECT_FALSE(notWritten->confirms(0x4000));

    const auto status2 = parseWriteAcknowledgement(Report({0xC0, 0x33, 0x00, 0x40, 0x02}));
    ASSERT_TRUE(status2);
    EXPECT_FALSE(status2->confirms(0x4000));

    EXPECT_FALSE(parseWriteAcknowledgement(Report({0xC0, 0x44, 0x00, 0x40, 0x01})));
    EXPECT_FALSE(parseWriteAcknowledgement(Report({0xB2, 0x33, 0x00, 0x40, 0x01})));
}

TEST(MemoryReplies, UsbStickSwitch)
{
    struct Case {
        Bytes report;
        bool expected;
    };
    const std::vector<Case> cases = {
        {{0xB2, 0x50, 0, 0, 0, 0, 0, 0}, true},
        {{0xB2, 0x51}, true},
        {{0xB2, 0x52, 0, 0}, false},
        {{0xB2, 0x5F}, false},
        {{0xC0, 0x50}, false},
        {{0xB2}, false},
        {{}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isUsbStickSwitch(Report(c.report)), c.expected) << hexBytes(c.report);
}

// --- link commands ---------------------------------------------------------

TEST(LinkCommands, ReadMemoryLength)
{
    struct Case {
        Byte address;
        Byte length;
    };
    const std::vector<Case> cases = {
        {0, 26}, {26, 26}, {208, 26}, {229, 26}, {230, 26}, {231, 25}, {234, 22}, {254, 2}, {255, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readMemoryLength(c.address), c.length) << int(c.address);
}

TEST(LinkCommands, ReadMemory)
{
    const LinkCommand at0 = readMemoryCommand(0);
    EXPECT_EQ(at0.bytes, (Bytes{'R', 0x02, 0x00, 26}));
    EXPECT_EQ(at0.logText, "Read Memory 0x00");

    const LinkCommand at234 = readMemoryCommand(234);
    EXPECT_EQ(at234.bytes, (Bytes{'R', 0x02, 0xEA, 22}));
    EXPECT_EQ(at234.logText, "Read Memory 0xEA");
}

TEST(LinkCommands, WriteMemoryLayoutAndCrc)
{
    const auto image = countingImage(256, 0x10);
    const auto cmd = writeMemoryCommand(25, image);
    ASSERT_TRUE(cmd);
    ASSERT_EQ(cmd->bytes.size(), 32u);
    EXPECT_EQ(cmd->bytes[0], 'T');
    EXPECT_EQ(cmd->bytes[1], 0x04);
    EXPECT_EQ(cmd->bytes[4], 25);
    EXPECT_EQ(cmd->bytes[5], 0x19);
    for (std::size_t k = 0; k < 25; ++k)
        EXPECT_EQ(cmd->bytes[6 + k], image[25 + k]) << k;
    EXPECT_EQ(cmd->bytes[31], 0x00);

    Bytes covered = {25, 0x19};
    covered.insert(covered.end(), image.begin() + 25, image.begin() + 50);
    const std::uint16_t crc = crc16(covered);
    EXPECT_EQ(cmd->bytes[2], crc & 0xFF);
    EXPECT_EQ(cmd->bytes[3], crc >> 8);
    EXPECT_EQ(cmd->logText, "Write Memory 0x19");
}

TEST(LinkCommands, WriteMemoryBounds)
{
    const auto device = countingImage(256);
    EXPECT_TRUE(writeMemoryCommand(225, device));  // bytes 225..249: the last frame of a write
    EXPECT_TRUE(writeMemoryCommand(231, device));  // bytes 231..255
    EXPECT_FALSE(writeMemoryCommand(232, device)); // would read byte 256
    EXPECT_FALSE(writeMemoryCommand(255, device));

    const auto small = countingImage(128);
    EXPECT_TRUE(writeMemoryCommand(100, small));
    EXPECT_FALSE(writeMemoryCommand(104, small));
    EXPECT_FALSE(writeMemoryCommand(0, ByteSpan{}));
}

TEST(LinkCommands, WriteEeLayoutAndCrc)
{
    const auto image = countingImage(256, 0x80);
    const auto cmd = writeEeCommand(108, image);
    ASSERT_TRUE(cmd);
    ASSERT_EQ(cmd->bytes.size(), 18u);
    EXPECT_EQ(cmd->bytes[0], 'V');
    EXPECT_EQ(cmd->bytes[1], 0x05);
    EXPECT_EQ(cmd->bytes[4], 108);
    EXPECT_EQ(cmd->bytes[5], 0x0C);
    for (std::size_t k = 0; k < 12; ++k)
        EXPECT_EQ(cmd->bytes[6 + k], image[108 + k]) << k;

    Bytes covered = {108, 0x0C};
    covered.insert(covered.end(), image.begin() + 108, image.begin() + 120);
    const std::uint16_t crc = crc16(covered);
    EXPECT_EQ(cmd->bytes[2], crc & 0xFF);
    EXPECT_EQ(cmd->bytes[3], crc >> 8);
    EXPECT_EQ(cmd->logText, "Write Memory 0x6C write EE");

    EXPECT_TRUE(writeEeCommand(116, countingImage(128)));
    EXPECT_FALSE(writeEeCommand(117, countingImage(128)));
}

TEST(LinkCommands, FirmwareSegments)
{
    const auto firmware = countingImage(0x3000);
    for (const Byte seg : {Byte{1}, Byte{2}}) {
        const auto cmd = firmwareSegmentCommand(seg, firmware, 72);
        ASSERT_TRUE(cmd) << int(seg);
        ASSERT_EQ(cmd->bytes.size(), 31u);
        EXPECT_EQ(cmd->bytes[0], 'X');
        EXPECT_EQ(cmd->bytes[1], 0x08);
        EXPECT_EQ(cmd->bytes[4], seg);
        const ByteSpan data = ByteSpan(firmware).subspan(72, 26);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), cmd->bytes.begin() + 5));
        const std::uint16_t crc = crc16(data);
        EXPECT_EQ(cmd->bytes[2], crc & 0xFF);
        EXPECT_EQ(cmd->bytes[3], crc >> 8);
        EXPECT_EQ(cmd->logText, "");
    }
}

TEST(LinkCommands, FirmwareSegmentThreeZeroFillAndCrcOverTwentyBytes)
{
    std::vector<Byte> firmware(200, 0xEE);
    const auto cmd = firmwareSegmentCommand(3, firmware, 52);
    ASSERT_TRUE(cmd);
    ASSERT_EQ(cmd->bytes.size(), 31u);
    EXPECT_EQ(cmd->bytes[4], 3);
    for (std::size_t k = 0; k < 20; ++k)
        EXPECT_EQ(cmd->bytes[5 + k], 0xEE) << k;
    for (std::size_t k = 20; k < 26; ++k)
        EXPECT_EQ(cmd->bytes[5 + k], 0x00) << k; // not the image's 0xEE
    const std::uint16_t crc = crc16(ByteSpan(firmware).subspan(52, 20));
    EXPECT_EQ(cmd->bytes[2], crc & 0xFF);
    EXPECT_EQ(cmd->bytes[3], crc >> 8);
    EXPECT_NE(crc, crc16(ByteSpan(cmd->bytes).subspan(5, 26))); // the zero fill is not covered
    EXPECT_EQ(cmd->logText, "");
}

TEST(LinkCommands, FirmwareSegmentBounds)
{
    const auto firmware = countingImage(72);
    EXPECT_TRUE(firmwareSegmentCommand(1, firmware, 0));
    EXPECT_TRUE(firmwareSegmentCommand(3, firmware, 52));
    EXPECT_FALSE(firmwareSegmentCommand(3, firmware, 53));
    EXPECT_FALSE(firmwareSegmentCommand(2, firmware, 47));
    EXPECT_FALSE(firmwareSegmentCommand(0, firmware, 0));
    EXPECT_FALSE(firmwareSegmentCommand(4, firmware, 0));
    EXPECT_FALSE(firmwareSegmentCommand(1, firmware, std::size_t(-1)));
}

TEST(LinkCommands, Reset)
{
    const LinkCommand reset = resetCommand();
    EXPECT_EQ(reset.bytes, (Bytes{kNoReplyAwaited, 0x0E}));
    EXPECT_EQ(reset.logText, "Reset!");
}

// --- link frames -----------------------------------------------------------

TEST(LinkFrames, BuildsPrefixAndCommandTail)
{
    struct Case {
        const char* name;
        Bytes command;
        std::size_t outputLength;
        LinkFrameStatus status;
        Bytes report;
    };
    const Bytes writeMemory = writeMemoryCommand(0, countingImage(256))->bytes;
    Bytes writeMemoryFrame = {0xCA, 0xC5};
    writeMemoryFrame.insert(writeMemoryFrame.end(), writeMemory.begin() + 1, writeMemory.end());

    Bytes readAt0In64(64, 0);
    readAt0In64[0] = 0xCA;
    readAt0In64[1] = 0xC5;
    readAt0In64[2] = 0x02;
    readAt0In64[3] = 0x00;
    readAt0In64[4] = 26;

    const std::vector<Case> cases = {
        {"empty command", {}, 64, LinkFrameStatus::nothingToSend, {}},
        {"one byte", {'R'}, 64, LinkFrameStatus::nothingToSend, {}},
        {"reset", {0x00, 0x0E}, 8, LinkFrameStatus::built, {0xCA, 0xC5, 0x0E, 0, 0, 0, 0, 0}},
        {"read memory in 64", readMemoryCommand(0).bytes, 64, LinkFrameStatus::built, readAt0In64},
        {"exact fit", {'X', 1, 2, 3}, 5, LinkFrameStatus::built, {0xCA, 0xC5, 1, 2, 3}},
        {"one too long", {'X', 1, 2, 3, 4}, 5, LinkFrameStatus::tooLong, {}},
        {"write memory fills 33", writeMemory, 33, LinkFrameStatus::built, writeMemoryFrame},
        {"write memory in 32", writeMemory, 32, LinkFrameStatus::tooLong, {}},
        {"write memory in 8", writeMemory, 8, LinkFrameStatus::tooLong, {}},
        {"no output report", {0x00, 0x0E}, 0, LinkFrameStatus::tooLong, {}},
    };
    for (const auto& c : cases) {
        const LinkFrame frame = buildLinkFrame(c.command, c.outputLength);
        EXPECT_EQ(frame.status, c.status) << c.name;
        EXPECT_EQ(frame.report, c.report) << c.name;
    }
    EXPECT_EQ(writeMemoryFrame.size(), 33u); // the longest frame
}

// --- link replies ----------------------------------------------------------

TEST(LinkReplies, ReplyCode)
{
    EXPECT_EQ(linkReplyCode(Report({0xB2, 0x5F, 1, 2})), Byte{0x5F});
    EXPECT_EQ(linkReplyCode(Report({0xB2, 0x41})), Byte{0x41});
    EXPECT_EQ(linkReplyCode(Report({0xB2})), std::nullopt);
    EXPECT_EQ(linkReplyCode(Report({0xC0, 0x44})), std::nullopt);
    EXPECT_EQ(linkReplyCode(Report()), std::nullopt);
    EXPECT_TRUE(isLinkReply(Report({0xB2, 0x51})));
    EXPECT_FALSE(isLinkReply(Report({0x00, 0x51})));
}

TEST(LinkReplies, ReplyCodeNames)
{
    struct Case {
        ReplyCode code;
        char character;
    };
    const std::vector<Case> cases = {
        {ReplyCode::identification, '_'}, {ReplyCode::noDevice, 'Q'},        {ReplyCode::memoryData, 'R'},
        {ReplyCode::writeDone, 'T'},      {ReplyCode::writeFailed, 'U'},     {ReplyCode::eeWriteDone, 'V'},
        {ReplyCode::eeWriteFailed, 'W'},  {ReplyCode::segmentAccepted, 'X'}, {ReplyCode::segmentRefused, 'Y'},
        {ReplyCode::pageWritten, 'Z'},    {ReplyCode::pageRefused, '['},
    };
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<Byte>(c.code), static_cast<Byte>(c.character)) << c.character;
}

TEST(LinkReplies, Identification)
{
    const auto ident = parseIdentification(Report({0xB2, 0x5F, 0x12, 0x34, 0x56, 0x78, 0x99, 0xFF}));
    ASSERT_TRUE(ident);
    EXPECT_EQ(ident->deviceNumber(), "12345678");
    EXPECT_EQ(ident->firmware, 0xFF);

    Bytes longReport(64, 0);
    longReport[0] = 0xB2;
    longReport[1] = '_';
    longReport[2] = 0xAB;
    longReport[3] = 0x0C;
    longReport[4] = 0xDE;
    longReport[5] = 0x0F;
    longReport[7] = 77;
    const auto second = parseIdentification(Report(longReport));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->deviceNumber(), "AB0CDE0F");
    EXPECT_EQ(second->firmware, 77);

    EXPECT_FALSE(parseIdentification(Report({0xB2, 0x5F, 0x12, 0x34, 0x56, 0x78, 0x99}))); // fw missing
    EXPECT_FALSE(parseIdentification(Report({0xB2, 0x52, 0x12, 0x34, 0x56, 0x78, 0x99, 0x01})));
    EXPECT_FALSE(parseIdentification(Report({0xC0, 0x5F, 0x12, 0x34, 0x56, 0x78, 0x99, 0x01})));
}

Bytes memoryDataReport(Byte address, const Bytes& data, std::size_t reportLength = 64)
{
    Bytes covered = {address, static_cast<Byte>(data.size())};
    covered.insert(covered.end(), data.begin(), data.end());
    const std::uint16_t crc = crc16(covered);
    Bytes report = {0xB2, 'R', static_cast<Byte>(crc & 0xFF), static_cast<Byte>(crc >> 8)};
    report.insert(report.end(), covered.begin(), covered.end());
    if (report.size() < reportLength)
        report.resize(reportLength, 0);
    return report;
}

TEST(LinkReplies, MemoryDataGood)
{
    const Bytes data = countingImage(26, 0x40);
    const MemoryDataReply reply = parseMemoryData(Report(memoryDataReport(26, data)));
    EXPECT_EQ(reply.status, MemoryDataStatus::valid);
    EXPECT_EQ(reply.address, 26);
    EXPECT_EQ(reply.length, 26);
    EXPECT_EQ(reply.data, data);

    // The last read: 22 bytes at 234; a report exactly holding them.
    const Bytes last = countingImage(22, 0x90);
    const Bytes exact = memoryDataReport(234, last, 0);
    EXPECT_EQ(exact.size(), 28u);
    const MemoryDataReply lastReply = parseMemoryData(Report(exact));
    EXPECT_EQ(lastReply.status, MemoryDataStatus::valid);
    EXPECT_EQ(lastReply.data, last);

    // Zero data bytes.
    EXPECT_EQ(parseMemoryData(Report(memoryDataReport(10, {}, 0))).status, MemoryDataStatus::valid);
}

TEST(LinkReplies, MemoryDataBadCrc)
{
    struct Case {
        const char* name;
        std::size_t index;
    };
    const std::vector<Case> cases = {
        {"crc low", 2}, {"crc high", 3}, {"address", 4}, {"first data byte", 6}, {"last data byte", 31},
    };
    const Bytes data = countingImage(26, 0x01);
    for (const auto& c : cases) {
        Bytes report = memoryDataReport(0, data);
        report[c.index] ^= 0x01;
        EXPECT_EQ(parseMemoryData(Report(report)).status, MemoryDataStatus::badCrc) << c.name;
    }
    // A byte after the announced data is not covered.
    Bytes report = memoryDataReport(0, data);
    report[32] ^= 0xFF;
    EXPECT_EQ(parseMemoryData(Report(report)).status, MemoryDataStatus::valid);
}

TEST(LinkReplies, MemoryDataHostileLength)
{
    struct Case {
        const char* name;
        Bytes report;
        MemoryDataStatus status;
    };
    Bytes announces255 = {0xB2, 'R', 0x00, 0x00, 0x00, 0xFF};
    announces255.resize(64, 0xAA); // a 64-byte report cannot hold 255 data bytes
    Bytes oneShort = memoryDataReport(0, countingImage(26), 0);
    oneShort.pop_back();

    const std::vector<Case> cases = {
        {"255 announced in 64", announces255, MemoryDataStatus::truncated},
        {"one byte short", oneShort, MemoryDataStatus::truncated},
        {"header only", {0xB2, 'R', 0x00, 0x00, 0x00}, MemoryDataStatus::truncated},
        {"code only", {0xB2, 'R'}, MemoryDataStatus::truncated},
        {"26 in 8-byte report", {0xB2, 'R', 0x00, 0x00, 0x00, 26, 1, 2}, MemoryDataStatus::truncated},
        {"not R", {0xB2, 'T', 0x00, 0x00, 0x00, 0x00}, MemoryDataStatus::notMemoryData},
        {"not a link reply", {0xC0, 'R', 0x00, 0x00, 0x00, 0x00}, MemoryDataStatus::notMemoryData},
        {"empty", {}, MemoryDataStatus::notMemoryData},
    };
    for (const auto& c : cases) {
        const MemoryDataReply reply = parseMemoryData(Report(c.report));
        EXPECT_EQ(reply.status, c.status) << c.name;
        EXPECT_TRUE(reply.data.empty()) << c.name;
    }
}

} // namespace
} // namespace ormid
