#pragma once
// The link engine for the command line, blocking: ticks it on a waiter until the
// outcome that ends an operation comes, and turns what went wrong into the messages
// ormid-cli prints. Progress lines ("frame n/20", "page n/80") go to the stream it is
// given. It looks for the stick once a second, so that a stick pulled out ends the
// wait at once instead of after every repeat of a frame nobody receives.

#include <atomic>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/image.h"
#include "link/firmware_image.h"
#include "link/hid_transport.h"
#include "link/link_engine.h"
#include "link/waiter.h"

namespace ormid {

class DeviceSession {
public:
    static constexpr int kIdentifyTicks = 100;
    static constexpr int kPresenceTicks = 10;
    // The engine ends every operation itself: each frame is given up after its sixth
    // unanswered try. These bounds, past that worst case, only keep a fault of ours
    // from waiting for ever.
    static constexpr int kReadFrames = 10;
    static constexpr int ticksFor(int frames)
    {
        return LinkEngine::kReadPauseTicks + (frames * LinkEngine::kMaxTries + 1) * LinkEngine::kReplyTimeoutTicks;
    }
    static constexpr const char* kPulledOut = "The stick was pulled out.";

    // `transport`, `waiter` and `progress` must outlive the session.
    DeviceSession(HidTransport& transport, Waiter& waiter, std::ostream& progress);

    // Each of these returns nullopt when it succeeded, else the exit code, the reason on `err`.

    // Finds the stick in USB Stick mode and starts listening for the device.
    std::optional<int> start(std::ostream& err);
    // Finds the stick and waits for the device's identification.
    std::optional<int> connect(std::ostream& err);
    // Finds the device and reads its memory into the image (the read its identification starts).
    std::optional<int> connectAndRead(std::ostream& err);
    // Reads the device memory again into the image, after the second a device needs
    // once it has announced itself (a device back from an update is not read by itself).
    std::optional<int> readAfresh(std::ostream& err);
    // After a write: the read the device's next identification starts, into the image.
    std::optional<int> readBack(std::ostream& err);

    enum class DeviceWait { arrived, interrupted, stickGone };
    // Batch: waits, however long, until a device with another number than `previous`
    // (none before the first) has announced itself and is not being read, or until
    // `interrupted` is set.
    DeviceWait awaitAnotherDevice(const std::optional<std::string>& previous, const std::atomic<bool>* interrupted);

    // Writes the image to the device with the engine's repeats, a "frame n/20" line for
    // each frame the device acknowledges; false, with what the device holds now on `err`,
    // when the write failed.
    bool write(std::ostream& err);
    // Resets the device, sends the firmware page by page once it is back and the Reset
    // after the last, then waits for the device to come back with the new version;
    // false when it does not come back, a page is refused or unanswered, or the device
    // comes back with another version.
    bool updateFirmware(const FirmwareImage& firmware, std::ostream& err);

    EeBlock& image() { return image_; }
    const LinkEngine& engine() const { return engine_; }

private:
    std::optional<int> awaitIdentification(std::ostream& err);
    std::optional<int> awaitRead(std::ostream& err);
    bool awaitRestart(std::ostream& err);
    // Why the device did not come back from the Reset before the pages.
    std::string notBackText(std::optional<LinkOutcome> end) const;
    // Why the pages stopped. Of the segment in flight nobody knows whether the device took it.
    std::string updateStopText(std::optional<LinkOutcome> end) const;
    // Ticks until one of `ends` comes; nullopt after `maxTicks` or when the stick is gone.
    std::optional<LinkOutcome> awaitEnd(int maxTicks, std::span<const LinkOutcome> ends);
    std::vector<LinkOutcome> nextTick();

    HidTransport& transport_;
    Waiter& waiter_;
    std::ostream& progress_;
    EeBlock image_ = makeDefaultImage();
    LinkEngine engine_;
    int ticks_ = 0;
    bool stickGone_ = false;
};

} // namespace ormid
