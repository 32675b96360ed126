#include "editors/timing/help_pictures.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <array>

namespace ormid {

namespace {

const QColor kAxis(0x33, 0x3D, 0x47);
const QColor kGuide(0x9A, 0xA7, 0xB2);
const QColor kProfile(0x1F, 0x7A, 0x8C);
const QColor kFill(0x1F, 0x7A, 0x8C, 0x22);
const QColor kEvent(0xB8, 0x4A, 0x1E);
const QColor kNote(0x2F, 0x5F, 0x7A);

// A profile as hours from the left edge of the chart.
struct Sketch {
    const char* title;
    int firstHour;               // the clock at the left edge
    int hours;                   // the hours the chart spans
    double event;                // where the LSt event is, or < 0 for none
    std::array<double, 2> steps; // where steps 1 and 2 begin
    bool delays;                 // the steps are timed by delays (engine 2) or clock times
};

constexpr double kFadeHours = 0.8;
constexpr double kLevel2 = 0.85; // the level before step 1 and after step 2
constexpr double kLevel1 = 0.4;  // the level of step 1

const Sketch& sketchOf(StepProfile profile)
{
    static const Sketch night{"Dimming Engine 1: each step starts at a time of day", 18, 15, -1, {4.0, 11.0}, false};
    static const Sketch afterLst{"Dimming Engine 2: each step follows its delay", 18, 12, 1.0, {3.5, 8.5}, true};
    return profile == StepProfile::night ? night : afterLst;
}

void drawArrowHead(QPainter& painter, QPointF tip, qreal direction, qreal size)
{
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(tip + QPointF(-direction * size, -size / 2));
    head.lineTo(tip + QPointF(-direction * size, size / 2));
    head.closeSubpath();
    painter.fillPath(head, painter.pen().color());
}

// A dimension line between two x positions with its caption above it.
void drawSpan(QPainter& painter, qreal left, qreal right, qreal y, const QString& caption, qreal unit)
{
    painter.setPen(QPen(kNote, unit * 0.18));
    painter.drawLine(QPointF(left, y), QPointF(right, y));
    drawArrowHead(painter, QPointF(left, y), -1, unit * 0.9);
    drawArrowHead(painter, QPointF(right, y), 1, unit * 0.9);
    painter.drawText(QRectF(left, y - unit * 2.4, right - left, unit * 2), Qt::AlignCenter, caption);
}

} // namespace

void paintStepProfile(QPainter& painter, const QRectF& area, StepProfile profile)
{
    const Sketch& sketch = sketchOf(profile);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, Qt::white);

    const qreal unit = area.height() / 40; // text and strokes grow with the picture
    QFont font = painter.font();
    font.setPixelSize(qMax(9, qRound(unit * 1.7)));
    painter.setFont(font);

    const QRectF chart(area.left() + unit * 11, area.top() + unit * 6, area.width() - unit * 14,
                       area.height() - unit * 13);
    const auto x = [&](double hour) { return chart.left() + chart.width() * hour / sketch.hours; };
    const auto y = [&](double level) { return chart.bottom() - chart.height() * level; };

    QFont titleFont = font;
    titleFont.setBold(true);
    painter.setFont(titleFont);
    painter.setPen(kAxis);
    painter.drawText(QRectF(area.left(), area.top() + unit, area.width(), unit * 3), Qt::AlignCenter, sketch.title);
    painter.setFont(font);

    // Level guides and their captions.
    painter.setPen(QPen(kGuide, unit * 0.12, Qt::DashLine));
    for (const auto& [level, caption] : {std::pair{kLevel2, "Level 2"}, std::pair{kLevel1, "Level 1"}}) {
        painter.drawLine(QPointF(chart.left(), y(level)), QPointF(chart.right(), y(level)));
        painter.save();
        painter.setPen(kAxis);
        painter.drawText(QRectF(area.left() + unit * 2.5, y(level) - unit, unit * 8, unit * 2),
                         Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(caption));
        painter.restore();
    }

