#pragma once
// The programmer's main window: owns the run state, the parameter image and the
// stick, runs start-up (stick and mode finding), the presence watch and the
// self-restart. The window caption is the status line.

#include <QMainWindow>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/kept_configuration.h"
#include "app/link_window.h"
#include "app/memory_slots.h"
#include "app/process_control.h"
#include "app/user_dialogs.h"
#include "core/image.h"
#include "core/night_profile.h"
#include "core/run_state.h"
#include "link/control_block.h"
#include "link/firmware_image.h"
#include "link/hid_transport.h"
#include "link/stick_probe.h"
#include "link/waiter.h"

class QTimer;

namespace ormid {

class DimmingCurves;
class EditorHost;
class MainPanel;
class PdfReport;
class ProfileView;

// The periods of the window timers. Tests shorten them; the waits of start-up take
// their time from the Waiter instead.
struct WindowTiming {
    std::chrono::milliseconds modeQueryPoll{StickProbe::kTickPeriod}; // Timer4
    std::chrono::milliseconds presenceWatch{1000};                    // Timer2
    std::chrono::milliseconds linkTick{LinkEngine::kTickPeriod};      // Timer3
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `arguments` are the command-line arguments without the program name. `waiter`,
    // `process` and `dialogs` must outlive the window; without `dialogs` the window
    // shows its own message boxes and file dialogs.
    MainWindow(std::unique_ptr<HidTransport> transport, std::vector<std::string> arguments, Waiter& waiter,
               ProcessControl& process, WindowTiming timing = {}, UserDialogs* dialogs = nullptr,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    const RunState& runState() const { return run_; }
    const EeBlock& eeBlock() const { return eeBlock_; }
    const ControlBlock& controlBlock() const { return controlBlock_; }
    const MemorySlots& memories() const { return *memories_; }
    const FirmwareImage& firmware() const { return firmware_; }
    // The USB Stick mode link; null in the other modes.
    const LinkWindow* link() const { return link_; }
    bool startUpFinished() const { return startUpFinished_; }
    // The dimming curves come from this folder instead of the `DimmingCurve` folder
    // beside the program; takes effect when start-up lists the curves.
    void useCurveFolder(const std::filesystem::path& folder);

    // Start-up and run handlers, in the order a run meets them.
    void FormCreate();
    void FormActivate();
    void Timer4Timer();
    void FormActivate2();
    // The presence watch: a stick pulled out or plugged in restarts the program, once
    // changes kept nowhere else are saved or given up.
    void Timer2Timer();
    // A new instance with the restart arguments (after a memory Transfer with the
    // selected curve when `withCurve`), then this one ends.
    void restartProgram(bool withCurve = false);
    void FormClose();
    void bLoadClick();
    void bSaveClick();

signals:
    // Start-up has decided the mode and brought the window into it (also after a
    // control-block time-out).
    void startUpDone();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildEditors();
    bool checkHID();
    // The control-block wait: one collector cycle per 50 ms, a "." per ten cycles.
    // False when the window was closed meanwhile.
    bool waitForControlBlock();
    void enterUsbStickMode();
    void enterMemoryMode();
    void controlBlockTimedOut();
    void showModeButton();
    // The 2 s pause, then the default image. False when the window was closed meanwhile.
    bool finishDemoStartUp();
    void finishStickStartUp(bool timedOut);
    void setPresenceWatch(bool running);
    // The stick changed while the window holds unsaved changes: the user saves, discards
    // or keeps editing. True when the program may restart now.
    bool settleUnsavedChanges(bool stickPresent);
    // "Save": true when the configuration is in a file now.
    bool saveToFile();
    void appendToCaption(const QString& text);
    void onAction(const QString& elementName);

    // The four memories of a stick in memory mode (the firmware record is checkFirmware's).
    void readMemories();
    // `loadRes` and the comparison with the stick's firmware record; shows `iFW`.
    void checkFirmware();
    // The firmware branch of "Load".
    void loadFirmwareFile(const std::string& fileBytes);
    void startLinkEngine();

    RunState run_;
    EeBlock eeBlock_;
    KeptConfiguration kept_;
    ControlBlock controlBlock_{};
    FirmwareImage firmware_;
    std::unique_ptr<HidTransport> transport_;
    std::vector<std::string> arguments_;
    Waiter& waiter_;
    ProcessControl& process_;
    StickProbe probe_;
    std::unique_ptr<UserDialogs> ownDialogs_;
    UserDialogs& dialogs_;
    MainPanel* panel_ = nullptr;
    EditorHost* editors_ = nullptr;
    DimmingCurves* curves_ = nullptr;
    MemorySlots* memories_ = nullptr;
    PdfReport* pdfReport_ = nullptr;
    // The night the Profile panel shows and the report's profile page takes.
    ProfileRequest profileRequest_;
    ProfileView* profileView_ = nullptr;
    QTimer* timer4_ = nullptr;
    QTimer* timer2_ = nullptr;
    std::chrono::milliseconds linkTick_;
    LinkWindow* link_ = nullptr;
    bool activated_ = false;
    bool closed_ = false;
    bool restartFailed_ = false; // the watch must not try again and again
    // The user chose to keep editing after the stick changed; the caption from before
    // comes back if the stick returns to how start-up found it.
    std::optional<QString> captionBeforeStickChange_;
    bool startUpFinished_ = false;
};

} // namespace ormid
