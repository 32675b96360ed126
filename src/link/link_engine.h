#pragma once
// The USB Stick mode link engine: waits for the connected Ormid to announce itself,
// reads its 256-byte memory into the parameter image, writes it back with repeats,
// reads again on request and carries the firmware update page by page.
//
// It never blocks: `tick()` is one 100 ms tick driven from outside (the window's
// timer, the command line's sleep loop, a test's virtual clock), and a pause is a
// phase that lasts some ticks. The transport is injected: the engine writes its
// frames to the transport it is given and reads one report from it per tick. What
// happened comes back as typed outcomes that the window and ormid-cli each present
// in their own way.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/image.h"
#include "link/hid_transport.h"
#include "link/stick_frames.h"

namespace ormid {

// The device's operation counters from image bytes 247..254 (the "Log" group).
struct DeviceLog {
    std::uint32_t operationMinutes = 0; // `lOp`, bytes 247..249
    std::uint16_t switchCount = 0;      // `lSwCnt`, bytes 250..251
    std::uint32_t overTempMinutes = 0;  // `lOverT`, bytes 252..253 in 15-minute units
    Byte maxTemperature = 0;            // `lMaxT`, byte 254, °C
};

// Reads the counters from a device image; an image shorter than 256 bytes reads zeros.
DeviceLog readDeviceLog(const EeBlock& eeBlock);
// The counters are shown with "-showLog" for a device of firmware 1.72 or newer.
bool deviceLogShown(bool showLog, Byte deviceFwVersion);

// "FW 1.77", or "FW ???" for 0xFF, the version byte of a device that reports none.
std::string firmwareVersionText(Byte firmware);
// The version the identification carries, as above.
std::string firmwareVersionText(const DeviceIdentification& identification);
// The device in the caption after a read: "Device Nr. 12345678, FW 1.77".
std::string deviceText(const DeviceIdentification& identification);

// The caption when a write fails.
inline constexpr std::string_view kTransferError = "Transfer Error!";

// What a tick brought about. Several may come from one tick (a read that ends and
// the version question it raises).
enum class LinkOutcome {
    deviceGone,        // 'Q': no device behind the stick; whatever ran is abandoned
    readDone,          // the device memory is in the image
    readFailed,        // a read stopped on a damaged frame or one that went unanswered
    frameWritten,      // a write frame was acknowledged; writeProgress() tells how far the write is
    writeDone,         // every frame of a write was acknowledged, in order
    writeFailed,       // a write frame was refused or went unanswered six times
    pagesBegin,        // the device came back from the Reset that starts an update: page 1 goes out
    pageSent,          // the last segment of a firmware page went out
    resetSent,         // the last page was written and the device reset; its identification is awaited
    updateDone,        // after the Reset the device announced the firmware version it was sent
    updateNotTaken,    // after the Reset the device announced another version
    updateUnconfirmed, // after the Reset the device did not announce itself in time
    updateNotStarted,  // the device did not come back from the Reset that starts an update: no page went out
    updateRefused,     // the device refused a firmware segment, or answered it with another segment's reply
    updateUnanswered,  // a firmware segment went unanswered
    questionDue,       // after readDone: the device runs another firmware than the built-in one
};

// Where an update that failed stopped: the page and segment in flight, counted from
// 1, and the device's reply to that segment (none when no answer came).
struct FirmwareStop {
    int page = 0;
    int segment = 0;
    std::optional<Byte> reply;

    bool operator==(const FirmwareStop&) const = default;
};

// How far a write got: the image bytes from address 0 whose frames the device
// acknowledged, first by Write Memory (bytes 0..249), then by Write EE (bytes 0..119).
struct WriteProgress {
    std::size_t memoryBytes = 0; // Write Memory ('T') acknowledged for bytes 0..memoryBytes-1
    std::size_t eeBytes = 0;     // Write EE ('V') acknowledged for bytes 0..eeBytes-1
    int framesAcknowledged = 0;  // of kWriteFrames

