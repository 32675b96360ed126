#pragma once
// Every report the program sends to the programming stick and every report it
// understands: memory commands and replies (memory mode) and link
// frames and replies (USB Stick mode). Pure functions, no I/O.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/data_block.h"
#include "core/image.h"
#include "core/text_lines.h"
#include "link/hid_transport.h"

namespace ormid {

// ---------------------------------------------------------------------------
// Stick memory (memory mode)

// kBlockSize and Block, one 128-byte stick block, come from core/data_block.h.
constexpr std::uint16_t kControlBlockAddress = 0xFF80;
constexpr std::size_t kDataReportSize = 8;                             // a memory command / memory data report
constexpr std::size_t kReportsPerBlock = kBlockSize / kDataReportSize; // 16

// One memory command: an 8-byte output report, unused bytes 0.
using MemoryCommand = std::array<Byte, kDataReportSize>;

MemoryCommand modeQueryCommand();                       // AA 55 F8 00 00 00 00 00
MemoryCommand readBlockCommand(std::uint16_t address);  // AA 55 F2 10 lo hi 00 00
MemoryCommand writeBlockCommand(std::uint16_t address); // AA 55 F1 10 lo hi 00 00
MemoryCommand eraseCommand();                           // AA 55 FC 00 55 AA 00 00
MemoryCommand goRemoteCommand();                        // AA 55 FC 01 55 AA 79 A5

constexpr Byte kMemoryReply = 0xC0;
constexpr Byte kLinkReply = 0xB2;

// Memory replies. Each parser recognises its reply by its leading bytes (a report
// too short to hold them is not that reply); fields past the report's end read 0.

enum class StickVariant { local, remote };

// C0 22 5A b3 b4: remote when b3 b4 = 79 A5, else local. nullopt: not a mode answer.
std::optional<StickVariant> parseModeAnswer(const Report& report);

// C0 44 x x n: the number n of data bytes that follow. nullopt: not a read header.
std::optional<Byte> parseReadHeader(const Report& report);

// C0 33 lo hi s: acknowledgement of a block write.
struct WriteAcknowledgement {
    std::uint16_t address = 0;
    Byte status = 0; // 1 = written

