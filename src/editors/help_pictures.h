#pragma once
// The editors' help pictures, drawn in code so they stay sharp at any scale, and the
// panel that shows one until it is clicked.

#include <QFrame>

class QPainter;

namespace ormid {

// Paints one picture into the rectangle.
using HelpArt = void (*)(QPainter& painter, const QRectF& area);

// Engine 1: two steps at times of day through a night from 18 h to 9 h.
void paintEngine1Help(QPainter& painter, const QRectF& area);
// Engine 2: two steps timed by delays after the LSt event at 19 h.
void paintEngine2Help(QPainter& painter, const QRectF& area);
// Power-on: delay and fade at switch-on, and with DPC/DOO also at switch-off.
void paintPowerOnHelp(QPainter& painter, const QRectF& area);
// Block timer: full output for the blocking period after switch-on, then dimming.
void paintBlockTimerHelp(QPainter& painter, const QRectF& area);

// The ISD offset: a sundial beside a clock, the difference between them.
void paintOffsetHelp(QPainter& painter, const QRectF& area);

// The dimming curve: the user sets 50 %, the curve sends 33 % to the driver, and the
// driver's own characteristic turns 33 % back into 50 % light.
void paintCurveHelp(QPainter& painter, const QRectF& area);

// A help picture panel; a click on the picture or the panel hides it.
class HelpPicture final : public QFrame {
    Q_OBJECT
public:
    // `pictureName` names the picture inside the panel (`Image2`), or nothing.
    HelpPicture(HelpArt art, const char* panelName, const char* pictureName, QWidget* parent);

    // Over the parent's area from `top` down.
    void showOver(int top);
    // Beside the parent, which grows to make room for it and shrinks back when it goes.
    void showBeside(int top);
    // Hides the picture and gives the parent its size back.
    void dismiss();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* picture_ = nullptr;
    QSize parentSize_; // the parent's size before showBeside, empty when it did not grow
};

} // namespace ormid
