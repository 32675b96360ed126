#pragma once
// The four configuration memories of a stick in memory mode: the TMemory records
// (core/memories.h), the M1..M4 buttons, Default and Cancel, and the operations that write the stick
// (Transfer, Erase ALL and the mode switch). Works on the state the main window
// owns, passed in by reference.

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/kept_configuration.h"
#include "core/image.h"
#include "core/memories.h"
#include "core/run_state.h"
#include "link/control_block.h"
#include "link/firmware_image.h"
#include "link/hid_transport.h"
#include "link/memory_transfer.h"
#include "link/waiter.h"

class QLineEdit;
class QPushButton;

namespace ormid {

class MainPanel;
class UserDialogs;

// What the window owns and lends to the memories.
struct MemoryContext {
    RunState& run;
    EeBlock& eeBlock;
    KeptConfiguration& kept;
    ControlBlock& controlBlock;
    FirmwareImage& firmware;
    MainPanel& panel;
    HidTransport& transport;
    Waiter& waiter;
    UserDialogs& dialogs;
};

// What only the window itself can do.
struct MemoryWindowHooks {
    std::function<void()> appendDotToCaption;
    std::function<void()> showModeButton;
    // Runs or stops the presence watch: stopped while the stick is being written.
    std::function<void(bool running)> presenceWatch;
    std::function<void(bool withCurve)> restart;
    // "Transfer" in USB Stick mode: the link engine starts writing the device.
    std::function<void()> storeUSBStick;
    // `invCorrectDC`: the image of a filled memory back through the selected dimming curve.
    std::function<void()> invCorrectDC;
    // The memory Cancel switches the dimming-curve correction off.
    std::function<void()> curveOff;
};

class MemorySlots final : public QObject {
    Q_OBJECT
public:
    MemorySlots(MemoryContext context, MemoryWindowHooks hooks, QObject* parent = nullptr);

    const std::array<TMemory, kMemoryCount>& memories() const { return memories_; }

    // Start-up in memory mode, after the control block has arrived: the records, the
    // button colours and hints, and every used memory's data block.
    void readMemories();

    // Choosing memory n (1..4); ignores the chosen memory's own button.
    void bMClick(int n);
    void bMemCancelClick();
    void bMemClearClick();
    void clearMemory();
    void bMemStoreClick();
    void bEraseClick();

private:
    void setMemoryLook(int n);
    void showImageOf(int n);
    void transferMemory();
    void transferError(const QString& code);
    void offerFilesAfterFailure();
    // The pending firmware image that goes into a local stick with this Transfer.
    std::optional<PendingFirmware> pendingFirmware() const;
    // All four memory buttons shown and reacting again (Cancel, a failed Transfer).
    void showMemoryButtons();

    QPushButton& memoryButton(int n) const;
    QLineEdit& infoField() const;

    MemoryContext context_;
    MemoryWindowHooks hooks_;
    std::array<TMemory, kMemoryCount> memories_{};
    int inertSlot_ = 0; // the chosen memory's button no longer reacts to clicks
};

} // namespace ormid
