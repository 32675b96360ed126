#pragma once
// The window side of the USB Stick mode link engine: drives it with the 100 ms timer
// "Timer3", takes the user's "Transfer", "ReRead" and "Update FW" to it, and shows
// what it reports (status line, lock, buttons, progress, the "Log" group, the debug memo).
// The engine never waits or asks; the version question is asked here, after its tick.

#include <QObject>
#include <QString>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/kept_configuration.h"
#include "core/image.h"
#include "core/run_state.h"
#include "core/status_line.h"
#include "link/firmware_image.h"
#include "link/hid_transport.h"
#include "link/link_engine.h"

class QTimer;

namespace ormid {

class MainPanel;
class UserDialogs;

// What the window lends to the link; everything must outlive the LinkWindow.
struct LinkWindowContext {
    RunState& run;
    StatusLine& status;
    EeBlock& eeBlock;
    KeptConfiguration& kept;
    MainPanel& panel;
    HidTransport& transport;
    UserDialogs& dialogs;
};

class LinkWindow final : public QObject {
    Q_OBJECT
public:
    LinkWindow(LinkWindowContext context, LinkEngineOptions options, std::chrono::milliseconds tickPeriod,
               QObject* parent = nullptr);

    const LinkEngine& engine() const { return engine_; }

    // Start-up found USB Stick mode: the engine waits for a device, Timer3 runs.
    void start();
    void stop();
    // One turn of the engine, and what it reports shown.
    void tickEngine();
    // "Transfer" in USB Stick mode: the device gets the image as it is now.
    void transfer();
    // "ReRead": the device memory read again.
    void reread();
    // "Update FW": the device gets the loaded or the built-in firmware.
    void updateFirmware();
    // The image "Update FW" sends; an image without pages is not taken.
    void setFirmware(const FirmwareImage& firmware);

signals:
    void statusChanged();
    // Stopped while a write is on the wire.
    void presenceWatchWanted(bool running);
    // The device's image is in the window; the window shows it.
    void imageChanged(ormid::ImageChange change);

private:
    void present(LinkOutcome outcome);
    void endOfRead();
    // The read after a write: compares it with what the write sent; on a difference the
    // image gets back what was sent, and the result is the message for the user.
    std::optional<QString> verifyRead();
    // Bytes 0..249 the user changed since the Transfer click, which the read after the
    // write replaced; nullopt when the window held what was sent.
    std::optional<std::vector<Byte>> changedSinceTransfer() const;
    void askFirmwareUpdate();
    // Shows how the update ended (with a beep when it failed) and unlocks the window.
    void firmwareUpdateEnded(const std::string& verdict, bool failed);
    // Tells the user why a request did not start; false then.
    bool started(LinkStart start);
    void log(const std::string& line);
    // The whole caption replaced by `text`.
    void setCaption(std::string text);
    // The device that announced itself, ready for work.
    void showDevice();
    // After the caption, replacing the verdict or the progress before.
    void showProgress(std::string text);
    void showVerdict(std::string text);
    void unlock();

    LinkWindowContext context_;
    LinkEngine engine_;
    QTimer* timer3_ = nullptr;
    bool stopped_ = false;
    // Bytes 0..249 as the last write sent them, until the read after it compares them.
    std::optional<std::vector<Byte>> sentForVerify_;
    // The window's image just before the read after a write replaced it: what the user
    // changed since the Transfer click goes back into the window.
    EeBlock imageBeforeVerify_;
};

} // namespace ormid
