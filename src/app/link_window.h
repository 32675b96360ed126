#pragma once
// The window side of the USB Stick mode link engine: shows what the engine reports
// (caption, lock, buttons, progress, the "Log" group, the debug memo) and drives it
// with the 100 ms timer "Timer3".

#include <QObject>

#include <chrono>
#include <optional>
#include <string>

#include "app/run_state.h"
#include "core/image.h"
#include "link/firmware_image.h"
#include "link/hid_transport.h"
#include "link/link_engine.h"
#include "link/waiter.h"

class QTimer;
class QWidget;

namespace ormid {

class MainPanel;
class UserDialogs;

// What the window lends to the engine; everything must outlive the LinkWindow.
struct LinkWindowContext {
    QWidget& window; // its caption is the status line
    RunState& run;
    EeBlock& eeBlock;
    MainPanel& panel;
    HidTransport& transport;
    Waiter& waiter;
    UserDialogs& dialogs;
};

class LinkWindow final : public QObject, public LinkEngineEvents {
    Q_OBJECT
public:
    LinkWindow(LinkWindowContext context, LinkEngineOptions options, std::chrono::milliseconds tickPeriod,
               QObject* parent = nullptr);

    const LinkEngine& engine() const { return engine_; }

    // Start-up found USB Stick mode: the engine waits for a device, Timer3 runs.
    void start();
    void stop();
    void Timer3Timer();
    void storeUSBStick() { engine_.storeUSBStick(); }
    void bRereadClick() { engine_.bRereadClick(); }
    void bUpdateFwClick() { engine_.bUpdateFwClick(); }
    // The image "Update FW" sends; an image without pages is not taken.
    void setFirmware(const FirmwareImage& firmware);

    void setCaption(const std::string& text) override;
    void appendCaption(const std::string& text) override;
    bool formDisabled() const override;
    void setFormDisabled(bool disabled) override;
    void showActionButtons(bool shown) override;
    void defaultCursor() override;
    void log(const std::string& line) override;
    void showFirmwareProgress(int position, int maximum) override;
    void hideFirmwareProgress() override;
    bool askFirmwareUpdate(const std::string& question) override;
    void beep() override;
    void showDeviceLog(const std::optional<DeviceLog>& values) override;
    void redraw() override;

private:
    template <typename T>
    T* element(const char* name) const;
    bool debugLogging() const;

    LinkWindowContext context_;
    LinkEngine engine_;
    QTimer* timer3_ = nullptr;
};

} // namespace ormid
