#include "editors/output/mff_chart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

namespace ormid {

namespace {

const QColor kAxis(0x33, 0x3D, 0x47);
const QColor kGuide(0xD5, 0xDC, 0xE2);
const QColor kLine(0xFF, 0x00, 0x00);

// The chart's frame in its 500 pixels: lifetime 0 at x 49, each quarter 100 pixels on;
// 0 % at y 446, each percent 4 pixels up.
constexpr int kLeft = 49;
constexpr int kRight = 449;
constexpr int kBottom = 446;
constexpr int kTop = 46;
constexpr int kQuarter = 100;
constexpr int kTenPercent = 40;

constexpr const char* kQuarterCaptions[] = {"0", "1/4", "1/2", "3/4", "1"};

void paintBackground(QPainter& painter)
{
    painter.fillRect(QRect(0, 0, kMffChartSize, kMffChartSize), Qt::white);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);

    painter.setPen(QPen(kGuide, 1));
    for (int y = kBottom - kTenPercent; y >= kTop; y -= kTenPercent)
        painter.drawLine(kLeft, y, kRight, y);
    for (int x = kLeft + kQuarter; x <= kRight; x += kQuarter)
        painter.drawLine(x, kTop, x, kBottom);

    painter.setPen(QPen(kAxis, 1));
    painter.drawLine(kLeft, kBottom, kRight + 20, kBottom);
    painter.drawLine(kLeft, kBottom, kLeft, kTop - 20);
    for (int percent = 0; percent <= 100; percent += 10) {
        const int y = kBottom - 4 * percent;
        painter.drawLine(kLeft - 4, y, kLeft, y);
        painter.drawText(QRect(0, y - 8, kLeft - 8, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(percent));
    }
    for (int quarter = 0; quarter <= 4; ++quarter) {
        const int x = kLeft + quarter * kQuarter;
        painter.drawLine(x, kBottom, x, kBottom + 4);
        painter.drawText(QRect(x - 20, kBottom + 6, 40, 16), Qt::AlignCenter,
                         QString::fromLatin1(kQuarterCaptions[quarter]));
    }
    QFont caption = font;
    caption.setBold(true);
    painter.setFont(caption);
    painter.drawText(QRect(kLeft, kBottom + 26, kRight - kLeft, 18), Qt::AlignCenter, QStringLiteral("Lifetime"));
    painter.drawText(QRect(kLeft + 8, kTop - 30, 200, 18), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Output %"));
}

} // namespace

void paintMffChart(QPainter& painter, const std::optional<std::array<ChartPoint, 5>>& points)
{
    painter.save();
    paintBackground(painter);
    if (points) {
        QPolygon line;
        for (const ChartPoint& point : *points)
            line << QPoint(point.x, point.y);
        painter.setPen(QPen(kLine, 2));
        painter.drawPolyline(line);
    } else {
        QFont font = painter.font();
        font.setBold(false);
        font.setPointSize(12);
        painter.setFont(font);
        painter.setPen(kLine);
        painter.drawText(QRect(240, 240, kMffChartSize - 240, kMffChartSize - 240), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("Lifetime?"));
    }
    painter.restore();
}

MffChart::MffChart(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pMFFHelp"));
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click to close"));
    hide();
}

void MffChart::setPoints(const std::optional<std::array<ChartPoint, 5>>& points)
{
    points_ = points;
    update();
}

void MffChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The chart is laid out in its own 500 pixels; a larger screen scales it.
    painter.scale(width() / static_cast<qreal>(kMffChartSize), height() / static_cast<qreal>(kMffChartSize));
    paintMffChart(painter, points_);
}

void MffChart::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
    QWidget::mousePressEvent(event);
}

} // namespace ormid
