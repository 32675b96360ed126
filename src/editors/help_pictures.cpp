#include "editors/help_pictures.h"

#include <QFontMetricsF>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

#include <array>
#include <cmath>
#include <functional>
#include <vector>

namespace ormid {

namespace {

const QColor kPictureAxis(0x33, 0x3D, 0x47);
const QColor kPictureGuide(0x9A, 0xA7, 0xB2);
const QColor kProfile(0x1F, 0x7A, 0x8C);
const QColor kFill(0x1F, 0x7A, 0x8C, 0x22);
const QColor kEvent(0xB8, 0x4A, 0x1E);
const QColor kNote(0x2F, 0x5F, 0x7A);
const QColor kOption(0x7A, 0x4F, 0x9A);

constexpr qreal kTwoPiF = 6.283185307179586;
constexpr int kSmallestText = 9; // pixels
constexpr double kHigh = 0.85;   // the output before and after a dimmed period
constexpr double kLow = 0.4;     // the dimmed output

// Saves the painter and starts a picture on white, measured in the unit it returns (a
// fortieth of the picture's height), with a font `textUnits` units high.
qreal startPicture(QPainter& painter, const QRectF& area, qreal textUnits)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, Qt::white);
    const qreal unit = area.height() / 40;
    QFont font = painter.font();
    font.setPixelSize(qMax(kSmallestText, qRound(unit * textUnits)));
    painter.setFont(font);
    return unit;
}

// A chart over time: the picture's title on top, the output rising upwards, time to the
// right. Everything is measured in `unit`, a fortieth of the picture's height.
class Chart {
public:
    Chart(QPainter& painter, const QRectF& area, const char* title, double span)
        : painter_(painter), area_(area), unit_(area.height() / 40), span_(span)
    {
        painter_.save();
        painter_.setRenderHint(QPainter::Antialiasing);
        painter_.fillRect(area, Qt::white);
        font_ = painter_.font();
        font_.setPixelSize(qMax(kSmallestText, qRound(unit_ * 1.7)));
        chart_ = QRectF(area.left() + unit_ * 11, area.top() + unit_ * 6, area.width() - unit_ * 14,
                        area.height() - unit_ * 13);
        QFont bold = font_;
        bold.setBold(true);
        painter_.setFont(bold);
        painter_.setPen(kPictureAxis);
        painter_.drawText(QRectF(area.left(), area.top() + unit_, area.width(), unit_ * 3), Qt::AlignCenter,
                          QString::fromLatin1(title));
        painter_.setFont(font_);
    }
    ~Chart() { painter_.restore(); }
    Chart(const Chart&) = delete;
    Chart& operator=(const Chart&) = delete;

    qreal unit() const { return unit_; }
    qreal x(double t) const { return chart_.left() + chart_.width() * t / span_; }
    qreal y(double level) const { return chart_.bottom() - chart_.height() * level; }
    QPointF at(double t, double level) const { return {x(t), y(level)}; }
    const QRectF& chart() const { return chart_; }
    QPainter& painter() { return painter_; }

