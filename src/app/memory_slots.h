#pragma once
// The four configuration memories of a stick in memory mode: the TMemory records
// (core/memories.h), the M1..M4 buttons, Default and Cancel, and the operations that write the stick
// (Transfer, Erase ALL and the mode switch). Works on the state the main window
// owns, passed in by reference, and asks the window for the rest through its signals.

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/kept_configuration.h"
#include "core/dimming_curve.h"
#include "core/image.h"
#include "core/memories.h"
#include "core/run_state.h"
#include "core/status_line.h"
#include "link/control_block.h"
#include "link/firmware_image.h"
#include "link/hid_transport.h"
#include "link/memory_transfer.h"
#include "link/waiter.h"

class QPushButton;

namespace ormid {

class MainPanel;
class UserDialogs;

// What the window owns and lends to the memories.
struct MemoryContext {
    RunState& run;
    StatusLine& status;
    EeBlock& eeBlock;
    const std::string& memoryName; // `eInfo`; changed through memoryNameChanged
    const Byte& txSelection;       // the "Tx" boxes; changed through txSelectionChanged
    KeptConfiguration& kept;
    ControlBlock& controlBlock;
    FirmwareImage& firmware;
    const CurvePoints& selectedCurve; // what a local memory's Transfer converts the levels with
    MainPanel& panel;
    HidTransport& transport;
    Waiter& waiter;
    UserDialogs& dialogs;
};

class MemorySlots final : public QObject {
    Q_OBJECT
public:
    explicit MemorySlots(MemoryContext context, QObject* parent = nullptr);

    const std::array<TMemory, kMemoryCount>& memories() const { return memories_; }

    // Start-up in memory mode, after the control block has arrived: the records, the
    // button colours and hints, and every used memory's data block.
    void readMemories();

    // Choosing memory n (1..4); ignores the chosen memory's own button.
    void chooseMemory(int n);
    // "Cancel": back to the choice of a memory.
    void cancelMemory();
    // "Default": asks, then clears the chosen memory.
    void askToClearMemory();
    void clearMemory();
    // "Transfer": the chosen memory gets the window's configuration (in USB Stick mode
    // the link writes the device).
    void transfer();
    // "Erase ALL", or the mode switch while the Erase button offers it.
    void eraseAll();

signals:
    void statusChanged();
    void memoryNameChanged(const std::string& name);
    // A remote memory's Tx selection, shown with the image that follows.
    void txSelectionChanged(ormid::Byte selection);
    // The window's image was replaced or cleared; the window shows it.
    void imageChanged(ormid::ImageChange change);
    void modeButtonWanted();
    // Stopped while the stick is being written.
    void presenceWatchWanted(bool running);
    // After a memory Transfer the restarted run keeps the selected curve when `withCurve`.
    void restartWanted(bool withCurve);
    void usbTransferWanted();
    // A filled memory's image is in the window, not yet converted back through a curve.
    void filledMemoryShown();
    void memoryCancelled();

private:
    void setMemoryLook(int n);
    void showImageOf(int n);
    void writeMemory();
    void reportTransferError(const QString& code);
    void offerFilesAfterFailure();
    // The pending firmware image that goes into a local stick with this Transfer.
    std::optional<PendingFirmware> pendingFirmware() const;
    // All four memory buttons shown and reacting again (Cancel, a failed Transfer).
    void showMemoryButtons();

    QPushButton& memoryButton(int n) const;

    MemoryContext context_;
    std::array<TMemory, kMemoryCount> memories_{};
    int inertSlot_ = 0; // the chosen memory's button no longer reacts to clicks
};

} // namespace ormid
