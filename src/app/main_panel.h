#pragma once
// The main panel: one function block per device function drawn from the parameter
// image, the action bar below them, the start-up logo and the hints. Every element
// carries its on-screen name as objectName, so the window and tests find it by name.

#include <initializer_list>

#include <QWidget>

#include "core/run_state.h"
#include "core/image.h"

namespace ormid {

class MainPanel : public QWidget {
    Q_OBJECT
public:
    // The panel reads and (in its documented redraw rules) writes the window's image and flags.
    MainPanel(RunState& run, EeBlock& eeBlock, QWidget* parent = nullptr);

    // Redraws every block and label from the image.
    void setDisplay();
    // Shows the action buttons that fit the mode / hides them.
    void enableButtons();
    void disableButtons();
    // Ticks the six "Tx" boxes from bits 0..5 of a memory status.
    void setRemCB(Byte status);
    // The "Tx" selection as a memory status (the reverse of setRemCB).
    Byte txSelection() const;
    // Hint display on or off for the block pictures ("Show Hints").
    void enableHint(bool on);
    // Standard or remote layout; sets skipFW for the remote one.
    void moveGr(bool remoteLayout);
    // The start-up logo panel over the blocks.
    void showLogo(bool shown);
    // The firmware icon `iFW`, its hint naming the image version.
    void showFirmwareIcon(const QString& hint);

    // Size of the panel at 96 dpi; the panel scales it by the screen's logical dpi.
    static constexpr int kDesignWidth = 928;
    static constexpr int kDesignHeight = 600;

signals:
    // A block picture, label or switch was clicked while the panel is unlocked; the
    // function's editor or switch takes it (elementName is the element's objectName).
    void blockClicked(const QString& elementName);
    // An action-bar button was clicked and the window lock lets it through: the memory
    // buttons always, the Erase button also while it serves as mode button, the
    // others only while `formDisabled` is clear; none while a blocking stick sequence runs.
    void actionClicked(const QString& elementName);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void buildBlocks();
    void buildActionBar();
    void buildLogGroup();
    // The debug panel `pDebug`, built on first use.
    QWidget* debugPanel();
    void initHint();
    void cbShowHintsClick(bool checked);
    void onActionButton(const QString& name);

    // Redraw steps, one per block group.
    void drawLstStandard();
    void drawLstRemote();
    void normaliseForRemote();
    void drawOutput();
    void drawBlockTimer();
    void drawMff();
    void drawThermal();
    void drawRemoteControl();
    void drawIsd();
    void drawPowerOnLabels();

    bool imageBit(Byte bit) const;
    void clearImageBit(Byte bit);
    QWidget* element(const QString& name) const;
    void setShown(const QString& name, bool shown);
    // Shows `chosen` and hides the other elements of its group (pictures at one place).
    void showOnly(std::initializer_list<const char*> group, const char* chosen);
    void setLabel(const char* name, const QString& text);
    QRect scaled(const QRect& design) const;

    RunState& run_;
    EeBlock& eeBlock_;
    qreal scale_ = 1.0;
    bool remoteLayout_ = false;
};

} // namespace ormid