    // True when this acknowledgement reports the block at `blockAddress` as written.
    bool confirms(std::uint16_t blockAddress) const { return status == 1 && address == blockAddress; }
};
std::optional<WriteAcknowledgement> parseWriteAcknowledgement(const Report& report);

// B2 50 or B2 51: the stick is in USB Stick mode (the answer to a read block command).
bool isUsbStickSwitch(const Report& report);

// ---------------------------------------------------------------------------
// Link frames (USB Stick mode)

constexpr std::array<Byte, 2> kLinkFramePrefix = {0xCA, 0xC5};

// Link reply codes (byte 1 of a report whose byte 0 is B2).
enum class ReplyCode : Byte {
    identification = 0x5F,  // '_' device number and firmware version
    noDevice = 0x51,        // 'Q'
    memoryData = 0x52,      // 'R'
    writeDone = 0x54,       // 'T' Write Memory done
    writeFailed = 0x55,     // 'U' Write Memory failed
    eeWriteDone = 0x56,     // 'V' Write EE done
    eeWriteFailed = 0x57,   // 'W' Write EE failed
    segmentAccepted = 0x58, // 'X' firmware segment taken, send the next
    segmentRefused = 0x59,  // 'Y' firmware segment refused
    pageWritten = 0x5A,     // 'Z' firmware page (three segments) written
    pageRefused = 0x5B,     // '[' firmware page refused
};

// Marks a command after which no reply is awaited (Reset); never transmitted.
constexpr Byte kNoReplyAwaited = 0x00;

// A link command in the stick protocol's convention: bytes[0] is the code of the
// reply the engine expects and is not transmitted; bytes[1..] follow CA C5 in the
// frame. `logText` is the text after "Send: " in the debug log; empty = no line.
struct LinkCommand {
    std::vector<Byte> bytes;
    std::string logText;
};

constexpr std::size_t kDeviceMemorySize = 256;
constexpr Byte kReadMemoryChunk = 26;
constexpr Byte kWriteMemoryChunk = 25;                                    // 0x19
constexpr Byte kWriteEeChunk = 12;                                        // 0x0C
constexpr std::size_t kSegmentBytes = 26;                                 // image bytes of segments 1 and 2
constexpr std::size_t kLastSegmentBytes = 20;                             // image bytes of segment 3
constexpr std::size_t kPageBytes = 2 * kSegmentBytes + kLastSegmentBytes; // 72
constexpr int kSegmentsPerPage = 3;

// Number of bytes Read Memory asks for: 26 when address + 26 < 256, else 256 - address.
Byte readMemoryLength(Byte address);
// Image bytes a firmware segment carries: 26 for segments 1 and 2, 20 for segment 3, else 0.
std::size_t segmentImageBytes(Byte segment);

// 'R' | 02 addr len                                           "Read Memory 0xHH"
LinkCommand readMemoryCommand(Byte address);
// A read no other frame asks for: one byte. Write and firmware replies carry nothing
// to tell which frame they answer, but the device answers in order, so once the
// answer to this read (its address the tag) has come, every reply to a frame sent
// before it has come too, or is lost.
constexpr Byte kSyncReadLength = 1;
// 'R' | 02 tag 01                                              "Read Memory 0xHH (sync)"
LinkCommand syncReadCommand(Byte tag);
// 'T' | 04 crcLo crcHi addr 19 <image[addr..addr+24]> 00       "Write Memory 0xHH"
// CRC-16 over addr, 19 and the 25 data bytes. nullopt when the data lies outside `image`.
std::optional<LinkCommand> writeMemoryCommand(Byte address, ByteSpan image);
// 'V' | 05 crcLo crcHi addr 0C <image[addr..addr+11]>          "Write Memory 0xHH write EE"
// CRC-16 over addr, 0C and the 12 data bytes. nullopt when the data lies outside `image`.
std::optional<LinkCommand> writeEeCommand(Byte address, ByteSpan image);
// 'X' | 08 crcLo crcHi seg <26 data bytes>                     (no log text)
// Segments 1 and 2 carry firmware[offset..offset+25]; segment 3 carries
// firmware[offset..offset+19] followed by 6 zero bytes. CRC-16 over the image bytes
// only. nullopt for a segment other than 1..3 or data outside `firmware`.
std::optional<LinkCommand> firmwareSegmentCommand(Byte segment, ByteSpan firmware, std::size_t offset);
// (no reply) | 0E                                              "Reset!"
LinkCommand resetCommand();

enum class LinkFrameStatus {
    built,         // `report` holds the output report
    nothingToSend, // the command has fewer than two bytes; nothing is sent
    tooLong,       // CA C5 + the command does not fit the output report; nothing is sent
};
struct LinkFrame {
    LinkFrameStatus status = LinkFrameStatus::nothingToSend;
    std::vector<Byte> report; // sized to the output report length; zeros after the frame
};
// The output report for a command: CA C5 followed by command[1..], zero-filled to
// `outputReportLength`. Never truncates: a frame longer than the report is refused.
LinkFrame buildLinkFrame(ByteSpan command, std::size_t outputReportLength);

// Link replies.

// True when byte 0 is B2 and the report holds a reply code.
bool isLinkReply(const Report& report);
// Byte 1 of a link reply; nullopt for any other report.
std::optional<Byte> linkReplyCode(const Report& report);

// '_': B2 5F id0 id1 id2 id3 x fw.
struct DeviceIdentification {
    std::array<Byte, 4> id{};
    Byte firmware = 0xFF; // 0xFF: the device reports no version

    // id0..id3 as 8 uppercase hexadecimal digits.
    std::string deviceNumber() const { return hexBytes(id); }
};
// nullopt when the report is not an identification reply or is too short to hold fw.
std::optional<DeviceIdentification> parseIdentification(const Report& report);

// 'R': B2 52 crcLo crcHi addr len <len data bytes>; CRC-16 over addr, len and the data.
enum class MemoryDataStatus {
    valid,
    notMemoryData, // not a link reply 'R'
    truncated,     // the report cannot hold the header or the announced data bytes
    badCrc,        // complete, but the CRC differs (the engine drops it)
};
struct MemoryDataReply {
    MemoryDataStatus status = MemoryDataStatus::notMemoryData;
    Byte address = 0;
    Byte length = 0;
    std::vector<Byte> data; // the len data bytes when valid or badCrc; empty otherwise
};
MemoryDataReply parseMemoryData(const Report& report);

} // namespace ormid