    // A dashed level guide with its caption left of the axis.
    void level(double level, const QString& caption)
    {
        painter_.setPen(QPen(kPictureGuide, unit_ * 0.12, Qt::DashLine));
        painter_.drawLine(QPointF(chart_.left(), y(level)), QPointF(chart_.right(), y(level)));
        painter_.setPen(kPictureAxis);
        painter_.drawText(QRectF(area_.left() + unit_ * 2.5, y(level) - unit_, unit_ * 8, unit_ * 2),
                          Qt::AlignRight | Qt::AlignVCenter, caption);
    }
    // A dashed mark across the chart at time t.
    void mark(double t, const QColor& colour = kPictureGuide, Qt::PenStyle style = Qt::DashLine)
    {
        painter_.setPen(QPen(colour, unit_ * (style == Qt::SolidLine ? 0.3 : 0.12), style));
        painter_.drawLine(QPointF(x(t), chart_.top()), QPointF(x(t), chart_.bottom()));
    }
    // The output as a filled line through the points.
    void output(const std::vector<QPointF>& points, const QColor& colour = kProfile, Qt::PenStyle style = Qt::SolidLine,
                bool filled = true)
    {
        QPainterPath line;
        line.moveTo(points.front());
        for (std::size_t i = 1; i < points.size(); ++i)
            line.lineTo(points[i]);
        if (filled) {
            QPainterPath area = line;
            area.lineTo(points.back().x(), chart_.bottom());
            area.lineTo(points.front().x(), chart_.bottom());
            area.closeSubpath();
            painter_.fillPath(area, kFill);
        }
        painter_.setPen(QPen(colour, unit_ * 0.45, style, Qt::RoundCap, Qt::RoundJoin));
        painter_.drawPath(line);
    }
    void note(QPointF point, const QString& text, const QColor& colour = kNote)
    {
        painter_.setPen(colour);
        painter_.drawText(point, text);
    }
    // A caption centred under the time axis, below the hour captions.
    void underAxis(double t, const QString& text, const QColor& colour = kNote)
    {
        painter_.setPen(colour);
        painter_.drawText(QRectF(x(t) - unit_ * 7, chart_.bottom() + unit_ * 3.2, unit_ * 14, unit_ * 2),
                          Qt::AlignCenter, text);
    }
    // A dimension line between two times with its caption above it.
    void span(double from, double to, qreal yPos, const QString& caption)
    {
        painter_.setPen(QPen(kNote, unit_ * 0.18));
        painter_.drawLine(QPointF(x(from), yPos), QPointF(x(to), yPos));
        arrowHead(QPointF(x(from), yPos), -1, unit_ * 0.9);
        arrowHead(QPointF(x(to), yPos), 1, unit_ * 0.9);
        painter_.drawText(QRectF(x(from), yPos - unit_ * 2.4, x(to) - x(from), unit_ * 2), Qt::AlignCenter, caption);
    }
    // The axes; `clock` gives the caption of each whole unit of time, or none.
    void axes(const std::function<QString(int)>& clock)
    {
        painter_.setPen(QPen(kPictureAxis, unit_ * 0.2));
        painter_.drawLine(chart_.bottomLeft(), chart_.bottomRight());
        painter_.drawLine(chart_.bottomLeft(), chart_.topLeft());
        arrowHead(chart_.bottomRight() + QPointF(unit_, 0), 1, unit_);
        // Every unit has a tick; where the units are narrow, every other one a caption.
        const int captionEvery = chart_.width() / span_ < unit_ * 4 ? 2 : 1;
        for (int t = 0; t <= static_cast<int>(span_); ++t) {
            painter_.drawLine(QPointF(x(t), chart_.bottom()), QPointF(x(t), chart_.bottom() + unit_ * 0.6));
            const QString caption = clock ? clock(t) : QString();
            if (t % captionEvery == 0 && !caption.isEmpty())
                painter_.drawText(QRectF(x(t) - unit_ * 3, chart_.bottom() + unit_ * 0.8, unit_ * 6, unit_ * 2),
                                  Qt::AlignCenter, caption);
        }
        painter_.save();
        painter_.translate(area_.left() + unit_ * 1.8, chart_.center().y());
        painter_.rotate(-90);
        painter_.drawText(QRectF(-unit_ * 6, -unit_, unit_ * 12, unit_ * 2), Qt::AlignCenter, QStringLiteral("Output"));
        painter_.restore();
    }

private:
    void arrowHead(QPointF tip, qreal direction, qreal size)
    {
        QPainterPath head;
        head.moveTo(tip);
        head.lineTo(tip + QPointF(-direction * size, -size / 2));
        head.lineTo(tip + QPointF(-direction * size, size / 2));
        head.closeSubpath();
        painter_.fillPath(head, painter_.pen().color());
    }

    QPainter& painter_;
    QRectF area_;
    qreal unit_;
    double span_;
    QFont font_;
    QRectF chart_;
};

// The captions of a chart whose time starts at `firstHour` on the clock.
std::function<QString(int)> hoursFrom(int firstHour)
{
    return [firstHour](int t) { return QStringLiteral("%1h").arg((firstHour + t) % 24); };
}

constexpr double kFade = 0.8; // the width of a fade, in the chart's time units

