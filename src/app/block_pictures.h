#pragma once
// The pictures of the main panel, drawn in code so they stay sharp at any scale and
// device-pixel ratio: function-block tiles, toggle switches, multi-position selectors,
// the firmware chip and the start-up logo; and PictureLabel, the clickable widget that
// carries one picture or one value text together with its hint.

#include <functional>
#include <span>

#include <QLabel>
#include <QRectF>
#include <QString>

class QPainter;

namespace ormid {

// The function a block tile shows; each has its own icon and accent colour.
enum class BlockIcon {
    BlockTimer,
    PowerOn,
    Isd,
    Engine1,
    Engine2,
    LstInput,
    LstInverted,
    LstRemote,
    HoldTimer,
    Mff,
    Thermal,
    OutputTen,
    OutputDali,
    OutputPwm,
    Remote,
    Relay,
};

enum class SwitchState { On, Off, Disabled };

// A rounded tile with the function's icon and title; greyed out when not enabled.
void paintBlock(QPainter& painter, const QRectF& area, BlockIcon icon, bool enabled);
// A toggle switch: on = green knob right, off = grey knob left, disabled = faded.
void paintSwitch(QPainter& painter, const QRectF& area, SwitchState state);
// A vertical slider with one detent per caption and the knob at `position`; position 0
// is drawn as "off" (grey) when `firstIsOff` is set.
void paintSelector(QPainter& painter, const QRectF& area, std::span<const QString> captions, int position,
                   bool firstIsOff);
void paintFirmwareChip(QPainter& painter, const QRectF& area);
void paintLogo(QPainter& painter, const QRectF& area);
// The card a block's picture, switch and labels sit on.
void paintBlockCard(QPainter& painter, const QRectF& area);
// The panel's background: the block area, and the action bar below `actionBarTop`.
void paintPanelBackground(QPainter& painter, const QRectF& area, qreal actionBarTop, bool remoteLayout);

// One clickable element of the panel: a picture painted by `art`, or a value text.
// Its hint is shown at once on hover and kept 60 s, only while hints are enabled.
class PictureLabel : public QLabel {
    Q_OBJECT
public:
    using Art = std::function<void(QPainter&, const QRectF&)>;

    explicit PictureLabel(QWidget* parent = nullptr);

    void setArt(Art art);
    // A picture that does not react ignores clicks (the disabled pictures).
    void setReacts(bool reacts);
    bool reacts() const { return reacts_; }
    void setHint(const QString& hint);
    const QString& hint() const { return hint_; }
    void setHintEnabled(bool on);
    bool hintEnabled() const { return hintEnabled_; }

    static constexpr int kHintShowMs = 60000;

signals:
    void clicked();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showHint(const QPoint& globalPos);

    Art art_;
    QString hint_;
    bool reacts_ = true;
    bool hintEnabled_ = false;
    bool pressed_ = false;
};

} // namespace ormid
