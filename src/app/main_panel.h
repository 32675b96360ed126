#pragma once
// The main panel: one function block per device function drawn from the parameter
// image, the action bar below them, the start-up logo and the hints. Every element
// carries its on-screen name as objectName, so the window and tests find it by name.

#include <optional>
#include <string_view>

#include <QHash>
#include <QRect>
#include <QWidget>

class QLineEdit;
class QPushButton;

#include "app/action.h"
#include "core/function_block.h"
#include "core/image.h"
#include "core/run_state.h"
#include "editors/panel_grid.h"
#include "link/link_engine.h"

namespace ormid {

class MainPanel : public QWidget {
    Q_OBJECT
public:
    // The panel shows the window's image, run state and Tx selection; it never writes
    // them. The window applies the image's display rules before it asks for a redraw.
    MainPanel(const RunState& run, const EeBlock& eeBlock, const Byte& txSelection, QWidget* parent = nullptr);

    // Shows what panelView gives for the image in the panel's layout, the Tx selection,
    // and in the remote layout the duration estimate.
    void setDisplay();
    // Shows the action buttons that fit the mode; hides them all and ends a wait cursor.
    void showActionButtons();
    void hideActionButtons();
    // Ticks the six "Tx" boxes from bits 0..5 of the Tx selection and shows the estimated
    // transmission time of the remote frames they choose from the image.
    void showTxSelection();
    // Hint display on or off for the block pictures ("Show Hints").
    void enableHint(bool on);
    // Standard or remote layout: which blocks are on the panel, and the Tx boxes.
    void useLayout(bool remoteLayout);
    // The start-up logo panel over the blocks.
    void showLogo(bool shown);
    // The firmware icon `iFW`, its hint naming the image version.
    void showFirmwareIcon(const QString& hint);

    // A rectangle of design pixels (96 dpi) on this screen.
    QRect scaled(const QRect& design) const;

    // Action-bar elements that start-up, the memories and the link drive.
    QPushButton& memoryButton(int n) const;   // M1..M4
    QLineEdit& infoField() const;             // `eInfo`
    void showMemoryName(const QString& name); // in `eInfo`
    QPushButton& eraseButton() const;         // "Erase ALL", "Go2Loc" or "Go2Rem"
    void showFileButtons(bool shown);         // "Load", "Save", "PDF", "Profile"
    void showDebugBox(bool shown);            // "Debug"
    void showTransferDuration(bool shown);    // `Memo1`
    void showHintsBox(bool shown);            // "Show Hints"
    // `pbFWUpdate`: shown from 0 of `pages`, moved on, hidden.
    void startFirmwareProgress(int pages);
    void setFirmwareProgress(int page);
    void hideFirmwareProgress();
    // The "Log" group with the device's counters, or hidden.
    void showDeviceLog(const std::optional<DeviceLog>& values);
    // A line for the debug memo, taken only while "Debug" is ticked and "Stop" is not.
    void logDebugLine(const QString& line);

    // Size of the panel at 96 dpi; the panel scales it by the screen's logical dpi.
    static constexpr int kDesignWidth = panelGrid::kWidth;
    static constexpr int kDesignHeight = panelGrid::kHeight;
    // The function blocks, above the action bar, in design pixels.
    static constexpr QRect kBlocksArea = panelGrid::kBlocksArea;

signals:
    // A block picture, label or switch was clicked while the panel is unlocked; the
    // function's editor or switch takes it.
    void blockClicked(ormid::BlockClick click);
    // An action-bar button was clicked and the window lock lets it through: the memory
    // buttons always, the Erase button also while it serves as mode button, the
    // others only while `formDisabled` is clear; none while a blocking stick sequence runs.
    void actionClicked(ormid::Action action);
    // The user typed into `eInfo`.
    void memoryNameEdited(const QString& name);
    // The user ticked or cleared the "Tx" box of bit `bit` of the Tx selection.
    void txBoxClicked(ormid::Byte bit, bool ticked);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void buildBlocks();
    void buildActionBar();
    void buildLogGroup();
    // The debug panel `pDebug`, built on first use.
    QWidget* debugPanel();
    // Gives every block picture with a hint its text; "Show Hints" turns them on.
    void setBlockHints();
    // Calls apply(picture, hint) for every block picture a hint belongs to.
    template <typename Apply>
    void forEachHintedPicture(Apply apply) const;
    void onActionButton(Action action);

    // Every named element, by its name; filled once the panel is built.
    void registerElements(const QWidget& root);
    QWidget* element(const QString& name) const;
    static QString elementName(std::string_view name);
    template <typename T>
    T& named(std::string_view name) const
    {
        return *qobject_cast<T*>(element(elementName(name)));
    }
    void setShown(const QString& name, bool shown);
    void setLabel(std::string_view name, const QString& text);

    const RunState& run_;
    const EeBlock& eeBlock_;
    const Byte& txSelection_;
    QHash<QString, QWidget*> elements_;
    qreal scale_ = 1.0;
    bool remoteLayout_ = false;
};

} // namespace ormid
