#pragma once
// A programming stick in software: the device model behind ormid-stick-sim and
// the in-process stick of the tests. It takes output reports in and queues input
// reports with the time they are due; it does no I/O and keeps no clock of its own.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "core/image.h"
#include "link/stick_frames.h"

namespace ormid::sim {

// Milliseconds on the caller's clock (a real one in the server, a virtual one in tests).
using Millis = std::int64_t;

enum class StickMode { memory, usb };

using DeviceId = std::array<Byte, 4>;

// An Ormid on a production line: its number, and whether it answers every write frame
// with a refusal (a damaged unit).
struct LineDevice {
    DeviceId id{};
    bool refusesWrites = false;

    bool operator==(const LineDevice&) const = default;
};

struct StickConfig {
    StickMode mode = StickMode::memory;
    bool legacy = false;         // memory mode: the stick ignores the mode query
    bool deviceConnected = true; // USB Stick mode: an Ormid is connected
    DeviceId deviceId = {0x12, 0x34, 0x56, 0x78};
    bool deviceRefusesWrites = false; // the connected device refuses every write frame
    // A production line: once the PC has sent the connected device a frame and then no
    // frame has come for `swapWhenIdle`, the next of these takes its place and announces
    // itself. Each starts with the device memory and firmware the model started with.
    std::vector<LineDevice> nextDevices{};
    // Longer than the identify period: the read after a write still finds the written device.
    Millis swapWhenIdle = 3000;
    // The device's version when the model starts; it replaces StickState::deviceFirmware,
    // because the command line names the device just as it names its id.
    Byte deviceFirmware = 77;      // 0xFF: the device reports no version
    Byte firmwareAfterUpdate = 77; // what the device reports after a completed update and Reset
    Millis identifyDelay = 200;    // '_' this long after the read-block answer and after Reset
    Millis identifyPeriod = 2000;  // then every period (0 or less: no repeats)
};

struct LostReply {
    Byte code = 0;
    int count = 0;

    bool operator==(const LostReply&) const = default;
};

// Each fault is off by default.
struct Faults {
    int refuseWriteMemory = 0; // the next N Write Memory frames are answered 'U'
    int refuseWriteEe = 0;     // the next N Write EE frames are answered 'W'
    // The answer to the N-th Write Memory, Write EE or firmware-segment frame (from 1,
    // counted since the model started) is lost: the frame is carried out, its reply never comes.
    std::optional<int> loseLinkAck{};
    // The N-th such frame is carried out and answered with another frame's reply code
    // ('V' for Write Memory, 'T' for the others), which answers nothing the PC asked.
    std::optional<int> wrongLinkAck{};
    // The N-th link reply with this code (from 1, counted since the model started) is
    // lost, whatever it answers: a write or firmware acknowledgement, memory data, an
    // identification. What the frame asked for is carried out all the same.
    std::optional<LostReply> loseReply{};
    // The N-th answer to a firmware segment (from 1, counted since the model started)
    // comes with 'X' and 'Z' swapped: the device takes the segment as usual.
    std::optional<int> swapSegmentAck{};
    std::optional<Byte> corruptReadAt{}; // the 'R' reply for this address carries a wrong CRC (every time)
    // The three block-write faults stand for a failed write: the block is not written.
    bool neverAckBlockWrite = false; // a block write gets no C0 33
    bool ackOtherAddress = false;    // C0 33 names another block's address
    bool ackStatusZero = false;      // C0 33 with status 0
    // The block of the N-th block write (from 1, counted since the model started) is
    // written, but its C0 33 is lost: a write that happened without the PC learning so.
    std::optional<int> loseBlockAck{};
    // Firmware page number (0-based, counted from the update's first page) that is
    // refused once, at its segment 3; a restarted update then goes through.
    std::optional<int> refusePage{};
    Byte refusePageCode = 'Y'; // 'Y' or '['; also the answer to a bad or out-of-order segment
    // A write that covers this address stores its byte inverted, and is acknowledged as
    // usual: the stick's memory in memory mode, the device's memory (0..255) in USB Stick mode.
    std::optional<std::uint16_t> flipStoredAt{};
    // The connection ends after N reports (in and out); fires once, a new connection is not dropped again.
    std::optional<int> dropAfterReports{};
    Millis replyDelay = 0; // every reply is due this much later
};

constexpr std::size_t kStickMemorySize = 0x10000;
// The device keeps at most this much of an update; further pages are refused, so a
// PC that never stops sending cannot grow the model without bound.
constexpr std::size_t kMaxReceivedFirmware = 0x10000;
// A block write whose next data report comes later than this is abandoned (nothing is
// written) and that report is taken as a command: the PC gave up on the block.
constexpr Millis kBlockWriteTimeout = 1000;

// What the stick and the connected device keep; persists across connections and,
// through a state file, across runs.
struct StickState {
    std::vector<Byte> memory = std::vector<Byte>(kStickMemorySize, 0xFF); // the stick's 64 KB
    bool remote = false;                                                  // memory mode: remote stick
    std::array<Byte, 256> deviceMemory{};                                 // the connected Ormid's memory
    Byte deviceFirmware = 77;                                             // current device firmware version
    std::vector<Byte> receivedFirmware;                                   // bytes of the last firmware update