    bool operator==(const WriteProgress&) const = default;
};

// The answer to a request to start a read, a write or an update.
enum class LinkStart {
    started,
    busy,       // another read, write or update is under way
    notRead,    // a write needs a device image read completely
    notReady,   // no device image to read again (no device, or a write just ended)
    noFirmware, // an update needs a firmware image
};

struct LinkEngineOptions {
    bool skipFW = false;        // no version question
    Byte embeddedFwVersion = 0; // the built-in firmware image's version
};

// The debug lines ("Send: …", "RET: …", the memory dump); the window filters them.
using LinkLog = std::function<void(const std::string& line)>;

// Where the engine is. A read, a write or an update runs in the phases between
// `readPause` and `awaitingRestart`; no other may start meanwhile.
enum class LinkPhase {
    notStarted,       // start-up has not found USB Stick mode yet
    waitingForDevice, // for a device to announce itself: at the start, after 'Q', after a good write
    readPause,        // the second a device needs after announcing itself, before the first Read Memory
    reading,          // Read Memory frames, from address 0 on
    idle,             // a device is there: its memory read, or the read stopped, or a write failed, or an update ended
    writingMemory,    // Write Memory frames (bytes 0..249)
    writingEe,        // Write EE frames (bytes 0..119), after the Write Memory frames
    sendingSegment,   // the firmware pages, one segment after the other
    awaitingRestart,  // a Reset went out; the device's announcement is awaited
};

class LinkEngine {
public:
    static constexpr int kMaxTries = 6; // the first try and five repeats
    static constexpr std::chrono::milliseconds kTickPeriod{100};
    // The device needs a second after announcing itself before the first read.
    static constexpr int kReadPauseTicks = 10;
    // A frame whose reply has not come after this many ticks (5 s) counts as
    // refused: a read or write frame is repeated, an update ends.
    static constexpr int kReplyTimeoutTicks = 50;
    // A reply may still come this long after its frame (15 s); an answer owed for
    // longer is taken as lost. Before that a frame goes out again only after a sync
    // read has shown that the answer is lost, so a late one is never taken for the
    // repeat's, nor a repeat's for the next frame's.
    static constexpr int kLateReplyTicks = 150;
    // After a Reset the device restarts and announces itself; an update whose device
    // has not done so after this many ticks (10 s) does not start, or is not confirmed.
    static constexpr int kRestartTicks = 100;
    // A write sends ten Write Memory frames (bytes 0..249), then ten Write EE frames (bytes 0..119).
    static constexpr int kWriteFrames = 20;
    // The device memory a write sends (the Write Memory frames); bytes 250..255 are never written.
    static constexpr std::size_t kWrittenBytes = std::size_t{kWriteFrames / 2} * kWriteMemoryChunk;

    // `transport` and `eeBlock` must outlive the engine.
    LinkEngine(HidTransport& transport, EeBlock& eeBlock, LinkEngineOptions options = {}, LinkLog log = {});

    // Start-up found USB Stick mode: wait for a device.
    void start();
    // One 100 ms tick: a due pause ends, at most one report is taken and handled, a
    // frame whose reply is overdue is repeated or given up.
    std::vector<LinkOutcome> tick();

    // Writes a snapshot of the image taken now (bytes 0..249, then EE bytes 0..119),
    // whatever happens to the image meanwhile. Needs a device image read completely,
    // so that bytes 128..249 go back as read.
    LinkStart startWrite();
    // Reads the device memory again from address 0 (after a read, or one that stopped).
    LinkStart startRead();
    // The firmware image for an update: `fwImage` holds the pages, `fwSize` bytes are
    // announced, and the device announces `fwVersion` once it runs them. False (and
    // nothing kept) when the size is 0 or the pages reach past the image.
    bool setFirmware(ByteSpan fwImage, std::size_t fwSize, Byte fwVersion);
    // Resets the device, and once it has announced itself sends the firmware from
    // page 0. Segments carry no page address: a device left in the middle of an
    // update (by an update broken off, in this run or another) would append the
    // pages to what it holds, and only a Reset makes it start afresh.
    LinkStart startUpdate();