// The two-step profile both engines share: level 2, fade 1 down at step 1, fade 2 up at step 2.
void paintTwoSteps(Chart& chart, double start, double t1, double t2, double end)
{
    chart.level(kHigh, QStringLiteral("Level 2"));
    chart.level(kLow, QStringLiteral("Level 1"));
    chart.output({chart.at(start, kHigh), chart.at(t1, kHigh), chart.at(t1 + kFade, kLow), chart.at(t2, kLow),
                  chart.at(t2 + kFade, kHigh), chart.at(end, kHigh)});
    const qreal middle = chart.y((kLow + kHigh) / 2);
    chart.note({chart.x(t1 + kFade) + chart.unit() * 0.6, middle}, QStringLiteral("Fade 1"));
    chart.note({chart.x(t2 + kFade) + chart.unit() * 0.6, middle}, QStringLiteral("Fade 2"));
    chart.mark(t1);
    chart.mark(t2);
}

} // namespace

void paintEngine1Help(QPainter& painter, const QRectF& area)
{
    constexpr double kHours = 15;
    Chart chart(painter, area, "Dimming Engine 1: each step starts at a time of day", kHours);
    paintTwoSteps(chart, 0, 4, 11, kHours);
    chart.underAxis(4, QStringLiteral("t1"));
    chart.underAxis(11, QStringLiteral("t2"));
    chart.axes(hoursFrom(18));
}

void paintEngine2Help(QPainter& painter, const QRectF& area)
{
    constexpr double kHours = 12;
    constexpr double kEventAt = 1;
    Chart chart(painter, area, "Dimming Engine 2: each step follows its delay", kHours);
    paintTwoSteps(chart, kEventAt, 3.5, 8.5, kHours);
    const qreal spanY = chart.chart().top() + chart.unit() * 1.5;
    chart.span(kEventAt, 3.5, spanY, QStringLiteral("Delay 1"));
    chart.span(3.5, 8.5, spanY, QStringLiteral("Delay 2"));
    chart.mark(kEventAt, kEvent, Qt::SolidLine);
    chart.underAxis(kEventAt, QStringLiteral("LSt event"), kEvent);
    chart.axes(hoursFrom(18));
}

void paintPowerOnHelp(QPainter& painter, const QRectF& area)
{
    constexpr double kSpan = 12;
    constexpr double kOn = 1, kDelay = 2.5, kFadeIn = 2, kOff = 8;
    Chart chart(painter, area, "Power On: delay, then fade to the level", kSpan);
    chart.level(kHigh, QStringLiteral("Level"));
    chart.output(
        {chart.at(kOn + kDelay, 0), chart.at(kOn + kDelay + kFadeIn, kHigh), chart.at(kOff, kHigh), chart.at(kOff, 0)});
    // With DPC/DOO switching off is delayed and dimmed as well.
    chart.output({chart.at(kOff, kHigh), chart.at(kOff + kDelay, kHigh), chart.at(kOff + kDelay + kFadeIn / 2, 0)},
                 kOption, Qt::DashLine, false);
    const qreal spanY = chart.chart().top() + chart.unit() * 1.5;
    chart.span(kOn, kOn + kDelay, spanY, QStringLiteral("Delay"));
    chart.span(kOff, kOff + kDelay, spanY, QStringLiteral("Delay"));
    chart.note({chart.x(kOn + kDelay + kFadeIn / 2) + chart.unit(), chart.y(kHigh / 2)}, QStringLiteral("Fade"));
    // Low in the room between "Power off" and the delayed fade, which leans away from
    // the mark further down: the note ends left of the fade at its own top.
    const qreal noteLeft = chart.x(kOff) + chart.unit() * 0.6;
    const qreal noteBottom = chart.y(0) - chart.unit() * 0.6;
    const qreal noteTop = noteBottom - 2 * QFontMetricsF(chart.painter().font()).height();
    const qreal fadeTop = chart.x(kOff + kDelay);
    const qreal fadeBottom = chart.x(kOff + kDelay + kFadeIn / 2);
    const qreal fadeAtNoteTop
        = fadeTop + (fadeBottom - fadeTop) * (noteTop - chart.y(kHigh)) / (chart.y(0) - chart.y(kHigh));
    chart.painter().setPen(kOption);
    chart.painter().drawText(
        QRectF(noteLeft, noteTop, fadeAtNoteTop - chart.unit() * 0.6 - noteLeft, noteBottom - noteTop),
        Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap, QStringLiteral("with DPC\u00A0/\u00A0DOO"));
    chart.mark(kOn, kEvent, Qt::SolidLine);
    chart.mark(kOff, kEvent, Qt::SolidLine);
    chart.underAxis(kOn, QStringLiteral("Power on"), kEvent);
    chart.underAxis(kOff, QStringLiteral("Power off"), kEvent);
    chart.axes({});
}

