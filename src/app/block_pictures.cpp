#include "app/block_pictures.h"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <array>

namespace ormid {

namespace {

// Icons are drawn in a 100 x 100 box that is scaled into the tile.
constexpr qreal kIconBox = 100.0;

QColor blend(const QColor& a, const QColor& b, qreal towardB)
{
    const auto mix = [towardB](int x, int y) { return qRound(x + (y - x) * towardB); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

struct TileArt {
    QColor accent;
    const char* title;
};

TileArt tileArt(BlockIcon icon)
{
    switch (icon) {
    case BlockIcon::BlockTimer:
        return {QColor(0x2f, 0x6f, 0xb5), "Block Timer"};
    case BlockIcon::PowerOn:
        return {QColor(0xd0, 0x74, 0x1c), "Power On"};
    case BlockIcon::Isd:
        return {QColor(0x5e, 0x48, 0xa8), "ISD"};
    case BlockIcon::Engine1:
        return {QColor(0x1c, 0x82, 0x84), "Dimming Engine 1"};
    case BlockIcon::Engine2:
        return {QColor(0x1c, 0x82, 0x84), "Dimming Engine 2"};
    case BlockIcon::LstInput:
    case BlockIcon::LstInverted:
    case BlockIcon::LstRemote:
        return {QColor(0xb8, 0x50, 0x26), "LSt Input"};
    case BlockIcon::HoldTimer:
        return {QColor(0x2f, 0x6f, 0xb5), "Hold Timer"};
    case BlockIcon::Mff:
        return {QColor(0xa8, 0x80, 0x00), "MFF / BBT"};
    case BlockIcon::Thermal:
        return {QColor(0xc0, 0x39, 0x2b), "Thermal Mgmt."};
    case BlockIcon::OutputTen:
    case BlockIcon::OutputDali:
    case BlockIcon::OutputPwm:
        return {QColor(0x2e, 0x8b, 0x57), "Control Output"};
    case BlockIcon::Remote:
        return {QColor(0x8e, 0x44, 0xad), "Remote Control"};
    case BlockIcon::Relay:
        return {QColor(0x50, 0x65, 0x72), "Relay"};
    }
    return {Qt::gray, ""};
}

QPen strokePen(const QColor& colour, qreal width = 6.0)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawClock(QPainter& p, QPointF centre, qreal radius, const QColor& ink)
{
    p.setPen(strokePen(ink));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, radius, radius);
    p.drawLine(centre, centre + QPointF(0, -radius * 0.62));
    p.drawLine(centre, centre + QPointF(radius * 0.45, radius * 0.2));
    p.setBrush(ink);
    p.drawEllipse(centre, 2.5, 2.5);
}

void drawBadgeText(QPainter& p, const QRectF& box, const QString& text, const QColor& fill, qreal pixelSize)
{
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(box, box.height() / 2, box.height() / 2);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(qRound(pixelSize));
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter, text);
}

void drawEdge(QPainter& p, bool rising, const QColor& ink)
{
    const qreal low = 92, high = 74;
    p.setPen(strokePen(ink, 4.5));
    p.setBrush(Qt::NoBrush);
    QPolygonF edge;
    edge << QPointF(18, rising ? low : high) << QPointF(46, rising ? low : high) << QPointF(46, rising ? high : low)
         << QPointF(82, rising ? high : low);
    p.drawPolyline(edge);
    const qreal tip = rising ? high + 3 : low - 3;
    const qreal back = rising ? 8 : -8;
    p.drawLine(QPointF(46, tip), QPointF(40, tip + back));
    p.drawLine(QPointF(46, tip), QPointF(52, tip + back));
}

void drawPlug(QPainter& p, const QColor& ink)
{
    p.setPen(strokePen(ink));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(40, 18, 34, 40), 8, 8);
    p.drawLine(QPointF(18, 30), QPointF(40, 30));
    p.drawLine(QPointF(18, 46), QPointF(40, 46));
    p.drawLine(QPointF(74, 38), QPointF(92, 38));
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(57, 38), 5, 5);
}