    LinkPhase phase() const;
    // A read, write or update is under way: no other may start.
    bool busy() const;
    bool isWaitingForDevice() const { return phase() == LinkPhase::waitingForDevice; }
    // A device is there and nothing runs: a read, a write or an update may start.
    bool isIdle() const { return phase() == LinkPhase::idle; }
    const LinkEngineOptions& options() const { return options_; }
    const DeviceIdentification& identification() const { return identification_; }
    Byte deviceFwVersion() const { return deviceFwVersion_; }
    // What the last write sent (the snapshot it took); bytes 0..249 are the device memory.
    const EeBlock& writtenImage() const { return writeImage_; }
    // True once a complete read has ended, until the next read begins.
    bool imageRead() const { return imageRead_; }
    int firmwarePages() const { return firmwarePages_; }
    // Pages whose last segment went out; pages the device confirmed ('Z').
    int firmwareProgress() const { return firmwareProgress_; }
    int firmwarePagesWritten() const { return firmwarePagesWritten_; }
    // The page (from 1) whose confirmation is awaited, or was when the update ended.
    int firmwarePageInFlight() const { return firmwarePagesWritten_ + 1; }
    Byte firmwareVersion() const { return fwVersion_; }
    // Of the last update that was refused or went unanswered; nullopt after any other end.
    const std::optional<FirmwareStop>& firmwareStop() const { return firmwareStop_; }
    // Of the running write, or of the last one.
    const WriteProgress& writeProgress() const { return writeProgress_; }

    // The version question's text for these versions.
    static std::string versionQuestion(Byte deviceFwVersion, Byte embeddedFwVersion);

private:
    // Frames and the replies that answer them; each family has its own reply codes.
    enum class Family { read, writeMemory, writeEe, firmware };
    static constexpr std::size_t kFamilies = 4;
    using ReplyHandler = void (LinkEngine::*)(const Report&);
    struct ReplyRule {
        ReplyCode code;
        std::optional<Family> family; // the frames it answers; none for unasked replies
        ReplyHandler handler;
    };
    // A frame that is still owed its reply: which logical frame, when it went out
    // (tick), and its place among everything sent.
    struct OwedReply {
        std::uint32_t frame = 0;
        std::uint64_t sentAt = 0;
        std::uint64_t sent = 0;
    };
    // A sync read on the wire: its tag and its place among everything sent.
    struct SyncRead {
        Byte tag = 0;
        std::uint64_t sent = 0;
    };
    // The phase, with the data only it has. A phase without data is `Plain`.
    template <LinkPhase P>
    struct Plain {
        static constexpr LinkPhase kPhase = P;
    };
    struct ReadPause {
        static constexpr LinkPhase kPhase = LinkPhase::readPause;
        int ticksLeft = kReadPauseTicks;
    };
    struct SendingSegment {
        static constexpr LinkPhase kPhase = LinkPhase::sendingSegment;
        Byte segment = 1; // of the page in flight, 1..kSegmentsPerPage
    };
    // A Reset whose device has not announced itself yet: before an update's pages or
    // after them, and the tick by which it must have.
    enum class RestartFor { pages, confirmation };
    struct AwaitingRestart {
        static constexpr LinkPhase kPhase = LinkPhase::awaitingRestart;
        RestartFor purpose = RestartFor::pages;
        std::uint64_t deadline = 0;
    };
    using NotStarted = Plain<LinkPhase::notStarted>;
    using WaitingForDevice = Plain<LinkPhase::waitingForDevice>;
    using Reading = Plain<LinkPhase::reading>;
    using Idle = Plain<LinkPhase::idle>;
    using WritingMemory = Plain<LinkPhase::writingMemory>;
    using WritingEe = Plain<LinkPhase::writingEe>;
    using Phase = std::variant<NotStarted, WaitingForDevice, ReadPause, Reading, Idle, WritingMemory, WritingEe,
                               SendingSegment, AwaitingRestart>;