void paintBlockTimerHelp(QPainter& painter, const QRectF& area)
{
    constexpr double kSpan = 12;
    constexpr double kOn = 1, kBlocking = 4;
    Chart chart(painter, area, "Block Timer: full output, then dimming", kSpan);
    chart.level(1.0 * kHigh, QStringLiteral("100 %"));
    chart.level(kLow, QStringLiteral("Dimmed"));
    chart.output({chart.at(kOn, kHigh), chart.at(kOn + kBlocking, kHigh), chart.at(kOn + kBlocking + kFade, kLow),
                  chart.at(kSpan, kLow)});
    chart.span(kOn, kOn + kBlocking, chart.chart().top() + chart.unit() * 1.5, QStringLiteral("Blocking Time"));
    chart.note({chart.x(kOn + kBlocking + kFade) + chart.unit() * 0.6, chart.y((kHigh + kLow) / 2)},
               QStringLiteral("dimming allowed"));
    chart.mark(kOn, kEvent, Qt::SolidLine);
    chart.mark(kOn + kBlocking);
    chart.underAxis(kOn, QStringLiteral("Power on"), kEvent);
    chart.axes({});
}

namespace {

// A dial with hour marks and a hand at `hour` (0..12 on the dial).
void paintDial(QPainter& painter, QPointF centre, qreal radius, double hour, const QColor& hand)
{
    painter.setPen(QPen(kPictureAxis, radius * 0.04));
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, radius, radius);
    for (int mark = 0; mark < 12; ++mark) {
        const qreal angle = mark * kTwoPiF / 12;
        const QPointF direction(std::sin(angle), -std::cos(angle));
        painter.drawLine(centre + direction * radius * 0.82, centre + direction * radius * 0.95);
    }
    const qreal angle = hour * kTwoPiF / 12;
    painter.setPen(QPen(hand, radius * 0.08, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, centre + QPointF(std::sin(angle), -std::cos(angle)) * radius * 0.7);
}

} // namespace

void paintOffsetHelp(QPainter& painter, const QRectF& area)
{
    const qreal unit = startPicture(painter, area, 1.9);
    const QFont font = painter.font();
    QFont bold = font;
    bold.setBold(true);
    const qreal radius = qMin(area.width() / 6, area.height() / 3.2);
    const QPointF sun(area.left() + area.width() * 0.27, area.top() + area.height() * 0.45);
    const QPointF clock(area.left() + area.width() * 0.73, sun.y());

    // The sundial: the shadow of the gnomon shows local solar time.
    paintDial(painter, sun, radius, 11.5, QColor(0x55, 0x55, 0x55));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xF2, 0xB1, 0x34));
    painter.drawEllipse(sun + QPointF(-radius * 0.9, -radius * 0.9), radius * 0.18, radius * 0.18);
    // The clock shows the zone's time.
    paintDial(painter, clock, radius, 0.5, kEvent);

    painter.setFont(font);
    painter.setPen(kPictureAxis);
    painter.drawText(QRectF(sun.x() - radius * 1.5, sun.y() + radius * 1.1, radius * 3, unit * 3), Qt::AlignCenter,
                     QStringLiteral("Solar time"));
    painter.drawText(QRectF(clock.x() - radius * 1.5, clock.y() + radius * 1.1, radius * 3, unit * 3), Qt::AlignCenter,
                     QStringLiteral("Clock time"));
    painter.setPen(QPen(kNote, unit * 0.25));
    painter.drawLine(QPointF(sun.x() + radius * 1.15, sun.y()), QPointF(clock.x() - radius * 1.15, clock.y()));
    painter.setFont(bold);
    painter.drawText(QRectF(area.left(), area.bottom() - unit * 6, area.width(), unit * 4), Qt::AlignCenter,
                     QStringLiteral("Time Difference =  Offset"));
    painter.restore();
}

