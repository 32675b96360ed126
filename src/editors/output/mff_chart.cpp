#include "editors/output/mff_chart.h"

#include <QMouseEvent>
#include <QPainter>

#include "editors/output/chart_background.h"

namespace ormid {

namespace {

const QColor kLine(0xFF, 0x00, 0x00);

const ChartAxes& mffAxes()
{
    static const ChartAxes axes{
        {QStringLiteral("0"), QStringLiteral("1/4"), QStringLiteral("1/2"), QStringLiteral("3/4"), QStringLiteral("1")},
        QStringLiteral("Lifetime"),
        QStringLiteral("Output %")};
    return axes;
}

} // namespace

void paintMffChart(QPainter& painter, const std::optional<std::array<ChartPoint, 5>>& points)
{
    painter.save();
    paintChartBackground(painter, mffAxes());
    if (points) {
        paintChartLine(painter, *points);
    } else {
        QFont font = painter.font();
        font.setBold(false);
        font.setPointSize(12);
        painter.setFont(font);
        painter.setPen(kLine);
        painter.drawText(QRect(240, 240, kChartSize - 240, kChartSize - 240), Qt::AlignLeft | Qt::AlignTop,
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
    painter.scale(width() / static_cast<qreal>(kChartSize), height() / static_cast<qreal>(kChartSize));
    paintMffChart(painter, points_);
}

void MffChart::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
    QWidget::mousePressEvent(event);
}

} // namespace ormid
