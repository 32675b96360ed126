#pragma once
// The help pictures of the dimming engines, drawn in code so they stay sharp at any
// scale, and the panel that shows one over its editor until it is clicked.

#include <QFrame>

class QPainter;

namespace ormid {

enum class StepProfile {
    night,    // engine 1: two steps at times of day through a night from 18 h to 9 h
    afterLst, // engine 2: two steps timed by delays after the LSt event at 19 h
};

void paintStepProfile(QPainter& painter, const QRectF& area, StepProfile profile);

// A help panel over its editor; a click on the picture or the panel hides it.
class HelpPicture final : public QFrame {
    Q_OBJECT
public:
    // `pictureName` names the picture inside the panel (`Image2`), or nothing.
    HelpPicture(StepProfile profile, const char* panelName, const char* pictureName, QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* picture_ = nullptr;
};

} // namespace ormid