    static const std::vector<ReplyRule>& replyRules();
    std::optional<Report> nextReport();
    void handleReport(const Report& report);
    // True when the reply is the answer to the frame being awaited. A device answers in
    // order, so a reply belongs to the oldest frame of its family still owed one: the
    // late answer of a frame whose operation has ended, or a stray, is dropped here.
    bool answersAwaitedFrame(Family family);
    // The family of the frame whose reply the phase awaits; none between frame chains.
    std::optional<Family> awaitedFamily() const;
    void forgetExpiredReplies();
    bool replyStillOwed();
    void sendFrame(const LinkCommand& command);
    enum class StickCommand { readMemory, writeMemory, writeEe, firmwareSegment, reset };
    // Builds the command of `kind` from the engine state and sends it. A new logical
    // frame unless `repeat`. While a reply to an earlier frame may still come (it would
    // be taken for this frame's), the frame waits behind a sync read and goes out once
    // that is answered. False, nothing sent, when the data is not there.
    bool sendCommand(StickCommand kind, bool repeat = false);
    std::optional<LinkCommand> buildCommand(StickCommand kind) const;
    void markAwaited(bool repeat);
    void awaitReply(Family family, bool repeat);
    // Whatever ended the frame chain: a frame waiting behind a sync read does not go out.
    void dropDeferredFrame();
    void replyOverdue();
    void sendSyncRead();
    void onSyncAnswer(const MemoryDataReply& reply);
    void forgetOwedReplies();

    void readMemoryAt(Byte address, bool repeat = false);
    void sendWriteMemory(bool repeat = false);
    void sendWriteEe(bool repeat = false);
    // Enters `sendingSegment` with `segment` (1..kSegmentsPerPage) of the next page and sends it.
    void sendSegment(Byte segment);
    Byte segmentInFlight() const;

    void beginRead();
    void onIdentification(const Report& report);
    void onNoDevice(const Report& report);
    void onMemoryData(const Report& report);
    void onWriteDone(const Report& report);
    void onWriteFailed(const Report& report);
    void onEeWriteDone(const Report& report);
    void onEeWriteFailed(const Report& report);
    void onSegmentAccepted(const Report& report);
    void onPageWritten(const Report& report);
    void onPageRefused(const Report& report);
    void wrongFirmwareReply(const Report& report);

    void repeatRead();
    void repeatWriteMemory();
    void repeatWriteEe();
    void endRead();
    void stopRead();
    void endWrite(LinkOutcome outcome);
    void endUpdate(LinkOutcome outcome);
    void stopUpdate(LinkOutcome outcome, std::optional<Byte> reply);
    void sendReset(RestartFor purpose);
    void restartAnnounced();
    void restartMissed();
    void memoryDump();
    void log(const std::string& line) const;

    HidTransport& transport_;
    EeBlock& eeBlock_;
    LinkEngineOptions options_;
    LinkLog log_;

    Phase phase_ = NotStarted{};
    Byte memAddr_ = 0;       // device memory address (read, write)
    std::size_t fwAddr_ = 0; // firmware image address (update)
    int retryCount_ = 0;
    DeviceIdentification identification_;
    Byte deviceFwVersion_ = 0;
    bool imageRead_ = false;
    EeBlock readImage_;                 // the device memory as it arrives; the image takes it at the end
    EeBlock writeImage_;                // what a write sends, taken when it started
    std::vector<LinkOutcome> outcomes_; // of the running tick or request

    // Link replies that the read after a frame found already waiting, for the next ticks.
    std::deque<Report> earlyReplies_;
    std::array<std::deque<OwedReply>, kFamilies> owed_;
    std::uint32_t awaitedFrame_ = 0;
    std::uint32_t lastFrame_ = 0;
    std::uint64_t ticks_ = 0;
    std::uint64_t awaitedSentAt_ = 0; // when the awaited frame's latest try went out (or began to wait)
    std::uint64_t sends_ = 0;         // reports written
    std::optional<SyncRead> sync_;
    Byte nextSyncTag_ = 0;
    std::optional<StickCommand> deferred_; // the frame waiting for the sync read's answer

    WriteProgress writeProgress_;

    std::vector<Byte> fwImage_;
    Byte fwVersion_ = 0;
    int firmwarePages_ = 0;
    int firmwareProgress_ = 0;
    int firmwarePagesWritten_ = 0;
    std::optional<FirmwareStop> firmwareStop_;
};

} // namespace ormid