    // The output: level 2, fade 1 down to level 1 at step 1, fade 2 back up at step 2.
    const double t1 = sketch.steps[0];
    const double t2 = sketch.steps[1];
    QPainterPath output;
    const double start = sketch.event >= 0 ? sketch.event : 0;
    output.moveTo(x(start), y(kLevel2));
    output.lineTo(x(t1), y(kLevel2));
    output.lineTo(x(t1 + kFadeHours), y(kLevel1));
    output.lineTo(x(t2), y(kLevel1));
    output.lineTo(x(t2 + kFadeHours), y(kLevel2));
    output.lineTo(x(sketch.hours), y(kLevel2));
    QPainterPath filled = output;
    filled.lineTo(x(sketch.hours), chart.bottom());
    filled.lineTo(x(start), chart.bottom());
    filled.closeSubpath();
    painter.fillPath(filled, kFill);
    painter.setPen(QPen(kProfile, unit * 0.45, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(output);

    // The fades.
    painter.setPen(kNote);
    painter.drawText(QPointF(x(t1 + kFadeHours) + unit * 0.6, y((kLevel1 + kLevel2) / 2)), QStringLiteral("Fade 1"));
    painter.drawText(QPointF(x(t2 + kFadeHours) + unit * 0.6, y((kLevel1 + kLevel2) / 2)), QStringLiteral("Fade 2"));

    // Where the steps start: clock times on the axis, or delays from the event.
    painter.setPen(QPen(kGuide, unit * 0.12, Qt::DashLine));
    for (const double t : sketch.steps)
        painter.drawLine(QPointF(x(t), chart.top()), QPointF(x(t), chart.bottom()));
    if (sketch.delays) {
        const qreal spanY = chart.top() + unit * 1.5;
        drawSpan(painter, x(sketch.event), x(t1), spanY, QStringLiteral("Delay 1"), unit);
        drawSpan(painter, x(t1), x(t2), spanY, QStringLiteral("Delay 2"), unit);
        painter.setPen(QPen(kEvent, unit * 0.3));
        painter.drawLine(QPointF(x(sketch.event), chart.top()), QPointF(x(sketch.event), chart.bottom()));
        painter.drawText(QRectF(x(sketch.event) - unit * 6, chart.bottom() + unit * 3.2, unit * 12, unit * 2),
                         Qt::AlignCenter, QStringLiteral("LSt event"));
    } else {
        painter.setPen(kNote);
        for (const auto& [t, caption] : {std::pair{t1, "t1"}, std::pair{t2, "t2"}})
            painter.drawText(QRectF(x(t) - unit * 3, chart.bottom() + unit * 3.2, unit * 6, unit * 2), Qt::AlignCenter,
                             QString::fromLatin1(caption));
    }

    // Axes with the clock.
    painter.setPen(QPen(kAxis, unit * 0.2));
    painter.drawLine(chart.bottomLeft(), chart.bottomRight());
    painter.drawLine(chart.bottomLeft(), chart.topLeft());
    drawArrowHead(painter, chart.bottomRight() + QPointF(unit, 0), 1, unit);
    // Every hour has a tick; where the hours are narrow, every other one a caption.
    const int captionEvery = chart.width() / sketch.hours < unit * 4 ? 2 : 1;
    for (int hour = 0; hour <= sketch.hours; ++hour) {
        const qreal at = x(hour);
        painter.drawLine(QPointF(at, chart.bottom()), QPointF(at, chart.bottom() + unit * 0.6));
        if (hour % captionEvery != 0)
            continue;
        const int clock = (sketch.firstHour + hour) % 24;
        painter.drawText(QRectF(at - unit * 3, chart.bottom() + unit * 0.8, unit * 6, unit * 2), Qt::AlignCenter,
                         QStringLiteral("%1h").arg(clock));
    }
    painter.save();
    painter.translate(area.left() + unit * 1.8, chart.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-unit * 6, -unit, unit * 12, unit * 2), Qt::AlignCenter, QStringLiteral("Output"));
    painter.restore();
    painter.restore();
}

namespace {

class ProfilePicture final : public QWidget {
public:
    ProfilePicture(StepProfile profile, QWidget* parent) : QWidget(parent), profile_(profile)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents); // the panel takes the click
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintStepProfile(painter, rect(), profile_);
    }

private:
    StepProfile profile_;
};

} // namespace

HelpPicture::HelpPicture(StepProfile profile, const char* panelName, const char* pictureName, QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QString::fromLatin1(panelName));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    picture_ = new ProfilePicture(profile, this);
    if (pictureName != nullptr)
        picture_->setObjectName(QString::fromLatin1(pictureName));
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click to close"));
    hide();
}

void HelpPicture::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        hide();
    QFrame::mousePressEvent(event);
}

void HelpPicture::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    picture_->setGeometry(rect().adjusted(1, 1, -1, -1));
}

} // namespace ormid