namespace {

// A box of the signal chain with its caption and value.
void paintChainBox(QPainter& painter, const QRectF& box, const QString& caption, const QString& value, qreal unit)
{
    painter.setPen(QPen(kPictureAxis, unit * 0.15));
    painter.setBrush(QColor(0xF4, 0xF7, 0xF9));
    painter.drawRoundedRect(box, unit * 0.6, unit * 0.6);
    painter.setPen(kPictureAxis);
    painter.drawText(QRectF(box.left(), box.top() + unit * 0.4, box.width(), box.height() / 2), Qt::AlignCenter,
                     caption);
    QFont font = painter.font();
    const QFont plain = font;
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(kEvent);
    painter.drawText(QRectF(box.left(), box.center().y(), box.width(), box.height() / 2 - unit * 0.4), Qt::AlignCenter,
                     value);
    painter.setFont(plain);
}

// The font, made smaller where needed, in which the widest of the texts (bold, as
// the values are) fits the width.
QFont fittingFont(QFont font, const QStringList& texts, qreal width)
{
    const auto widest = [&texts](QFont bold) {
        bold.setBold(true);
        const QFontMetricsF metrics(bold);
        qreal most = 0;
        for (const QString& text : texts)
            most = qMax(most, metrics.horizontalAdvance(text));
        return most;
    };
    while (font.pixelSize() > kSmallestText && widest(font) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

void paintChainArrow(QPainter& painter, QPointF from, QPointF to, qreal unit)
{
    painter.setPen(QPen(kNote, unit * 0.25));
    painter.drawLine(from, to - QPointF(unit, 0));
    QPainterPath head;
    head.moveTo(to);
    head.lineTo(to + QPointF(-unit, -unit / 2));
    head.lineTo(to + QPointF(-unit, unit / 2));
    head.closeSubpath();
    painter.fillPath(head, kNote);
}

} // namespace

void paintCurveHelp(QPainter& painter, const QRectF& area)
{
    const qreal unit = startPicture(painter, area, 1.7);

    // The curve: 50 % in gives 33 % out.
    const QRectF chart(area.left() + unit * 6, area.top() + unit * 4, area.height() * 0.42, area.height() * 0.42);
    const auto at = [&chart](double in, double out) {
        return QPointF(chart.left() + chart.width() * in, chart.bottom() - chart.height() * out);
    };
    painter.setPen(QPen(kPictureAxis, unit * 0.2));
    painter.drawLine(chart.bottomLeft(), chart.bottomRight());
    painter.drawLine(chart.bottomLeft(), chart.topLeft());
    painter.drawText(QRectF(chart.left(), chart.bottom() + unit * 0.5, chart.width(), unit * 2), Qt::AlignCenter,
                     QStringLiteral("Input (set) %"));
    painter.save();
    painter.translate(chart.left() - unit * 1.5, chart.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-chart.height() / 2, -unit, chart.height(), unit * 2), Qt::AlignCenter,
                     QStringLiteral("Output (sent) %"));
    painter.restore();
    QPainterPath curve;
    curve.moveTo(at(0, 0));
    for (int i = 1; i <= 20; ++i) {
        const double in = i / 20.0;
        curve.lineTo(at(in, std::pow(in, 1.6)));
    }
    painter.setPen(QPen(QColor(0xFF, 0x00, 0x00), unit * 0.3));
    painter.drawPath(curve);
    const double sent = std::pow(0.5, 1.6);
    painter.setPen(QPen(kNote, unit * 0.15, Qt::DashLine));
    painter.drawLine(at(0.5, 0), at(0.5, sent));
    painter.drawLine(at(0.5, sent), at(0, sent));
    painter.setPen(kEvent);
    // Right of the dashed line, below the curve.
    painter.drawText(QRectF(at(0.5, 0).x() + unit * 0.4, chart.bottom() - unit * 2.2, unit * 6, unit * 2),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("50"));
    painter.drawText(QRectF(chart.left() + unit * 0.3, at(0, sent).y() - unit * 2.2, unit * 6, unit * 2),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("33"));

    // The chain: what the user sets, what the Ormid sends, what the driver makes of it.
    const qreal boxWidth = (area.width() - unit * 10) / 4;
    const qreal boxHeight = unit * 6;
    const qreal top = area.bottom() - unit * 11;
    const QString captions[] = {QStringLiteral("You set"), QStringLiteral("Dimming curve"),
                                QStringLiteral("Ormid to driver"), QStringLiteral("Light")};
    const QString values[]
        = {QStringLiteral("50 %"), QStringLiteral("50 % \u2192 33 %"), QStringLiteral("33 %"), QStringLiteral("50 %")};
    const QFont font = painter.font();
    QStringList texts(std::begin(captions), std::end(captions));
    texts.append(QStringList(std::begin(values), std::end(values)));
    painter.setFont(fittingFont(font, texts, boxWidth - unit));
    for (int i = 0; i < 4; ++i) {
        const QRectF box(area.left() + unit * 2 + i * (boxWidth + unit * 2), top, boxWidth, boxHeight);
        paintChainBox(painter, box, captions[i], values[i], unit);
        if (i > 0)
            paintChainArrow(painter, QPointF(box.left() - unit * 2, box.center().y()),
                            QPointF(box.left(), box.center().y()), unit);
    }
    painter.setFont(font);
    painter.setPen(kPictureAxis);
    painter.drawText(
        QRectF(chart.right() + unit * 3, chart.top(), area.right() - chart.right() - unit * 4, chart.height()),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
        QStringLiteral("The curve makes up for the driver: it sends the level at which the driver "
                       "gives the light you set. Set 50 %, the Ormid sends 33 %, the driver turns "
                       "33 % into 50 % light."));
    painter.restore();
}

namespace {

class ArtWidget final : public QWidget {
public:
    ArtWidget(HelpArt art, QWidget* parent) : QWidget(parent), art_(art) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        art_(painter, rect());
    }

private:
    HelpArt art_;
};

} // namespace