void drawAntenna(QPainter& p, QPointF tip, qreal scale, const QColor& ink)
{
    p.setPen(strokePen(ink, 6 * scale));
    p.setBrush(Qt::NoBrush);
    p.drawLine(tip + QPointF(0, 6 * scale), tip + QPointF(0, 52 * scale));
    p.drawLine(tip + QPointF(-14 * scale, 52 * scale), tip + QPointF(14 * scale, 52 * scale));
    for (const qreal r : {14.0 * scale, 26.0 * scale}) {
        const QRectF arc(tip.x() - r, tip.y() - r, 2 * r, 2 * r);
        p.drawArc(arc, -40 * 16, 80 * 16);
        p.drawArc(arc, 140 * 16, 80 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(tip, 6 * scale, 6 * scale);
}

void drawEngine(QPainter& p, const QString& number, const QColor& ink, const QColor& badge)
{
    p.setPen(strokePen(ink, 4));
    p.drawLine(QPointF(12, 14), QPointF(12, 88));
    p.drawLine(QPointF(12, 88), QPointF(92, 88));
    QPolygonF steps;
    steps << QPointF(14, 30) << QPointF(32, 30) << QPointF(40, 62) << QPointF(60, 62) << QPointF(66, 44)
          << QPointF(90, 44);
    p.setPen(strokePen(ink, 6));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(steps);
    drawBadgeText(p, QRectF(66, 4, 28, 28), number, badge, 20);
}

void drawIcon(QPainter& p, BlockIcon icon, const QColor& ink, const QColor& badge)
{
    switch (icon) {
    case BlockIcon::BlockTimer: {
        drawClock(p, QPointF(44, 48), 34, ink);
        p.setPen(strokePen(Qt::white, 4));
        p.setBrush(badge);
        p.drawEllipse(QPointF(76, 76), 17, 17);
        p.drawLine(QPointF(67, 76), QPointF(85, 76));
        break;
    }
    case BlockIcon::HoldTimer: {
        drawClock(p, QPointF(50, 38), 30, ink);
        QPolygonF pulse;
        pulse << QPointF(10, 94) << QPointF(26, 94) << QPointF(26, 78) << QPointF(74, 78) << QPointF(74, 94)
              << QPointF(90, 94);
        p.setPen(strokePen(ink, 4.5));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(pulse);
        break;
    }
    case BlockIcon::PowerOn: {
        p.setPen(strokePen(ink, 8));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(18, 20, 64, 64), 125 * 16, -250 * 16);
        p.drawLine(QPointF(50, 12), QPointF(50, 50));
        break;
    }
    case BlockIcon::Isd: {
        p.setPen(strokePen(ink, 4));
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(34, 40);
            p.rotate(45.0 * i);
            p.drawLine(QPointF(0, -20), QPointF(0, -28));
            p.restore();
        }
        p.setPen(Qt::NoPen);
        p.setBrush(badge);
        p.drawEllipse(QPointF(34, 40), 14, 14);
        QPainterPath moon;
        moon.addEllipse(QPointF(70, 58), 22, 22);
        QPainterPath bite;
        bite.addEllipse(QPointF(80, 50), 19, 19);
        p.setBrush(ink);
        p.drawPath(moon.subtracted(bite));
        p.setPen(strokePen(ink, 4));
        p.drawLine(QPointF(8, 90), QPointF(92, 90));
        break;
    }
    case BlockIcon::Engine1:
        drawEngine(p, QStringLiteral("1"), ink, badge);
        break;
    case BlockIcon::Engine2:
        drawEngine(p, QStringLiteral("2"), ink, badge);
        break;
    case BlockIcon::LstInput:
        drawPlug(p, ink);
        drawEdge(p, true, ink);
        break;
    case BlockIcon::LstInverted:
        drawPlug(p, ink);
        drawEdge(p, false, ink);
        break;
    case BlockIcon::LstRemote:
        drawPlug(p, ink);
        drawAntenna(p, QPointF(50, 70), 0.45, badge);
        break;
    case BlockIcon::Mff: {
        p.setPen(strokePen(ink));
        p.setBrush(Qt::white);
        QPainterPath bulb;
        bulb.moveTo(40, 66);
        bulb.cubicTo(40, 54, 22, 48, 22, 32);
        bulb.arcTo(QRectF(22, 4, 56, 56), 180, -180);
        bulb.cubicTo(78, 48, 60, 54, 60, 66);
        bulb.closeSubpath();
        p.drawPath(bulb);
        p.drawLine(QPointF(40, 76), QPointF(60, 76));
        p.drawLine(QPointF(43, 86), QPointF(57, 86));
        p.setPen(strokePen(badge, 5));
        p.drawLine(QPointF(80, 92), QPointF(80, 66));
        p.drawLine(QPointF(80, 64), QPointF(72, 74));
        p.drawLine(QPointF(80, 64), QPointF(88, 74));
        break;
    }
    case BlockIcon::Thermal: {
        p.setPen(strokePen(ink));
        p.setBrush(Qt::white);
        QPainterPath tube;
        tube.addRoundedRect(QRectF(40, 8, 20, 70), 10, 10);
        tube.addEllipse(QPointF(50, 78), 16, 16);
        p.drawPath(tube.simplified());
        p.setPen(Qt::NoPen);
        p.setBrush(badge);
        p.drawEllipse(QPointF(50, 78), 10, 10);
        p.drawRect(QRectF(46, 34, 8, 40));
        p.setPen(strokePen(ink, 4));
        for (const qreal y : {20.0, 34.0, 48.0})
            p.drawLine(QPointF(66, y), QPointF(78, y));
        break;
    }
    case BlockIcon::OutputTen:
    case BlockIcon::OutputDali:
    case BlockIcon::OutputPwm: {
        p.setPen(strokePen(ink, 5));
        p.setBrush(Qt::NoBrush);
        QPolygonF wave;
        if (icon == BlockIcon::OutputPwm) {
            wave << QPointF(12, 34) << QPointF(12, 12) << QPointF(30, 12) << QPointF(30, 34) << QPointF(44, 34)
                 << QPointF(44, 12) << QPointF(62, 12) << QPointF(62, 34) << QPointF(76, 34) << QPointF(76, 12)
                 << QPointF(90, 12);
        } else if (icon == BlockIcon::OutputTen) {
            wave << QPointF(12, 34) << QPointF(30, 34) << QPointF(70, 12) << QPointF(90, 12);
        } else {
            wave << QPointF(12, 24) << QPointF(22, 24) << QPointF(22, 12) << QPointF(36, 12) << QPointF(36, 34)
                 << QPointF(50, 34) << QPointF(50, 12) << QPointF(64, 12) << QPointF(64, 24) << QPointF(90, 24);
        }
        p.drawPolyline(wave);
        const QString text = icon == BlockIcon::OutputTen ? QStringLiteral("1-10V")
            : icon == BlockIcon::OutputDali               ? QStringLiteral("DALI")
                                                          : QStringLiteral("PWM");
        drawBadgeText(p, QRectF(6, 48, 88, 40), text, badge, 26);
        break;
    }
    case BlockIcon::Remote:
        drawAntenna(p, QPointF(50, 32), 1.0, ink);
        break;
    case BlockIcon::Relay: {
        p.setPen(strokePen(ink, 5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(8, 32, 28, 36));
        p.drawLine(QPointF(8, 68), QPointF(36, 32));
        p.setPen(QPen(ink, 3.5, Qt::DashLine));
        p.drawLine(QPointF(36, 50), QPointF(66, 50));
        p.setPen(strokePen(ink, 5));
        p.drawLine(QPointF(56, 84), QPointF(84, 30));
        p.drawLine(QPointF(56, 84), QPointF(56, 94));
        p.drawLine(QPointF(90, 22), QPointF(90, 6));
        p.drawLine(QPointF(78, 22), QPointF(96, 22));
        p.drawLine(QPointF(90, 70), QPointF(90, 94));
        p.drawLine(QPointF(78, 70), QPointF(96, 70));
        p.setPen(Qt::NoPen);
        p.setBrush(badge);
        p.drawEllipse(QPointF(56, 84), 5, 5);
        break;
    }
    }
}

} // namespace

