#include "editors/output/chart_background.h"

#include <QPainter>
#include <QPolygon>

#include "core/chart_frame.h"

namespace ormid {

namespace {

const QColor kAxis(0x33, 0x3D, 0x47);
const QColor kGuide(0xD5, 0xDC, 0xE2);
const QColor kLine(0xFF, 0x00, 0x00);
constexpr int kTenPercent = 10 * kChartPixelsPerPercent;

} // namespace

void paintChartBackground(QPainter& painter, const ChartAxes& axes)
{
    painter.fillRect(QRect(0, 0, kChartSize, kChartSize), Qt::white);
    QFont font = painter.font();
    font.setPixelSize(kChartTextSize);
    font.setBold(false);
    painter.setFont(font);

    const int intervals = std::max(1, static_cast<int>(axes.xCaptions.size()) - 1);
    const auto captionX = [intervals](int i) { return kChartLeft + i * (kChartRight - kChartLeft) / intervals; };

    painter.setPen(QPen(kGuide, 1));
    for (int y = kChartBottom - kTenPercent; y >= kChartTop; y -= kTenPercent)
        painter.drawLine(kChartLeft, y, kChartRight, y);
    for (int i = 1; i <= intervals; ++i)
        painter.drawLine(captionX(i), kChartTop, captionX(i), kChartBottom);

    painter.setPen(QPen(kAxis, 1));
    painter.drawLine(kChartLeft, kChartBottom, kChartRight + 20, kChartBottom);
    painter.drawLine(kChartLeft, kChartBottom, kChartLeft, kChartTop - 20);
    for (int percent = 0; percent <= 100; percent += 10) {
        const int y = chartY(percent);
        painter.drawLine(kChartLeft - 4, y, kChartLeft, y);
        painter.drawText(QRect(0, y - 8, kChartLeft - 8, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(percent));
    }
    for (std::size_t i = 0; i < axes.xCaptions.size(); ++i) {
        const int x = captionX(static_cast<int>(i));
        painter.drawLine(x, kChartBottom, x, kChartBottom + 4);
        painter.drawText(QRect(x - 20, kChartBottom + 6, 40, 16), Qt::AlignCenter, axes.xCaptions[i]);
    }
    QFont title = font;
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRect(kChartLeft, kChartBottom + 26, kChartRight - kChartLeft, 18), Qt::AlignCenter, axes.xTitle);
    painter.drawText(QRect(kChartLeft + 8, kChartTop - 30, 200, 18), Qt::AlignLeft | Qt::AlignVCenter, axes.yTitle);
    painter.setFont(font);
}

void paintChartLine(QPainter& painter, std::span<const ChartPoint> points)
{
    QPolygon line;
    for (const ChartPoint& point : points)
        line << QPoint(point.x, point.y);
    painter.setPen(QPen(kLine, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(line);
}

} // namespace ormid
