#pragma once
// The programmer's main window: owns the run state, the parameter image and the
// stick, runs start-up (stick and mode finding), the presence watch and the
// self-restart. The window caption shows the status line.

#include <QMainWindow>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/kept_configuration.h"
#include "app/link_window.h"
#include "app/main_panel.h"
#include "app/memory_slots.h"
#include "app/process_control.h"
#include "app/user_dialogs.h"
#include "core/image.h"
#include "core/night_profile.h"
#include "core/run_state.h"
#include "core/status_line.h"
#include "link/control_block.h"
#include "link/firmware_image.h"
#include "link/hid_transport.h"
#include "link/stick_probe.h"
#include "link/waiter.h"

class QTimer;

namespace ormid {

class DimmingCurves;
class EditorHost;
class PdfReport;
class ProfileView;

// The periods of the window timers. Tests shorten them; the waits of start-up take
// their time from the Waiter instead.
struct WindowTiming {
    std::chrono::milliseconds modeQueryPoll{StickProbe::kTickPeriod}; // the "Timer4" timer
    std::chrono::milliseconds presenceWatch{1000};                    // the "Timer2" timer
    std::chrono::milliseconds linkTick{LinkEngine::kTickPeriod};      // the "Timer3" timer
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
    // The memory name (`eInfo`) that goes with the image into a file or a memory.
    const std::string& memoryName() const { return memoryName_; }
    const DimmingCurves& curves() const { return *curves_; }
    const ControlBlock& controlBlock() const { return controlBlock_; }
    const MemorySlots& memories() const { return *memories_; }
    const FirmwareImage& firmware() const { return firmware_; }
    // The USB Stick mode link; null in the other modes.
    const LinkWindow* link() const { return link_; }
    bool startUpFinished() const { return startUpFinished_; }
    // The dimming curves come from this folder instead of the `DimmingCurve` folder
    // beside the program; takes effect when start-up lists the curves.
    void useCurveFolder(const std::filesystem::path& folder);

    // Start-up, in the order a run meets it: the window and its units are built, the
    // stick is asked for its mode once the window shows, polled for the answer, and
    // then the mode is entered.
    void buildWindow();
    void startUp();
    void pollModeQuery();
    void enterMode();
    // The presence watch: a stick pulled out or plugged in restarts the program, once
    // changes kept nowhere else are saved or given up.
    void watchStickPresence();
    // A new instance with the restart arguments (after a memory Transfer with the
    // selected curve when `withCurve`), then this one ends.
    void restartProgram(bool withCurve = false);
    void stopForClose();
    void load();
    void save();

signals:
    // Start-up has decided the mode and brought the window into it (also after a
    // control-block time-out).
    void startUpDone();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildEditors();
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
    void showStatus();
    void onAction(Action action);
    // The memory name changed in the model: the `eInfo` field shows it.
    void setMemoryName(std::string name);
    // Every new or changed image passes here: the display rules settle it, the Tx
    // selection drops the boxes of functions now off, the kept copy follows the change,
    // and the panel shows it.
    void showChangedImage(ImageChange change);
    // The user ticked or cleared a "Tx" box.
    void tickTxBox(Byte bit, bool ticked);

    // The four memories of a stick in memory mode (the firmware record is checkFirmware's).
    void readMemories();
    // `loadEmbeddedFirmware` and the comparison with the stick's firmware record; shows `iFW`.
    void checkFirmware();
    // The firmware branch of "Load".
    void loadFirmwareFile(const std::string& fileBytes);
    void startLinkEngine();

    RunState run_;
    StatusLine status_;
    EeBlock eeBlock_;
    std::string memoryName_;
    Byte txSelection_ = 0; // the "Tx" boxes as the bits of a memory status
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
    QTimer* modeQueryTimer_ = nullptr;
    QTimer* presenceTimer_ = nullptr;
    std::chrono::milliseconds linkTick_;
    LinkWindow* link_ = nullptr;
    bool activated_ = false;
    bool closed_ = false;
    bool restartFailed_ = false; // the watch must not try again and again
    bool startUpFinished_ = false;
};

} // namespace ormid