void paintBlock(QPainter& painter, const QRectF& area, BlockIcon icon, bool enabled)
{
    const TileArt art = tileArt(icon);
    const QColor accent = enabled ? art.accent : QColor(0xa9, 0xad, 0xb1);
    const QColor ink = enabled ? blend(art.accent, Qt::black, 0.25) : QColor(0xa8, 0xae, 0xb4);
    const QColor badge = enabled ? art.accent : QColor(0xc4, 0xc8, 0xcc);

    painter.save();
    const QRectF tile = area.adjusted(1.5, 1.5, -3, -3.5);
    const qreal radius = tile.height() * 0.11;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, enabled ? 38 : 20));
    painter.drawRoundedRect(tile.translated(1.5, 2), radius, radius);

    QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
    fill.setColorAt(0, enabled ? blend(art.accent, Qt::white, 0.93) : QColor(0xf1, 0xf2, 0xf3));
    fill.setColorAt(1, enabled ? blend(art.accent, Qt::white, 0.78) : QColor(0xe4, 0xe6, 0xe8));
    painter.setBrush(fill);
    painter.setPen(QPen(accent, 1.4));
    painter.drawRoundedRect(tile, radius, radius);

    // Title strip along the bottom edge, in the accent colour.
    const qreal stripHeight = tile.height() * 0.22;
    const QRectF strip(tile.left(), tile.bottom() - stripHeight, tile.width(), stripHeight);
    QPainterPath stripPath;
    stripPath.addRoundedRect(tile, radius, radius);
    QPainterPath stripClip;
    stripClip.addRect(strip);
    painter.setPen(Qt::NoPen);
    painter.setBrush(enabled ? accent : QColor(0xd6, 0xda, 0xde));
    painter.drawPath(stripPath.intersected(stripClip));
    const QString title = QString::fromLatin1(art.title);
    QFont font = painter.font();
    font.setBold(true);
    // The largest size up to a comfortable one at which the title fits the strip.
    for (int size = qRound(stripHeight * 0.56); size >= 7; --size) {
        font.setPixelSize(size);
        if (QFontMetricsF(font).horizontalAdvance(title) <= strip.width() - 8)
            break;
    }
    painter.setFont(font);
    painter.setPen(enabled ? QColor(Qt::white) : QColor(0x80, 0x88, 0x90));
    painter.drawText(strip, Qt::AlignCenter, title);

    // Icon in a square above the strip.
    const qreal iconSide = (tile.height() - stripHeight) * 0.84;
    const QRectF iconArea(tile.center().x() - iconSide / 2, tile.top() + (tile.height() - stripHeight - iconSide) / 2,
                          iconSide, iconSide);
    painter.translate(iconArea.topLeft());
    painter.scale(iconSide / kIconBox, iconSide / kIconBox);
    drawIcon(painter, icon, ink, badge);
    painter.restore();
}

