#pragma once
// The window side of the USB Stick mode link engine: drives it with the 100 ms timer
// "Timer3", takes the user's "Transfer", "ReRead" and "Update FW" to it, and shows
// what it reports (caption, lock, buttons, progress, the "Log" group, the debug memo).
// The engine never waits or asks; the version question is asked here, after its tick.

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/kept_configuration.h"
#include "core/image.h"
#include "core/run_state.h"
#include "link/firmware_image.h"
#include "link/hid_transport.h"
#include "link/link_engine.h"

class QTimer;
class QWidget;

namespace ormid {

class MainPanel;
class UserDialogs;

// What the window lends to the link; everything must outlive the LinkWindow.
struct LinkWindowContext {
    QWidget& window; // its caption is the status line
    RunState& run;
    EeBlock& eeBlock;
    KeptConfiguration& kept;
    MainPanel& panel;
    HidTransport& transport;
    UserDialogs& dialogs;
    // Runs or stops the presence watch: stopped while a write is on the wire.
    std::function<void(bool running)> presenceWatch;
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
    void Timer3Timer();
    // "Transfer" in USB Stick mode: the device gets the image as it is now.
    void storeUSBStick();
    void bRereadClick();
    void bUpdateFwClick();
    // The image "Update FW" sends; an image without pages is not taken.
    void setFirmware(const FirmwareImage& firmware);

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
    void firmwareUpdateEnded(const QString& captionText, bool failed);
    // Tells the user why a request did not start; false then.
    bool started(LinkStart start);
    void log(const std::string& line);
    void setCaption(const QString& text);
    // The caption followed by `text`: a progress or a verdict, which the next one replaces.
    void showProgress(const QString& text);
    void unlock();

    LinkWindowContext context_;
    LinkEngine engine_;
    QTimer* timer3_ = nullptr;
    bool stopped_ = false;
    QString caption_; // the window caption without the progress or verdict after it
    // Bytes 0..249 as the last write sent them, until the read after it compares them.
    std::optional<std::vector<Byte>> sentForVerify_;
    // The window's image just before the read after a write replaced it: what the user
    // changed since the Transfer click goes back into the window.
    EeBlock imageBeforeVerify_;
};

} // namespace ormid