HelpPicture::HelpPicture(HelpArt art, const char* panelName, const char* pictureName, QWidget* parent) : QFrame(parent)
{
    setObjectName(QString::fromLatin1(panelName));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    picture_ = new ArtWidget(art, this);
    if (pictureName != nullptr)
        picture_->setObjectName(QString::fromLatin1(pictureName));
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click to close"));
    hide();
}

void HelpPicture::showOver(int top)
{
    QWidget& panel = *parentWidget();
    setGeometry(0, top, panel.width(), panel.height() - top);
    show();
    raise();
}

void HelpPicture::showBeside(int top)
{
    QWidget& panel = *parentWidget();
    if (parentSize_.isEmpty())
        parentSize_ = panel.size();
    // A picture in the proportions of the charts, as tall as the panel's fields.
    const int height = qMax(parentSize_.height() - top, parentSize_.width() * 2 / 3);
    const int width = height * 3 / 2;
    panel.resize(parentSize_.width() + width, qMax(parentSize_.height(), top + height));
    // The panel's fields keep their width: its layout leaves the picture's room free.
    if (QLayout* layout = panel.layout()) {
        QMargins margins = layout->contentsMargins();
        margins.setRight(margins.right() + width);
        layout->setContentsMargins(margins);
    }
    setGeometry(parentSize_.width(), top, width, height);
    show();
    raise();
}

void HelpPicture::dismiss()
{
    hide();
    if (parentSize_.isEmpty())
        return;
    QWidget& panel = *parentWidget();
    if (QLayout* layout = panel.layout()) {
        QMargins margins = layout->contentsMargins();
        margins.setRight(margins.right() - (panel.width() - parentSize_.width()));
        layout->setContentsMargins(margins);
    }
    panel.resize(parentSize_);
    parentSize_ = QSize();
}

void HelpPicture::mousePressEvent(QMouseEvent* event)
{
    // A click on the picture arrives here too: the picture leaves mouse presses to it.
    if (event->button() == Qt::LeftButton)
        dismiss();
    QFrame::mousePressEvent(event);
}

void HelpPicture::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    picture_->setGeometry(rect().adjusted(1, 1, -1, -1));
}

} // namespace ormid