void paintSwitch(QPainter& painter, const QRectF& area, SwitchState state)
{
    const bool on = state == SwitchState::On;
    const QColor green(0x2e, 0x9e, 0x4f);
    const QColor grey(0x9a, 0xa0, 0xa6);
    painter.save();
    if (state == SwitchState::Disabled)
        painter.setOpacity(0.35);
    const QRectF track = area.adjusted(1.5, 1.5, -1.5, -1.5);
    const qreal r = track.height() / 2;
    painter.setPen(QPen(on ? green : grey, 1.3));
    painter.setBrush(on ? QColor(0xd4, 0xf1, 0xdc) : QColor(0xec, 0xee, 0xf0));
    painter.drawRoundedRect(track, r, r);

    const qreal knobR = r - 3;
    const QPointF knob(on ? track.right() - r : track.left() + r, track.center().y());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knob + QPointF(0, 1.2), knobR, knobR);
    QLinearGradient knobFill(knob - QPointF(0, knobR), knob + QPointF(0, knobR));
    const QColor base = on ? green : grey;
    knobFill.setColorAt(0, blend(base, Qt::white, 0.3));
    knobFill.setColorAt(1, base);
    painter.setBrush(knobFill);
    painter.drawEllipse(knob, knobR, knobR);

    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(7, qRound(track.height() * 0.42)));
    painter.setFont(font);
    painter.setPen(on ? blend(green, Qt::black, 0.2) : QColor(0x70, 0x76, 0x7c));
    const QRectF textArea = on ? QRectF(track.left() + 3, track.top(), track.width() - 2 * r - 3, track.height())
                               : QRectF(track.left() + 2 * r, track.top(), track.width() - 2 * r - 3, track.height());
    painter.drawText(textArea, Qt::AlignCenter, on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    painter.restore();
}