    bool operator==(const StickState&) const = default;
};

// The 128 bytes at a stick address; addresses wrap at the end of the 64 KB.
// A memory shorter than 64 KB reads FF past its end and is not written there.
Block readStickBlock(const StickState& state, std::uint16_t address);
void writeStickBlock(StickState& state, std::uint16_t address, const Block& block);

enum class Direction { in, out }; // in: PC to stick; out: stick to PC

class StickModel {
public:
    // A `state.memory` of another size than 64 KB is cut or filled with FF to 64 KB.
    StickModel(StickConfig config, Faults faults, StickState state);

    Byte inputReportLength() const; // 8 in memory mode, 64 in USB Stick mode
    Byte outputReportLength() const;
    Byte featureReportLength() const { return 0; }

    // A new connection (the stick plugged in): pending replies and half-received
    // block writes are forgotten; memories persist. The device behind the stick is
    // hardware of its own: an update it is in the middle of stays so until it gets a Reset.
    void connect(Millis now);
    // One output report from the PC. Garbage of any length is ignored safely.
    // A report shorter than the output report is zero-filled, as the HID layer does;
    // an empty or longer one is ignored.
    void receive(ByteSpan report, Millis now);
    // Advances periodic work (the device's identification) to `now`. Identifications
    // missed while nobody advanced the clock are sent once, not one per period.
    void advance(Millis now);
    // The next input report due by `now`, if any.
    std::optional<std::vector<Byte>> takeInput(Millis now);
    // When the next input report or periodic event is due; nullopt when none is planned.
    std::optional<Millis> nextDue() const;
    // True once the drop fault has fired: the connection must end (the stick was pulled out).
    bool connectionDropped() const;

    const StickState& state() const { return state_; }
    // Called after every change of the persistent state (to save a state file).
    void onStateChanged(std::function<void()> callback);
    // Called with every report in and out (for --log).
    void onReport(std::function<void(Direction, ByteSpan)> callback);
    // Called with every block the stick stores (for --log).
    void onBlockStored(std::function<void(std::uint16_t address, const Block& block)> callback);

private:
    struct Queued {
        Millis due = 0;
        std::vector<Byte> report;
    };
    struct BlockWrite {
        std::uint16_t address = 0;
        std::vector<Byte> data;
        Millis lastReport = 0;
    };
    struct FirmwareProgress {
        Byte nextSegment = 1;
        std::vector<Byte> page;
        bool running = false; // an update is under way: its first segment was accepted
        int pagesInUpdate = 0;
    };
    struct DeviceWrite;
    using Handler = void (StickModel::*)(const Report&, Millis);

    bool admit();
    void dropIfDue();
    void changed();

    std::vector<Byte> makeReply(std::initializer_list<Byte> leading) const;
    void queue(std::vector<Byte> report, Millis due);
    // The loseReply fault on a report about to be queued: true when it is the one lost.
    bool loseReply(const std::vector<Byte>& report);
    void reply(std::vector<Byte> report, Millis now);
    void linkReply(Byte code, Millis now);
    // The answer to a write frame or firmware segment, as the faults leave it.
    void answerFrame(Byte code, Millis now);

    void handle(ByteSpan report, Millis now);
    bool takeBlockData(const Report& report, Millis now);
    void finishBlockWrite(Millis now);
    // The flipStoredAt fault on `count` bytes just stored from `first` on.
    template <typename Memory>
    void flipStored(std::size_t first, std::size_t count, Memory& memory) const;
    void handleMemoryCommand(const Report& report, Millis now);
    void answerModeQuery(const Report& report, Millis now);
    void answerReadBlock(const Report& report, Millis now);
    void startBlockWrite(const Report& report, Millis now);
    void eraseToLocal(const Report& report, Millis now);
    void eraseToRemote(const Report& report, Millis now);
    void eraseMemories(bool remote);
    void answerUsbReadBlock(const Report& report, Millis now);

    void handleLinkFrame(const Report& report, Millis now);
    void readMemory(const Report& report, Millis now);
    void writeMemory(const Report& report, Millis now);
    void writeEe(const Report& report, Millis now);
    void writeDevice(const Report& report, const DeviceWrite& kind, Millis now);
    void firmwareSegment(const Report& report, Millis now);
    void acceptPage(Millis now);
    void refuseSegment(Millis now);
    void reset(const Report& report, Millis now);
    std::vector<Byte> identification() const;
    // When the next line device takes the connected one's place; nullopt when none will.
    std::optional<Millis> swapDue() const;
    void swapDevice(Millis due);

    StickConfig config_;
    Faults faults_;
    StickState state_;

    std::deque<Queued> pending_; // ordered by due time
    std::optional<BlockWrite> blockWrite_;
    FirmwareProgress firmware_;
    bool pageSinceReset_ = false;
    std::optional<Millis> nextIdentify_;
    int reportsCounted_ = 0;
    int blockWrites_ = 0;
    int answeredFrames_ = 0; // write frames and firmware segments
    int segmentAnswers_ = 0; // 'X' and 'Z'
    int repliesWithLostCode_ = 0;
    bool dropped_ = false;
    // The production line: the connected device's place in it and what it started with.
    std::size_t nextDevice_ = 0;
    std::optional<Millis> lastLinkFrame_; // to the connected device; none yet when nullopt
    decltype(StickState::deviceMemory) lineDeviceMemory_{};
    Byte lineDeviceFirmware_ = 0;

    std::function<void()> stateChanged_;
    std::function<void(Direction, ByteSpan)> reportSeen_;
    std::function<void(std::uint16_t, const Block&)> blockStored_;
};

} // namespace ormid::sim
