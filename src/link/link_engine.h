#pragma once
// The USB Stick mode link engine: waits for the connected Ormid to announce itself,
// reads its 256-byte memory into the parameter image, writes it back with repeats,
// reads again on request and carries the firmware update page by page. Sans I/O:
// `Timer3Timer()` is one 100 ms tick driven from outside; whatever the window shows
// goes out through `LinkEngineEvents`.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/image.h"
#include "link/hid_transport.h"
#include "link/stick_frames.h"
#include "link/waiter.h"

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

// The log line of a firmware segment that went unanswered (the update ends as on a refusal).
inline constexpr std::string_view kFirmwareUnanswered = "FW Update: no answer";
// The caption when a read stops on a damaged or unanswered frame.
inline constexpr std::string_view kReadError = "Read Error!";
// The caption when a write fails or cannot start.
inline constexpr std::string_view kTransferError = "Transfer Error!";

// What the window shows of the engine. The window applies its own filters (the
// debug memo takes lines only while "Debug" is ticked and "Stop" is not).
class LinkEngineEvents {
public:
    virtual ~LinkEngineEvents() = default;

    virtual void setCaption(const std::string& text) = 0;
    virtual void appendCaption(const std::string& text) = 0;
    // `formDisabled`, the window lock.
    virtual bool formDisabled() const = 0;
    virtual void setFormDisabled(bool disabled) = 0;
    virtual void showActionButtons(bool shown) = 0;
    virtual void defaultCursor() = 0;
    virtual void log(const std::string& line) = 0;
    // `pbFWUpdate`: shown with position and maximum, or hidden.
    virtual void showFirmwareProgress(int position, int maximum) = 0;
    virtual void hideFirmwareProgress() = 0;
    // The version question (a warning with Yes and No); true for Yes.
    virtual bool askFirmwareUpdate(const std::string& question) = 0;
    virtual void beep() = 0;
    // `gbLog`: shown with the counters, or hidden (nullopt).
    virtual void showDeviceLog(const std::optional<DeviceLog>& values) = 0;
    // The main panel is redrawn from the image.
    virtual void redraw() = 0;
};

struct LinkEngineOptions {
    bool showLog = false;        // "-showLog"
    bool skipFW = false;         // no version question
    Byte embeddedFwVersion = 0;  // the built-in firmware image's version
};

class LinkEngine {
public:
    static constexpr int kNotStarted = -1;
    static constexpr int kWaiting = 0;
    static constexpr int kRead = 1;
    static constexpr int kWriting = 2;
    static constexpr int kFirstSegment = 3; // 3, 4, 5: firmware segments 1, 2, 3
    static constexpr int kLastSegment = 5;
    static constexpr int kMaxTries = 6;      // the first try and five repeats
    static constexpr std::chrono::milliseconds kTickPeriod{100};
    static constexpr std::chrono::milliseconds kReadPause{1000};
    // A frame whose reply has not come after this many quiet ticks (5 s) counts as
    // refused: a read or write frame is repeated, an update ends as on a refused page.
    static constexpr int kReplyTimeoutTicks = 50;

    // All four must outlive the engine. `waiter` carries the pause before the first read.
    LinkEngine(HidTransport& transport, EeBlock& eeBlock, LinkEngineEvents& events, Waiter& waiter,
               LinkEngineOptions options = {});

    // Start-up found USB Stick mode: wait for a device.
    void start();
    // One 100 ms tick: at most one report is taken and handled.
    void Timer3Timer();

    // "Transfer" in USB Stick mode: writes the image (bytes 0..249, then EE bytes 0..119).
    // Refused ("Transfer Error!") unless the device memory has been read completely:
    // bytes 128..249 go back as read, never as they stand in the middle of a read.
    void storeUSBStick();
    // "ReRead": only when unlocked and the image has been read.
    void bRereadClick();
    // The firmware image for "Update FW": `fwImage` holds the pages, `fwSize` bytes are
    // announced. False (and nothing kept) when the size is 0 or the pages reach past the image.
    bool setFirmware(ByteSpan fwImage, std::size_t fwSize);
    // "Update FW": only when unlocked and a firmware image is set.
    void bUpdateFwClick();

    int stickState() const { return stickState_; }
    Byte memAddr() const { return memAddr_; }
    int retryCount() const { return retryCount_; }
    const DeviceIdentification& identification() const { return identification_; }
    Byte deviceFwVersion() const { return deviceFwVersion_; }
    // True once a complete read has ended, until the next read begins.
    bool imageRead() const { return imageRead_; }
    int firmwarePages() const { return firmwarePages_; }
    int firmwareProgress() const { return firmwareProgress_; }

    // The version question's text for these versions.
    static std::string versionQuestion(Byte deviceFwVersion, Byte embeddedFwVersion);

private:
    using ReplyHandler = void (LinkEngine::*)(const Report&);
    using SilenceHandler = void (LinkEngine::*)();
    struct ReplyRule {
        ReplyCode code;
        ReplyHandler handler;
    };

    std::optional<Report> nextReport();
    void handleReport(const Report& report);
    void send2Stick(const LinkCommand& command);
    // The commands `stickCmd` builds from the engine state.
    enum class StickCommand { readMemory, writeMemory, writeEe, firmwareSegment, reset };
    // Builds the command of `kind` from the engine state (memAddr, the image, the
    // firmware image and segment) and sends it; its reply is then awaited, except after
    // Reset. False, nothing sent, when the image does not hold the command's data.
    bool stickCmd(StickCommand kind);
    std::optional<LinkCommand> buildCommand(StickCommand kind) const;
    // A reply awaited for `kReplyTimeoutTicks` quiet ticks counts as refused.
    void quietTick();

    void readMemoryAt(Byte address);
    void writeMemory();
    void writeEe();
    void sendSegment();
    Byte currentSegment() const; // 1..3 during an update

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

    void repeatRead();
    void repeatWriteMemory();
    void repeatWriteEe();
    void segmentUnanswered();
    void endUpdateRefused();

    void endOfRead();
    void readStopped();
    void writeFailure();
    void endWrite();
    bool inFirmwareUpdate() const { return stickState_ >= kFirstSegment && stickState_ <= kLastSegment; }
    void memoryDump();

    static const std::vector<ReplyRule>& replyRules();

    HidTransport& transport_;
    EeBlock& eeBlock_;
    LinkEngineEvents& events_;
    Waiter& waiter_;
    LinkEngineOptions options_;

    int stickState_ = kNotStarted;
    Byte memAddr_ = 0;           // device memory address (read, write)
    std::size_t fwAddr_ = 0;     // firmware image address (update)
    int retryCount_ = 0;
    DeviceIdentification identification_;
    Byte deviceFwVersion_ = 0;
    bool imageRead_ = false;
    bool updateRequested_ = false; // "Yes" to the version question: update after the tick
    // Link replies that the read after a frame found already waiting, for the next ticks.
    std::deque<Report> earlyReplies_;
    SilenceHandler onSilence_ = nullptr; // set while a reply is awaited
    int quietTicks_ = 0;

    std::vector<Byte> fwImage_;
    int firmwarePages_ = 0;
    int firmwareProgress_ = 0;
};

} // namespace ormid