void paintSelector(QPainter& painter, const QRectF& area, std::span<const QString> captions, int position,
                   bool firstIsOff)
{
    const int count = static_cast<int>(captions.size());
    if (count < 2)
        return;
    const bool off = firstIsOff && position == 0;
    const QColor green(0x2e, 0x9e, 0x4f);
    const QColor grey(0x9a, 0xa0, 0xa6);
    painter.save();
    // A vertical slot with one detent per position and the caption of each beside it.
    const qreal trackWidth = std::min(area.width() * 0.34, 24.0 * area.height() / 66.0);
    const QRectF track(area.left() + 1.5, area.top() + 1.5, trackWidth, area.height() - 3);
    const qreal r = trackWidth / 2;
    painter.setPen(QPen(off ? grey : green, 1.3));
    painter.setBrush(off ? QColor(0xec, 0xee, 0xf0) : QColor(0xd4, 0xf1, 0xdc));
    painter.drawRoundedRect(track, r, r);

    const qreal firstY = track.top() + r;
    const qreal stepY = (track.height() - 2 * r) / (count - 1);
    const auto detentY = [&](int i) { return firstY + stepY * i; };
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xb0, 0xb6, 0xbc));
    for (int i = 0; i < count; ++i)
        painter.drawEllipse(QPointF(track.center().x(), detentY(i)), 2, 2);

    const qreal knobR = r - 3;
    const QPointF knob(track.center().x(), detentY(std::clamp(position, 0, count - 1)));
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knob + QPointF(0, 1.2), knobR, knobR);
    const QColor base = off ? grey : green;
    QLinearGradient knobFill(knob - QPointF(0, knobR), knob + QPointF(0, knobR));
    knobFill.setColorAt(0, blend(base, Qt::white, 0.3));
    knobFill.setColorAt(1, base);
    painter.setBrush(knobFill);
    painter.drawEllipse(knob, knobR, knobR);

    QFont font = painter.font();
    font.setPixelSize(std::max(7, qRound(stepY * 0.5)));
    const qreal captionLeft = track.right() + 5;
    for (int i = 0; i < count; ++i) {
        font.setBold(i == position);
        painter.setFont(font);
        painter.setPen(i == position ? QColor(0x26, 0x32, 0x38) : QColor(0x8a, 0x92, 0x99));
        const QRectF box(captionLeft, detentY(i) - stepY / 2, area.right() - captionLeft, stepY);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, captions[static_cast<std::size_t>(i)]);
    }
    painter.restore();
}

void paintFirmwareChip(QPainter& painter, const QRectF& area)
{
    painter.save();
    const QRectF body
        = area.adjusted(area.width() * 0.2, area.height() * 0.2, -area.width() * 0.2, -area.height() * 0.2);
    const QColor ink(0x37, 0x47, 0x4f);
    painter.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
    for (int i = 1; i <= 3; ++i) {
        const qreal t = i / 4.0;
        const qreal x = body.left() + body.width() * t;
        const qreal y = body.top() + body.height() * t;
        painter.drawLine(QPointF(x, area.top() + 1), QPointF(x, area.bottom() - 1));
        painter.drawLine(QPointF(area.left() + 1, y), QPointF(area.right() - 1, y));
    }
    painter.setBrush(ink);
    painter.drawRoundedRect(body, 2, 2);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(6, qRound(body.height() * 0.46)));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(body, Qt::AlignCenter, QStringLiteral("FW"));
    painter.restore();
}

void paintLogo(QPainter& painter, const QRectF& area)
{
    painter.save();
    QLinearGradient sky(area.topLeft(), area.bottomLeft());
    sky.setColorAt(0, QColor(0x1d, 0x2b, 0x3a));
    sky.setColorAt(1, QColor(0x2f, 0x4a, 0x63));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sky);
    painter.drawRect(area);

    // A street luminaire with its cone of light, left of the name.
    const qreal unit = area.height() / 100.0;
    const QPointF base(area.center().x() - 48 * unit, area.top() + 80 * unit);
    const QPointF head(base.x() + 14 * unit, area.top() + 26 * unit);
    QPolygonF cone;
    cone << head + QPointF(-2 * unit, 3 * unit) << head + QPointF(14 * unit, 3 * unit)
         << QPointF(head.x() + 30 * unit, base.y()) << QPointF(head.x() - 18 * unit, base.y());
    QLinearGradient light(head, QPointF(head.x(), base.y()));
    light.setColorAt(0, QColor(255, 214, 120, 150));
    light.setColorAt(1, QColor(255, 214, 120, 0));
    painter.setBrush(light);
    painter.drawPolygon(cone);
    painter.setPen(QPen(QColor(0xcf, 0xd8, 0xdc), 2.2 * unit, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    QPainterPath pole;
    pole.moveTo(base);
    pole.lineTo(base.x(), head.y() + 6 * unit);
    pole.quadTo(base.x(), head.y(), head.x() - 2 * unit, head.y());
    painter.drawPath(pole);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xff, 0xd6, 0x78));
    painter.drawRoundedRect(QRectF(head.x() - 3 * unit, head.y() - 1.5 * unit, 18 * unit, 5 * unit), 2 * unit,
                            2 * unit);

    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(qRound(16 * unit));
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRectF textArea(area.center().x() - 8 * unit, area.top() + 30 * unit, area.width() / 2, 22 * unit);
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Ormid"));
    font.setBold(false);
    font.setPixelSize(qRound(6.5 * unit));
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.5 * unit);
    painter.setFont(font);
    painter.setPen(QColor(0xb0, 0xc4, 0xd4));
    painter.drawText(textArea.translated(0, 20 * unit), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("PROGRAMMER"));
    painter.restore();
}

void paintBlockCard(QPainter& painter, const QRectF& area)
{
    painter.save();
    const QRectF card = area.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(QColor(0xd6, 0xdd, 0xe4), 1));
    painter.setBrush(QColor(0xff, 0xff, 0xff, 210));
    painter.drawRoundedRect(card, 8, 8);
    painter.restore();
}

void paintPanelBackground(QPainter& painter, const QRectF& area, qreal actionBarTop, bool remoteLayout)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    QLinearGradient blocks(area.topLeft(), QPointF(area.left(), actionBarTop));
    blocks.setColorAt(0, QColor(0xf7, 0xf9, 0xfb));
    blocks.setColorAt(1, QColor(0xee, 0xf1, 0xf4));
    painter.setBrush(blocks);
    painter.drawRect(QRectF(area.left(), area.top(), area.width(), actionBarTop - area.top()));
    if (remoteLayout) {
        // The remote layout marks its free area with a faint antenna.
        const qreal side = (actionBarTop - area.top()) * 0.5;
        painter.save();
        painter.translate(area.right() - side * 1.6, area.top() + (actionBarTop - area.top() - side) / 2);
        painter.scale(side / kIconBox, side / kIconBox);
        drawAntenna(painter, QPointF(50, 32), 1.0, QColor(0xdd, 0xe2, 0xe8));
        painter.restore();
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xe3, 0xe8, 0xed));
    painter.drawRect(QRectF(area.left(), actionBarTop, area.width(), area.bottom() - actionBarTop));
    painter.setPen(QPen(QColor(0xc3, 0xcc, 0xd5), 1));
    painter.drawLine(QPointF(area.left(), actionBarTop), QPointF(area.right(), actionBarTop));
    painter.restore();
}

PictureLabel::PictureLabel(QWidget* parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void PictureLabel::setArt(Art art)
{
    art_ = std::move(art);
    update();
}

void PictureLabel::setReacts(bool reacts)
{
    reacts_ = reacts;
    if (reacts)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void PictureLabel::setHint(const QString& hint)
{
    hint_ = hint;
}

void PictureLabel::setHintEnabled(bool on)
{
    hintEnabled_ = on;
    if (!on && QToolTip::isVisible() && QToolTip::text() == hint_)
        QToolTip::hideText();
}

void PictureLabel::showHint(const QPoint& globalPos)
{
    QToolTip::showText(globalPos, hint_, this, rect(), kHintShowMs);
}

bool PictureLabel::event(QEvent* event)
{
    // The hint appears as soon as the pointer enters, without the tooltip delay.
    const bool hinting = hintEnabled_ && !hint_.isEmpty();
    if (hinting && event->type() == QEvent::Enter) {
        showHint(static_cast<QEnterEvent*>(event)->globalPosition().toPoint());
    } else if (hinting && event->type() == QEvent::ToolTip) {
        showHint(static_cast<QHelpEvent*>(event)->globalPos());
        return true;
    }
    return QLabel::event(event);
}

void PictureLabel::paintEvent(QPaintEvent* event)
{
    if (!art_) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    art_(painter, QRectF(rect()));
}

void PictureLabel::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void PictureLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click && reacts_)
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

} // namespace ormid
